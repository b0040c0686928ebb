// The ways through SSH beyond one server: a jump host in front (and what it alone may reach),
// ~/.ssh/config read for an alias, a close during the handshake, a changed key found in a hashed
// known_hosts, the certificate's name checked end to end through the tunnel, and a side's tunnel
// opened again after it dropped.
#include "app/SshSettings.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/ProgramEnding.h"
#include "platform/SshConfig.h"
#include "platform/SshPath.h"
#include "sides/ConnectionProfile.h"
#include "sides/SideTunnel.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

using platform::SshRoute;

namespace {

QString sshDir() { return qEnvironmentVariable("TABULINK_SSH_DIR"); }
int sshPort() { return qEnvironmentVariableIntValue("TABULINK_SSH_PORT"); }
int jumpPort() { return qEnvironmentVariableIntValue("TABULINK_SSH_JUMP_PORT"); }
std::string sshUser() { return getuid() == 0 ? std::string("root") : qEnvironmentVariable("USER").toStdString(); }
const auto yes = [](const platform::SshHostKey &) { return true; };

SshRoute hop(int port, const QString &knownHosts)
{
    SshRoute r;
    r.host = "127.0.0.1";
    r.port = port;
    r.user = sshUser();
    r.login = SshRoute::Login::KeyFile;
    r.keyFile = QString(sshDir() + QStringLiteral("/client_ed25519")).toStdString();
    r.knownHostsFile = knownHosts.toStdString();
    return r;
}

QString portThrough(int localPort, int server)
{
    sides::ConnectionProfile p = sandbox::serverProfile(server);
    p.port = QString::number(localPort);
    platform::Connection c;
    sides::openConnection(c, p);
    platform::RecordSet r = c.execute("SELECT @@port");
    return QString::fromUtf8(r.value(0).bytes.data(), static_cast<qsizetype>(r.value(0).bytes.size()));
}

// Throws ProgramEnding once the time is up, as the windows' yield does once a window is closed.
class ClosingYield : public platform::EventYield {
public:
    explicit ClosingYield(int ms) { timer_.start(), ms_ = ms; }
    void yield() override {}
    void whileWaiting() override
    {
        if (timer_.elapsed() > ms_)
            throw platform::ProgramEnding();
    }

private:
    QElapsedTimer timer_;
    int ms_ = 0;
};

} // namespace

class SshPathTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aJumpHostIsTheOnlyWayIn();
    void anAliasOfTheSshConfigGivesTheWholeWay();
    void jumpListsAreCheckedAsTyped();
    void closingDuringTheHandshakeEndsAtOnce();
    void aChangedKeyInAHashedKnownHostsIsRefused();
    void theCertificateNameIsCheckedThroughTheTunnel();
    void aSideTunnelOpensAgainAfterItDropped();

private:
    QTemporaryDir home_;
};

void SshPathTest::initTestCase()
{
    if (sshDir().isEmpty() || jumpPort() == 0 || !QFileInfo::exists(sshDir() + QStringLiteral("/jump.pid")))
        QSKIP("The sandbox's OpenSSH servers are not running (scripts/sandbox.sh start).");
}

void SshPathTest::aJumpHostIsTheOnlyWayIn()
{
    const QString known = home_.filePath(QStringLiteral("known_jump"));
    // The jump host forwards to the inner SSH server only: straight to a database it refuses.
    SshRoute outer = hop(jumpPort(), known);
    outer.databasePort = 33061;
    {
        platform::SshTunnel tunnel(outer, yes);
        platform::Connection c;
        sides::ConnectionProfile p = sandbox::serverProfile(1);
        p.port = QString::number(tunnel.localPort());
        QVERIFY_THROWS_EXCEPTION(platform::DbError, sides::openConnection(c, p));
    }
    SshRoute inner = hop(sshPort(), known);
    inner.databasePort = 33062;
    int asked = 0;
    platform::SshPath path({hop(jumpPort(), known), inner}, [&](const platform::SshHostKey &) { return ++asked, true; });
    QCOMPARE(asked, 1); // the jump host's key was asked above; the inner one's now
    QCOMPARE(portThrough(path.localPort(), 2), QStringLiteral("33062"));
    QVERIFY(path.alive());
    QVERIFY(path.description().find(" → ") != std::string::npos);
}

