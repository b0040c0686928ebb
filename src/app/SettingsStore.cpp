#include "app/SettingsStore.h"

#include "platform/SettingsBackend.h"

namespace app {

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    return backend_.read(key).value_or(defaultValue);
}

void SettingsStore::write(const QString &key, const QString &value) { backend_.write(key, value); }

} // namespace app
