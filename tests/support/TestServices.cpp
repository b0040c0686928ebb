#include "support/TestServices.h"

#include "app/ProductInfo.h"

namespace {

std::unique_ptr<platform::QSettingsBackend> settingsIn(const QString &configHome)
{
    qputenv("XDG_CONFIG_HOME", configHome.toUtf8());
    return std::make_unique<platform::QSettingsBackend>(app::product::SettingsKey, app::product::SettingsSection);
}

} // namespace

TestServices::TestServices(const QString &configHome)
    : configHome_(configHome.isEmpty() ? ownConfigHome.path() : configHome), settings(settingsIn(configHome_)),
      services{dialogs, clipboard, shell, yield, random, *settings, lock, programFolder.path(), [this] {
                   ++endRequests;
                   lock.requestEnd();
               }}
{
}

TestServices::~TestServices() = default;
