#pragma once

#include "platform/SettingsBackend.h"

#include <QSettings>

#include <memory>

namespace platform {

// An INI file in the user's configuration folder ($XDG_CONFIG_HOME or ~/.config):
// <application key>/<application key>.ini, one [section]. It holds passwords, so only its owner may read it.
class QSettingsBackend : public SettingsBackend {
public:
    QSettingsBackend(const QString &applicationKey, const QString &section);
    // Another INI file than the user's, at path.
    struct AtPath {
        QString path;
    };
    QSettingsBackend(const AtPath &file, const QString &section);
    std::optional<QString> read(const QString &key) override;
    void write(const QString &key, const QString &value) override;
    QString fileName() const { return settings_->fileName(); }
    QString folder() const override;

private:
    void restrictToOwner();
    void createPrivate();
    std::unique_ptr<QSettings> settings_;
    QString section_;
};

} // namespace platform
