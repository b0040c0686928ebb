#include "app/SshSettings.h"

#include "app/SettingNames.h"
#include "app/SettingsStore.h"
#include "platform/Keyring.h"
#include "platform/SshConfig.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace app {

namespace {

using Login = platform::SshRoute::Login;

QString sshKey(const char *field, int side)
{
    return QStringLiteral("MySsh") + QLatin1String(field) + (side == 2 ? QStringLiteral("2") : QString());
}

constexpr SettingNames<Login, 3> SshLoginNames = {
    {Login::Agent, "Agent"}, {Login::KeyFile, "KeyFile"}, {Login::Password, "Password"}};

int portOf(const QString &text, const std::string &what)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        throw platform::SshError("The SSH port of " + what + " is \"" + text.toStdString()
                                 + "\", not a number from 1 to 65535.");
    return port;
}

std::string desktopUser()
{
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    return user.isEmpty() ? std::string("root") : user.toStdString();
}

// A key file's own name as the config writes it: the first that exists.
std::string firstExisting(const std::vector<std::string> &files)
{
    for (const std::string &f : files)
        if (QFileInfo::exists(QString::fromStdString(f)))
            return f;
    return {};
}

} // namespace

SideSsh readSideSsh(const SettingsStore &store, int side)
{
    SideSsh s;
    s.enabled = store.read(sshKey("Tunnel", side), QStringLiteral("0")) == QStringLiteral("1");
    s.host = store.read(sshKey("Host", side), {});
    s.port = store.read(sshKey("Port", side), {});
    s.user = store.read(sshKey("User", side), {});
    s.login = valueNamed(SshLoginNames, store.read(sshKey("Login", side), QStringLiteral("Agent")));
    s.keyFile = store.read(sshKey("KeyFile", side), {});
    s.jumps = store.read(sshKey("Jump", side), {});
    s.useConfig = store.read(sshKey("UseConfig", side), QStringLiteral("0")) == QStringLiteral("1");
    return s;
}

void writeSideSsh(SettingsStore &store, int side, const SideSsh &s)
{
    store.write(sshKey("Tunnel", side), s.enabled ? QStringLiteral("1") : QStringLiteral("0"));
    store.write(sshKey("Host", side), s.host);
    store.write(sshKey("Port", side), s.port);
    store.write(sshKey("User", side), s.user);
    store.write(sshKey("Login", side), nameOf(SshLoginNames, s.login));
    store.write(sshKey("KeyFile", side), s.keyFile);
    store.write(sshKey("Jump", side), s.jumps);
    store.write(sshKey("UseConfig", side), s.useConfig ? QStringLiteral("1") : QStringLiteral("0"));
}

QString readSshSecret(const SettingsStore &store, platform::Keyring &keyring, int side, bool inKeyring)
{
    if (!inKeyring)
        return store.read(sshKey("Secret", side), {});
    QString secret;
    QString why;
    return keyring.read(sshKey("Secret", side), secret, why) == platform::Keyring::Result::Done ? secret : QString();
}

void keepSshSecret(SettingsStore &store, platform::Keyring &keyring, int side, bool inKeyring, const QString &secret)
{
    QString why;
    if (!inKeyring) {
        store.write(sshKey("Secret", side), secret);
        return;
    }
    store.write(sshKey("Secret", side), QString());
    if (keyring.write(sshKey("Secret", side), secret, why) != platform::Keyring::Result::Done)
        throw std::runtime_error("The system keyring could not be reached" + (why.isEmpty() ? std::string() : " (" + why.toStdString() + ')')
                                 + ": the SSH passphrase or password of MySQL #" + std::to_string(side) + " was not kept.");
}

void forgetSshSecretInKeyring(platform::Keyring &keyring, int side)
{
    QString why;
    keyring.remove(sshKey("Secret", side), why);
}

SshFiles sshFiles(const QString &ownKnownHosts)
{
    const QString home = QDir::homePath();
    return {QString(home + QStringLiteral("/.ssh/config")).toStdString(),
            QString(home + QStringLiteral("/.ssh/known_hosts")).toStdString(), ownKnownHosts.toStdString(), home.toStdString()};
}

std::vector<platform::SshRoute> sshHops(const SideSsh &ssh, const QString &secret, const SshFiles &files)
{
    const std::string alias = ssh.host.trimmed().toStdString();
    if (alias.empty())
        throw platform::SshError("No SSH server is given in SSH Tunnel.");
    const auto configOf = [&](const std::string &name) {
        return ssh.useConfig ? platform::readSshConfig(files.config, name, files.home) : platform::SshHostConfig{name, {}, 0, {}, {}};
    };
    platform::SshRoute own;
    const platform::SshHostConfig config = configOf(alias);
    own.host = config.hostName.empty() ? alias : config.hostName;
    own.port = !ssh.port.trimmed().isEmpty() ? portOf(ssh.port, alias) : config.port > 0 ? config.port : 22;
    own.user = !ssh.user.trimmed().isEmpty() ? ssh.user.trimmed().toStdString() : !config.user.empty() ? config.user : desktopUser();
    own.login = ssh.login;
    own.keyFile = !ssh.keyFile.trimmed().isEmpty() ? ssh.keyFile.trimmed().toStdString() : firstExisting(config.identityFiles);
    if (own.login == Login::KeyFile && own.keyFile.empty())
        throw platform::SshError("No key file is given for the SSH server " + alias + '.');
    own.secret = secret.toStdString();
    own.knownHostsFile = files.ownKnownHosts;
    own.userKnownHostsFile = files.userKnownHosts;

    std::vector<platform::SshRoute> hops;
    const std::string jumps = !ssh.jumps.trimmed().isEmpty() ? ssh.jumps.trimmed().toStdString() : config.proxyJump;
    for (const platform::SshJump &jump : platform::parseJumps(jumps)) {
        const platform::SshHostConfig c = configOf(jump.host);
        platform::SshRoute hop = own;
        hop.host = c.hostName.empty() ? jump.host : c.hostName;
        hop.port = jump.port > 0 ? jump.port : c.port > 0 ? c.port : 22;
        hop.user = !jump.user.empty() ? jump.user : !c.user.empty() ? c.user : own.user;
        if (const std::string k = firstExisting(c.identityFiles); !k.empty() && own.login == Login::KeyFile) {
            hop.keyFile = k;
        }
        hops.push_back(hop);
    }
    hops.push_back(own);
    return hops;
}

} // namespace app
