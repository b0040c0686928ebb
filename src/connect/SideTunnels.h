#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace app {
struct Services;
}
namespace platform {
struct SshSecretQuestion;
}
namespace sides {
class SideTunnel;
}

namespace connectwindow {

// The two sides' SSH tunnels as the connection window keeps them: each made from the side's
// settings when a profile is asked for, its host-key question put to the user, its passphrase or
// password read once from where the side keeps it (asked for when it keeps none), and edited in
// the "SSH Tunnel…" dialog.
class SideTunnels {
public:
    // stateChanged(side): what the side's tunnel is has changed (for the Server box's tooltip).
    SideTunnels(app::Services &services, std::function<void(int side)> stateChanged);
    ~SideTunnels();

    // The side's tunnel, chosen as its settings say now (nothing chosen: no tunnel).
    std::shared_ptr<sides::SideTunnel> tunnelOf(int side) const;
    // What the side's tunnel is now, for the tooltip; empty when it has none.
    QString state(int side) const;
    void edit(int side, QWidget *parent);
    // The side now keeps its password in the keyring (or no longer): the secret goes with it.
    void keyringChanged(int side, bool wasInKeyring, bool nowInKeyring);

private:
    QString secretOf(int side) const;

    app::Services &services_;
    std::shared_ptr<sides::SideTunnel> tunnels_[2];
    mutable std::optional<QString> secrets_[2];
};

// The question a passphrase or password the side does not keep puts to the user.
QString secretQuestion(const platform::SshSecretQuestion &q);

// The question a host key no known-hosts file holds puts to the user.
QString hostKeyQuestion(const QString &server, const QString &fingerprint, const QString &file);

} // namespace connectwindow
