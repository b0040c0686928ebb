#pragma once

#include <QLatin1String>
#include <QString>

#include <cstddef>
#include <utility>

namespace app {

// A setting kept as one of a few names: each value's name, the first the default.
template <class Value, std::size_t N>
using SettingNames = std::pair<Value, const char *>[N];

template <class Value, std::size_t N>
QString nameOf(const SettingNames<Value, N> &names, Value value)
{
    for (const auto &[v, name] : names)
        if (v == value)
            return QLatin1String(name);
    return QLatin1String(names[0].second);
}

// Read as typed in any case; a name not in the table gives the default.
template <class Value, std::size_t N>
Value valueNamed(const SettingNames<Value, N> &names, const QString &name)
{
    for (const auto &[v, text] : names)
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return v;
    return names[0].first;
}

} // namespace app
