#include "cli/CliProfiles.h"

#include "app/PasswordKeeper.h"
#include "app/SavedLogin.h"
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "app/SshSettings.h"
#include "platform/SettingsBackend.h"
#include "sides/SideTunnel.h"

#include <QDir>

#include <QFile>

#include <stdexcept>

namespace cli {

namespace {

QString firstLineOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("The password file " + path.toStdString() + " cannot be read: "
                                 + file.errorString().toStdString());
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace

sides::ConnectionProfile sideProfile(int side, const SideOptions &options, platform::SettingsBackend &settings,
                                     app::PasswordKeeper &passwords, platform::Keyring &keyring,
                                     platform::EventYield *yield)
{
    const app::SettingsStore store(settings);
    const app::LoginFields fields = app::loginFields(side);
    const auto saved = [&](const app::LoginField &f) { return store.read(f.key, f.defaultValue); };
    sides::ConnectionProfile p{options.host.value_or(saved(fields.server)), options.user.value_or(saved(fields.user)),
                               {}, options.database.value_or(saved(fields.database)),
                               options.port.value_or(saved(fields.port))};
    const QByteArray fromEnvironment = qgetenv(passwordVariable(side).toLatin1().constData());
    if (options.passwordFile)
        p.password = firstLineOf(*options.passwordFile);
    else if (!fromEnvironment.isNull())
        p.password = QString::fromUtf8(fromEnvironment);
    else if (options.password)
        p.password = *options.password;
    else
        p.password = passwords.load(side, saved(fields.password));

    const app::SideSecurity kept = app::readSideSecurity(store, side);
    p.security = kept.connection;
    const QString server = sides::serverAddress(p);
    if (kept.certificate.server == server)
        p.security.rememberedCertificate = kept.certificate.fingerprint.toStdString();
    p.onLogin = [&settings, side, server, remembered = p.security.rememberedCertificate,
                 verifies = p.security.verifies()](const platform::TlsState &state) {
        app::SettingsStore writable(settings);
        app::rememberFirstCertificate(writable, side, server, verifies, remembered, state);
    };
    p.confirmCertificate = [](const platform::CertificateRefusal &) { return false; };
    const app::SideSsh ssh = app::readSideSsh(store, side);
    if (ssh.enabled) {
        p.tunnel = std::make_shared<sides::SideTunnel>(yield);
        p.tunnel->confirmHostKey = [](const platform::SshHostKey &) { return false; };
        const QString ownKnownHosts = QDir(settings.folder()).filePath(QStringLiteral("known_hosts"));
        try {
            p.tunnel->choose(app::sshHops(ssh, app::readSshSecret(store, keyring, side, kept.passwordInKeyring),
                                          app::sshFiles(ownKnownHosts)));
        } catch (const platform::SshError &e) {
            p.tunnel->chooseBroken(e.what());
        }
    }
    return p;
}

} // namespace cli