void SshPathTest::anAliasOfTheSshConfigGivesTheWholeWay()
{
    const QString config = home_.filePath(QStringLiteral("config"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("# as a user writes it\n"
                              "Host bastion\n  HostName 127.0.0.1\n  Port %1\n  User %3\n\n"
                              "Host db-*  !db-nowhere\n  HostName=127.0.0.1\n  Port %2\n  User %3\n"
                              "  IdentityFile %4\n  ProxyJump bastion\n"
                              "Host *\n  Port 1\n  User nobody\n")
                   .arg(jumpPort())
                   .arg(sshPort())
                   .arg(QString::fromStdString(sshUser()), sshDir() + QStringLiteral("/client_ed25519"))
                   .toUtf8());
    file.close();
    app::SideSsh ssh;
    ssh.enabled = true;
    ssh.host = QStringLiteral("db-inner");
    ssh.login = SshRoute::Login::KeyFile;
    ssh.useConfig = true;
    app::SshFiles files{config.toStdString(), {}, home_.filePath(QStringLiteral("known_alias")).toStdString(),
                        home_.path().toStdString()};
    std::vector<SshRoute> hops;
    try {
        hops = app::sshHops(ssh, {}, files);
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    QCOMPARE(hops.size(), size_t(2));
    QCOMPARE(hops[0].port, jumpPort());
    QCOMPARE(hops[0].user, sshUser()); // its own, before the "Host *" one
    QCOMPARE(hops[1].port, sshPort());
    QCOMPARE(hops[1].keyFile, QString(sshDir() + QStringLiteral("/client_ed25519")).toStdString());
    std::vector<SshRoute> toDatabase = hops;
    toDatabase.back().databasePort = 33061;
    try {
        platform::SshPath path(toDatabase, yes);
        QCOMPARE(portThrough(path.localPort(), 1), QStringLiteral("33061"));
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }

    // A negated pattern, and a box that says more than the file.
    ssh.host = QStringLiteral("db-nowhere");
    ssh.port = QStringLiteral("2222");
    ssh.login = SshRoute::Login::Agent;
    std::vector<SshRoute> other;
    try {
        other = app::sshHops(ssh, {}, files);
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    QCOMPARE(other.size(), size_t(1));
    QCOMPARE(other[0].port, 2222);
    QCOMPARE(other[0].host, std::string("db-nowhere"));
    QCOMPARE(other[0].user, std::string("nobody"));
}

void SshPathTest::jumpListsAreCheckedAsTyped()
{
    const auto jumps = platform::parseJumps("alice@outer:2200, [::1]:22 ,inner");
    QCOMPARE(jumps.size(), size_t(3));
    QCOMPARE(jumps[0].user, std::string("alice"));
    QCOMPARE(jumps[0].port, 2200);
    QCOMPARE(jumps[1].host, std::string("::1"));
    QCOMPARE(jumps[2].port, 0);
    for (const char *bad : {"outer:99999", "outer:ssh", "a b"}) {
        try {
            platform::parseJumps(bad);
            QFAIL(bad);
        } catch (const platform::SshError &e) {
            QVERIFY2(std::string(e.what()).find(bad) != std::string::npos, e.what());
        }
    }
    app::SideSsh ssh;
    ssh.host = QStringLiteral("bastion");
    ssh.port = QStringLiteral("22x");
    QVERIFY_THROWS_EXCEPTION(platform::SshError, app::sshHops(ssh, {}, {}));
}

void SshPathTest::closingDuringTheHandshakeEndsAtOnce()
{
    // A server that takes the connection and never says a word: the handshake would wait 30 s.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    QVERIFY(::bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && ::listen(silent, 4) == 0);
    QVERIFY(::getsockname(silent, reinterpret_cast<sockaddr *>(&address), &size) == 0);
    const auto closeSilent = qScopeGuard([&] { ::close(silent); });
    SshRoute route = hop(ntohs(address.sin_port), home_.filePath(QStringLiteral("known_silent")));
    ClosingYield closing(300);
    QElapsedTimer took;
    took.start();
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, platform::openSshPath({route}, yes, &closing));
    QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
}

void SshPathTest::aChangedKeyInAHashedKnownHostsIsRefused()
{
    // The user's own known_hosts, hashed as Debian's OpenSSH writes it, knows the server by another key.
    const QString other = home_.filePath(QStringLiteral("other_key"));
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                                QStringLiteral("-N"), QString(), QStringLiteral("-f"), other});
    QVERIFY(keygen.waitForFinished());
    QFile pub(other + QStringLiteral(".pub"));
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QString user = home_.filePath(QStringLiteral("user_known_hosts"));
    QFile file(user);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[127.0.0.1]:" + QByteArray::number(sshPort()) + ' ' + pub.readAll().split(' ').mid(0, 2).join(' ') + '\n');
    file.close();
    QProcess hash;
    hash.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-H"), QStringLiteral("-f"), user});
    QVERIFY(hash.waitForFinished());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("|1|"));
    file.close();
    SshRoute route = hop(sshPort(), home_.filePath(QStringLiteral("known_own")));
    route.userKnownHostsFile = user.toStdString();
    try {
        platform::SshTunnel tunnel(route, yes);
        QFAIL("a changed host key was let through");
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find(user.toStdString() + " line 1 knows it by SHA256:") != std::string::npos,
                 e.what());
    }
    QVERIFY(!QFileInfo::exists(home_.filePath(QStringLiteral("known_own"))));
}

