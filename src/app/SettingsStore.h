#pragma once

#include <QString>

namespace platform {
class SettingsBackend;
}

namespace app {

// The remembered login details: ten text values, read with a default when missing.
class SettingsStore {
public:
    explicit SettingsStore(platform::SettingsBackend &backend) : backend_(backend) {}
    QString read(const QString &key, const QString &defaultValue) const;
    void write(const QString &key, const QString &value);

private:
    platform::SettingsBackend &backend_;
};

} // namespace app
