#include "support/TestServices.h"

#include "app/ProductInfo.h"
#include "platform/QtEventYield.h"

#include <QCoreApplication>

namespace {

std::unique_ptr<platform::QSettingsBackend> settingsIn(const QString &configHome)
{
    qputenv("XDG_CONFIG_HOME", configHome.toUtf8());
    return std::make_unique<platform::QSettingsBackend>(app::product::SettingsKey, app::product::SettingsSection);
}

} // namespace

TestServices::TestServices(const QString &configHome, Yield yieldKind)
    : configHome_(configHome.isEmpty() ? ownConfigHome.path() : configHome),
      windowsYield_(yieldKind == Yield::ServeWindows
                        ? std::make_unique<platform::QtEventYield>([this] { return lock.ending(); })
                        : nullptr),
      settings(settingsIn(configHome_)),
      services{dialogs,
               clipboard,
               shell,
               windowsYield_ ? *windowsYield_ : static_cast<platform::EventYield &>(yield),
               random,
               *settings,
               lock,
               keyring,
               programFolder.path(),
               [this] {
                   ++endRequests;
                   lock.requestEnd();
               }}
{
}

void TestServices::runStarted()
{
    while (lock.pending() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TestServices::~TestServices() = default;
