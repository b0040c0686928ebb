#pragma once

#include <QString>

#include <optional>

namespace platform {

// Named text values of one section of the per-user store.
class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual std::optional<QString> read(const QString &key) = 0;
    virtual void write(const QString &key, const QString &value) = 0;
    // The folder the values are kept in, for files kept beside them; empty when none.
    virtual QString folder() const { return {}; }
};

} // namespace platform
