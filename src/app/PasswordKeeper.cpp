#include "app/PasswordKeeper.h"

#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/Keyring.h"

namespace app {

namespace {
using Result = platform::Keyring::Result;
}

QString PasswordKeeper::passwordKey(int side)
{
    return side == 1 ? QStringLiteral("MyPassword") : QStringLiteral("MyPassword2");
}

bool PasswordKeeper::inKeyring(int side) const
{
    return readSideSecurity(SettingsStore(settings_), side).passwordInKeyring;
}

void PasswordKeeper::sayUnavailable(int side, const QString &why)
{
    if (told_)
        return;
    told_ = true;
    dialogs_.message(QStringLiteral("No system keyring answered") + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + u')')
                     + QStringLiteral(". The password of MySQL #") + QString::number(side)
                     + QStringLiteral(" is kept in the settings file."));
}

void PasswordKeeper::sayUnreachable(int side, const QString &why)
{
    if (told_)
        return;
    told_ = true;
    dialogs_.message(QStringLiteral("The system keyring could not be reached")
                     + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + u')')
                     + QStringLiteral(". The password of MySQL #") + QString::number(side)
                     + QStringLiteral(" stays kept there, not in the settings file; Tabulink asks the keyring again "
                                      "at the next start."));
}

QString PasswordKeeper::load(int side, const QString &fromSettingsFile)
{
    if (!inKeyring(side))
        return fromSettingsFile;
    QString secret;
    QString why;
    const Result r = keyring_.read(passwordKey(side), secret, why);
    if (r == Result::Done)
        return secret;
    if (r == Result::NotFound)
        return {};
    // Locked, an unlock prompt dismissed, or its service not started yet: the secret may well be
    // there. The side keeps its choice, and the next start asks again.
    sayUnreachable(side, why);
    return fromSettingsFile;
}

void PasswordKeeper::store(int side, const QString &password)
{
    SettingsStore store(settings_);
    if (!inKeyring(side)) {
        store.write(passwordKey(side), password);
        return;
    }
    store.write(passwordKey(side), QString());
    QString why;
    // Never back into the file the user chose to keep it out of.
    if (keyring_.write(passwordKey(side), password, why) != Result::Done)
        sayUnreachable(side, why);
}

bool PasswordKeeper::keepInKeyring(int side, bool on, const QString &password)
{
    SettingsStore store(settings_);
    SideSecurity security = readSideSecurity(store, side);
    QString why;
    if (on && keyring_.write(passwordKey(side), password, why) != Result::Done) {
        sayUnavailable(side, why);
        on = false;
    }
    if (!on && security.passwordInKeyring)
        keyring_.remove(passwordKey(side), why); // gone from there, whether or not it answers now
    security.passwordInKeyring = on;
    writeSideSecurity(store, side, security);
    store.write(passwordKey(side), on ? QString() : password);
    return on;
}

} // namespace app
