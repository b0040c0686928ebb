#include "connect/SideTunnels.h"

#include "app/SecuritySettings.h"
#include "app/Services.h"
#include "app/SettingsStore.h"
#include "app/SshSettings.h"
#include "connect/SshDialog.h"
#include "platform/Dialogs.h"
#include "platform/SettingsBackend.h"
#include "sides/SideTunnel.h"

#include <QDir>
#include <QStandardPaths>

namespace connectwindow {

namespace {

QString ownKnownHosts(const app::Services &services)
{
    QString folder = services.settings.folder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return QDir(folder).filePath(QStringLiteral("known_hosts"));
}

} // namespace

QString hostKeyQuestion(const QString &server, const QString &fingerprint, const QString &file)
{
    return QStringLiteral("The SSH server %1 is not known yet. Its host key's fingerprint is:\r\n\r\n%2\r\n\r\n"
                          "If you are sure this is your SSH server's key, choose Yes: it is added to %3, and from "
                          "now on any other key from this server is refused. No logs in nowhere.")
        .arg(server, fingerprint, file);
}

QString secretQuestion(const platform::SshSecretQuestion &q)
{
    const QString again = q.again ? QStringLiteral("That did not let you in. ") : QString();
    if (q.keyFile.empty())
        return again + QStringLiteral("The password of %1 on its SSH server:").arg(QString::fromStdString(q.server));
    return again + QStringLiteral("The passphrase of the key file %1, for %2:")
                       .arg(QString::fromStdString(q.keyFile), QString::fromStdString(q.server));
}

SideTunnels::SideTunnels(app::Services &services, std::function<void(int side)> stateChanged) : services_(services)
{
    for (int side = 1; side <= 2; ++side) {
        auto tunnel = std::make_shared<sides::SideTunnel>(&services.yield);
        const QString file = ownKnownHosts(services);
        tunnel->confirmHostKey = [this, file](const platform::SshHostKey &key) {
            return services_.dialogs.message(hostKeyQuestion(QString::fromStdString(key.server),
                                                             QString::fromStdString(key.fingerprint), file),
                                             platform::YesNo)
                   == platform::Yes;
        };
        tunnel->askSecret = [this](const platform::SshSecretQuestion &q) {
            return services_.dialogs.secret(secretQuestion(q)).toStdString();
        };
        tunnel->onStateChange = [stateChanged, side] {
            if (stateChanged)
                stateChanged(side);
        };
        tunnels_[side - 1] = tunnel;
    }
}

SideTunnels::~SideTunnels() = default;

QString SideTunnels::secretOf(int side) const
{
    std::optional<QString> &kept = secrets_[side - 1];
    if (!kept) {
        const app::SettingsStore store(services_.settings);
        kept = app::readSshSecret(store, services_.keyring, side, app::readSideSecurity(store, side).passwordInKeyring);
    }
    return *kept;
}

std::shared_ptr<sides::SideTunnel> SideTunnels::tunnelOf(int side) const
{
    const std::shared_ptr<sides::SideTunnel> &tunnel = tunnels_[side - 1];
    const app::SideSsh ssh = app::readSideSsh(app::SettingsStore(services_.settings), side);
    if (!ssh.enabled) {
        tunnel->chooseNone();
        return tunnel;
    }
    try {
        tunnel->choose(app::sshHops(ssh, secretOf(side), app::sshFiles(ownKnownHosts(services_))));
    } catch (const platform::SshError &e) {
        tunnel->chooseBroken(e.what());
    }
    return tunnel;
}

QString SideTunnels::state(int side) const { return tunnels_[side - 1]->state(); }

void SideTunnels::edit(int side, QWidget *parent)
{
    app::SettingsStore store(services_.settings);
    SshDialog dialog(QStringLiteral("SSH Tunnel: MySQL #") + QString::number(side), app::readSideSsh(store, side),
                     secretOf(side), parent);
    dialog.setObjectName(QStringLiteral("SshDialog%1").arg(side));
    if (dialog.exec() != QDialog::Accepted)
        return;
    app::writeSideSsh(store, side, dialog.ssh());
    if (dialog.secret() != secretOf(side)) {
        secrets_[side - 1] = dialog.secret();
        app::keepSshSecret(store, services_.keyring, side, app::readSideSecurity(store, side).passwordInKeyring,
                           dialog.secret());
    }
    tunnelOf(side);
}

void SideTunnels::keyringChanged(int side, bool wasInKeyring, bool nowInKeyring)
{
    if (wasInKeyring == nowInKeyring)
        return;
    app::SettingsStore store(services_.settings);
    const QString secret = app::readSshSecret(store, services_.keyring, side, wasInKeyring);
    if (secret.isEmpty())
        return;
    app::keepSshSecret(store, services_.keyring, side, nowInKeyring, secret);
    if (wasInKeyring)
        app::forgetSshSecretInKeyring(services_.keyring, side);
    secrets_[side - 1] = secret;
}

} // namespace connectwindow
