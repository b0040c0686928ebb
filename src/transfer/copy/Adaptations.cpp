#include "transfer/copy/Adaptations.h"

#include <algorithm>

namespace transfer {

void Adaptations::add(const std::string &table, const std::string &change)
{
    const QString name = QString::fromStdString(table);
    auto found = std::find_if(changes_.begin(), changes_.end(), [&](const auto &c) { return c.first == change; });
    if (found == changes_.end()) {
        changes_.emplace_back(change, QStringList{name});
    } else if (!found->second.contains(name)) {
        found->second << name;
    }
}

QStringList Adaptations::lines() const
{
    QStringList out;
    for (const auto &[change, tables] : changes_)
        out << tables.join(QStringLiteral(", ")) + QStringLiteral(": ") + QString::fromStdString(change);
    return out;
}

} // namespace transfer
