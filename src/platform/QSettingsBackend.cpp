#include "platform/QSettingsBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace platform {

QSettingsBackend::QSettingsBackend(const QString &applicationKey, const QString &section)
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, applicationKey, applicationKey)),
      section_(section)
{
    createPrivate();
}

QSettingsBackend::QSettingsBackend(const AtPath &file, const QString &section)
    : settings_(std::make_unique<QSettings>(file.path, QSettings::IniFormat)), section_(section)
{
    createPrivate();
}

void QSettingsBackend::createPrivate()
{
    // Create the file private before the first password lands in it.
    const QFileInfo info(settings_->fileName());
    if (!info.exists() && QDir().mkpath(info.absolutePath())) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

std::optional<QString> QSettingsBackend::read(const QString &key)
{
    const QString path = section_ + u'/' + key;
    if (settings_->status() == QSettings::FormatError)
        throw std::runtime_error("The settings file " + settings_->fileName().toStdString() + " cannot be read.");
    if (!settings_->contains(path))
        return std::nullopt;
    return settings_->value(path).toString();
}

void QSettingsBackend::write(const QString &key, const QString &value)
{
    settings_->setValue(section_ + u'/' + key, value);
    settings_->sync();
    restrictToOwner();
    if (settings_->status() != QSettings::NoError)
        throw std::runtime_error("The settings file " + settings_->fileName().toStdString() + " cannot be written.");
}

void QSettingsBackend::restrictToOwner()
{
    QFile file(settings_->fileName());
    if (file.exists() && file.permissions() != (QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString QSettingsBackend::folder() const { return QFileInfo(settings_->fileName()).absolutePath(); }

} // namespace platform
