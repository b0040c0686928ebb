#include "sides/SideTunnel.h"

#include "platform/DbError.h"
#include "platform/SshPath.h"

namespace sides {

namespace {

bool sameHops(const std::vector<platform::SshRoute> &a, const std::vector<platform::SshRoute> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto &x = a[i];
        const auto &y = b[i];
        if (x.host != y.host || x.port != y.port || x.user != y.user || x.login != y.login || x.keyFile != y.keyFile
            || x.secret != y.secret || x.knownHostsFile != y.knownHostsFile || x.userKnownHostsFile != y.userKnownHostsFile)
            return false;
    }
    return true;
}

// Which hop an asked secret belongs to.
std::string hopOf(const platform::SshRoute &hop)
{
    const bool keyFile = hop.login == platform::SshRoute::Login::KeyFile;
    return hop.user + '@' + hop.host + ':' + std::to_string(hop.port) + '|' + (keyFile ? hop.keyFile : std::string());
}
std::string hopOf(const platform::SshSecretQuestion &q) { return q.server + '|' + q.keyFile; }

} // namespace

SideTunnel::SideTunnel(platform::EventYield *yield) : yield_(yield) {}

SideTunnel::~SideTunnel() = default;

void SideTunnel::close()
{
    path_.reset();
    openTo_.clear();
}

void SideTunnel::say(const QString &state)
{
    if (state == state_)
        return;
    state_ = state;
    if (onStateChange)
        onStateChange();
}

void SideTunnel::chooseNone()
{
    close();
    chosen_ = false;
    hops_.clear();
    broken_.clear();
    say({});
}

void SideTunnel::choose(std::vector<platform::SshRoute> hops)
{
    if (chosen_ && broken_.empty() && sameHops(hops, hops_))
        return;
    close();
    chosen_ = true;
    broken_.clear();
    answered_.clear();
    hops_ = std::move(hops);
    say(QStringLiteral("SSH: opened at the first login"));
}

void SideTunnel::chooseBroken(const std::string &why)
{
    close();
    chosen_ = true;
    hops_.clear();
    broken_ = why;
    say(QStringLiteral("SSH: ") + QString::fromStdString(why));
}

int SideTunnel::reach(const std::string &host, int port)
{
    if (!broken_.empty())
        throw TunnelFailure(broken_);
    const std::string to = host + ':' + std::to_string(port);
    if (path_ && (!path_->alive() || openTo_ != to)) {
        const bool dropped = !path_->alive();
        close();
        if (dropped)
            say(QStringLiteral("SSH: the tunnel dropped; the next login opens it again"));
    }
    if (!path_) {
        std::vector<platform::SshRoute> hops = hops_;
        hops.back().databaseHost = host;
        hops.back().databasePort = port;
        for (platform::SshRoute &hop : hops)
            if (const auto kept = answered_.find(hopOf(hop)); hop.secret.empty() && kept != answered_.end())
                hop.secret = kept->second;
        std::map<std::string, std::string> answers;
        platform::SshTunnel::AskSecret ask;
        if (askSecret)
            ask = [this, &answers](const platform::SshSecretQuestion &q) {
                return answers[hopOf(q)] = askSecret(q);
            };
        try {
            path_ = platform::openSshPath(hops, confirmHostKey, yield_, ask);
        } catch (const platform::SshError &e) {
            say(QStringLiteral("SSH: ") + QString::fromUtf8(e.what()));
            throw TunnelFailure(e.what());
        }
        answers.merge(answered_);
        answered_ = std::move(answers);
        openTo_ = to;
    }
    say(QString::fromStdString(path_->description()));
    return path_->localPort();
}

} // namespace sides
