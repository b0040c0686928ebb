#include "app/SecuritySettings.h"

#include "app/SettingNames.h"
#include "app/SettingsStore.h"

namespace app {

namespace {

using Mode = platform::ConnectionSecurity::Mode;
using Compression = platform::ConnectionSecurity::Compression;

QString key(const char *field, int side)
{
    return QStringLiteral("My") + QLatin1String(field) + (side == 2 ? QStringLiteral("2") : QString());
}

constexpr SettingNames<Mode, 4> ModeNames = {
    {Mode::Prefer, "Prefer"}, {Mode::Require, "Require"}, {Mode::VerifyCa, "VerifyCA"},
    {Mode::VerifyIdentity, "VerifyIdentity"}};

constexpr SettingNames<Compression, 3> CompressionNames = {
    {Compression::Auto, "Auto"}, {Compression::Off, "Off"}, {Compression::On, "On"}};

RememberedCertificate readRememberedCertificate(const SettingsStore &store, int side)
{
    const QString kept = store.read(key("ServerCertificate", side), {}).trimmed();
    const qsizetype space = kept.lastIndexOf(u' ');
    if (space <= 0)
        return {};
    return {kept.left(space), kept.mid(space + 1)};
}

} // namespace

QString modeName(Mode mode) { return nameOf(ModeNames, mode); }

Mode modeFromName(const QString &name) { return valueNamed(ModeNames, name); }

SideSecurity readSideSecurity(const SettingsStore &store, int side)
{
    SideSecurity s;
    s.connection.mode = modeFromName(store.read(key("SslMode", side), QStringLiteral("Prefer")));
    s.connection.caFile = store.read(key("SslCa", side), {}).toStdString();
    s.connection.certFile = store.read(key("SslCert", side), {}).toStdString();
    s.connection.keyFile = store.read(key("SslKey", side), {}).toStdString();
    s.connection.serverPublicKeyFile = store.read(key("ServerPublicKey", side), {}).toStdString();
    s.connection.compression = valueNamed(CompressionNames, store.read(key("Compression", side), QStringLiteral("Auto")));
    s.passwordInKeyring = store.read(key("PasswordInKeyring", side), QStringLiteral("0")) == QStringLiteral("1");
    s.certificate = readRememberedCertificate(store, side);
    return s;
}

void writeSideSecurity(SettingsStore &store, int side, const SideSecurity &s)
{
    store.write(key("SslMode", side), modeName(s.connection.mode));
    store.write(key("SslCa", side), QString::fromStdString(s.connection.caFile));
    store.write(key("SslCert", side), QString::fromStdString(s.connection.certFile));
    store.write(key("SslKey", side), QString::fromStdString(s.connection.keyFile));
    store.write(key("ServerPublicKey", side), QString::fromStdString(s.connection.serverPublicKeyFile));
    store.write(key("Compression", side), nameOf(CompressionNames, s.connection.compression));
    store.write(key("PasswordInKeyring", side), s.passwordInKeyring ? QStringLiteral("1") : QStringLiteral("0"));
    rememberCertificate(store, side, s.certificate);
}

void rememberFirstCertificate(SettingsStore &store, int side, const QString &server, bool verifies,
                              const std::string &remembered, const platform::TlsState &login)
{
    if (!verifies && remembered.empty() && !login.certificate.empty())
        rememberCertificate(store, side, {server, QString::fromStdString(login.certificate)});
}

void rememberCertificate(SettingsStore &store, int side, const RememberedCertificate &certificate)
{
    store.write(key("ServerCertificate", side),
                certificate.fingerprint.isEmpty() ? QString() : certificate.server + u' ' + certificate.fingerprint);
}

} // namespace app