void SshPathTest::theCertificateNameIsCheckedThroughTheTunnel()
{
    const std::string ca = QString(qEnvironmentVariable("TABULINK_TLS_DIR") + QStringLiteral("/ca.pem")).toStdString();
    platform::ConnectionSecurity security;
    security.mode = platform::ConnectionSecurity::Mode::VerifyIdentity;
    security.caFile = ca;
    // Through a tunnel the login connects to 127.0.0.1 on a port of its own; the name the
    // certificate must bear is still the one the user typed.
    auto tunnel = std::make_shared<sides::SideTunnel>();
    tunnel->confirmHostKey = yes;
    tunnel->choose({hop(sshPort(), home_.filePath(QStringLiteral("known_tls")))});
    sides::ConnectionProfile p = sandbox::serverProfile(1);
    p.security = security;
    p.tunnel = tunnel;
    platform::Connection c;
    sides::openConnection(c, p);
    QVERIFY(c.tlsState().verified);

    // A certificate not made out to the name: refused before the password goes.
    security.identityName = "db.example.com";
    platform::Connection wrong;
    wrong.setSecurity(security);
    try {
        wrong.open(sandbox::serverConnectionString(1));
        QFAIL("a certificate made out to another name was taken");
    } catch (const platform::DbError &e) {
        QVERIFY2(std::string(e.what()).find("is not made out to db.example.com. Nothing secret was sent.") != std::string::npos,
                 e.what());
    }
}

void SshPathTest::aSideTunnelOpensAgainAfterItDropped()
{
    auto tunnel = std::make_shared<sides::SideTunnel>();
    tunnel->confirmHostKey = yes;
    tunnel->choose({hop(sshPort(), home_.filePath(QStringLiteral("known_again")))});
    const int first = tunnel->reach("127.0.0.1", 33061);
    QCOMPARE(portThrough(first, 1), QStringLiteral("33061"));
    QVERIFY(sandbox::killSshSessions() > 0);
    QTRY_VERIFY_WITH_TIMEOUT(tunnel->reach("127.0.0.1", 33061) != first, 10000);
    QCOMPARE(portThrough(tunnel->reach("127.0.0.1", 33061), 1), QStringLiteral("33061"));
    QVERIFY(tunnel->state().startsWith(QStringLiteral("SSH through ")));
}

QTEST_GUILESS_MAIN(SshPathTest)
#include "tst_sshpath.moc"
