// The SSH tunnel against the sandbox's OpenSSH server: each way of logging in, the host key
// checked as OpenSSH's known_hosts does (unknown asked, changed refused), clear words for a wrong
// passphrase or user, and a complete copy whose destination is reached through the tunnel.
#include "platform/DbConnection.h"
#include "platform/SshTunnel.h"
#include "sides/ConnectionProfile.h"
#include "support/CopyHarness.h"
#include "support/Sandbox.h"
#include "transfer/copy/CompleteCopy.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>


using platform::SshRoute;
using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

QString sshDir() { return qEnvironmentVariable("TABULINK_SSH_DIR"); }
// The sandbox's SSH server that takes a password and nothing else, when it could be started.
bool passwordServerRuns() { return QFileInfo::exists(sshDir() + QStringLiteral("/pass.pid")); }

SshRoute routeTo(int databasePort, const QString &knownHosts)
{
    SshRoute r;
    r.host = "127.0.0.1";
    r.port = qEnvironmentVariableIntValue("TABULINK_SSH_PORT");
    r.user = qEnvironmentVariable("USER", QStringLiteral("root")).toStdString();
    if (r.user.empty() || getuid() == 0)
        r.user = "root";
    r.login = SshRoute::Login::KeyFile;
    r.keyFile = QString(sshDir() + QStringLiteral("/client_ed25519")).toStdString();
    r.knownHostsFile = knownHosts.toStdString();
    r.databasePort = databasePort;
    return r;
}

// What the database says through the tunnel.
QString throughTunnel(const platform::SshTunnel &tunnel, int server)
{
    sides::ConnectionProfile p = sandbox::serverProfile(server);
    p.port = QString::number(tunnel.localPort());
    platform::Connection c;
    sides::openConnection(c, p);
    platform::RecordSet r = c.execute("SELECT CONCAT('port ', @@port)");
    return QString::fromUtf8(r.value(0).bytes.data(), static_cast<qsizetype>(r.value(0).bytes.size()));
}

} // namespace

class SshTunnelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyWayOfLoggingInReachesTheDatabase_data();
    void everyWayOfLoggingInReachesTheDatabase();
    void anUnknownKeyIsAskedAChangedOneRefused();
    void aWrongPassphraseOrUserIsSaidPlainly();
    void aSecretTheSettingsLackIsAskedFor();
    void aCompleteCopyThroughTheTunnel();
    void aTunnelCutDuringACopyKeepsTheOldTable();

private:
    QTemporaryDir home_;
};

void SshTunnelTest::initTestCase()
{
    if (sshDir().isEmpty() || !QFileInfo::exists(sshDir() + QStringLiteral("/sshd.pid")))
        QSKIP("The sandbox's OpenSSH server is not running (scripts/sandbox.sh start).");
}

void SshTunnelTest::everyWayOfLoggingInReachesTheDatabase_data()
{
    QTest::addColumn<int>("login");
    QTest::newRow("ed25519 key file") << 0;
    QTest::newRow("RSA key file with a passphrase") << 1;
    QTest::newRow("agent") << 2;
    QTest::newRow("password") << 3;
}

void SshTunnelTest::everyWayOfLoggingInReachesTheDatabase()
{
    QFETCH(int, login);
    const QString knownHosts = home_.filePath(QStringLiteral("known_hosts_%1").arg(login));
    SshRoute route = routeTo(33061, knownHosts);
    QProcess agent;
    if (login == 1) {
        route.keyFile = QString(sshDir() + QStringLiteral("/client_rsa")).toStdString();
        route.secret = "sandbox-key-pass";
    } else if (login == 2) {
        const QString socket = home_.filePath(QStringLiteral("agent.sock"));
        agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), socket});
        QVERIFY(agent.waitForStarted());
        QTRY_VERIFY(QFileInfo::exists(socket));
        qputenv("SSH_AUTH_SOCK", socket.toLocal8Bit());
        QProcess add;
        add.start(QStringLiteral("ssh-add"), {sshDir() + QStringLiteral("/client_ed25519")});
        QVERIFY(add.waitForFinished());
        QCOMPARE(add.exitCode(), 0);
        route.login = SshRoute::Login::Agent;
        route.keyFile.clear();
    } else if (login == 3) {
        if (!passwordServerRuns())
            QSKIP("The sandbox's SSH password server could not start here (no mount namespace).");
        route.port = qEnvironmentVariableIntValue("TABULINK_SSH_PASSWORD_PORT");
        route.login = SshRoute::Login::Password;
        route.keyFile.clear();
        route.secret = qEnvironmentVariable("TABULINK_SSH_PASSWORD").toStdString();
    }
    int asked = 0;
    std::string shown;
    const auto trust = [&](const platform::SshHostKey &key) {
        ++asked;
        shown = key.fingerprint;
        return true;
    };
    {
        platform::SshTunnel tunnel(route, trust);
        QCOMPARE(throughTunnel(tunnel, 1), QStringLiteral("port 33061"));
        QVERIFY(tunnel.description().find("SSH through ") == 0);
    }
    QCOMPARE(asked, 1);
    QVERIFY(shown.rfind("SHA256:", 0) == 0);
    // Known now: the second login asks nothing, and two connections share the tunnel.
    platform::SshTunnel again(route, trust);
    QCOMPARE(throughTunnel(again, 1), QStringLiteral("port 33061"));
    QCOMPARE(throughTunnel(again, 1), QStringLiteral("port 33061"));
    QCOMPARE(asked, 1);
    if (login == 2) {
        qunsetenv("SSH_AUTH_SOCK");
        agent.kill();
        agent.waitForFinished();
    }
}

void SshTunnelTest::anUnknownKeyIsAskedAChangedOneRefused()
{
    const QString knownHosts = home_.filePath(QStringLiteral("known_hosts_refused"));
    const SshRoute route = routeTo(33061, knownHosts);
    try {
        platform::SshTunnel tunnel(route, [](const platform::SshHostKey &) { return false; });
        QFAIL("an untrusted host key was let through");
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find("is not trusted: nothing was sent to it") != std::string::npos, e.what());
    }
    QVERIFY(!QFileInfo::exists(knownHosts) || QFileInfo(knownHosts).size() == 0);

    // The file knows the server by another key: refused, whatever trust would say.
    QProcess keygen;
    const QString other = home_.filePath(QStringLiteral("other_host"));
    keygen.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                                QStringLiteral("-N"), QString(), QStringLiteral("-f"), other});
    QVERIFY(keygen.waitForFinished());
    QFile pub(other + QStringLiteral(".pub"));
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QByteArray key = pub.readAll().split(' ').mid(0, 2).join(' ');
    QFile file(knownHosts);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[127.0.0.1]:" + QByteArray::number(route.port) + ' ' + key + '\n');
    file.close();
    try {
        platform::SshTunnel tunnel(route, [](const platform::SshHostKey &) { return true; });
        QFAIL("a changed host key was let through");
    } catch (const platform::SshError &e) {
        const std::string said = e.what();
        QVERIFY2(said.find("presents the host key SHA256:") != std::string::npos, e.what());
        QVERIFY2(said.find("knows it by SHA256:") != std::string::npos, e.what());
        QVERIFY2(said.find(knownHosts.toStdString() + " line 1 knows it by SHA256:") != std::string::npos, e.what());
    }
}

void SshTunnelTest::aWrongPassphraseOrUserIsSaidPlainly()
{
    const QString knownHosts = home_.filePath(QStringLiteral("known_hosts_wrong"));
    const auto yes = [](const platform::SshHostKey &) { return true; };
    SshRoute route = routeTo(33061, knownHosts);
    route.keyFile = QString(sshDir() + QStringLiteral("/client_rsa")).toStdString();
    route.secret = "not the passphrase";
    QVERIFY_THROWS_EXCEPTION(platform::SshError, platform::SshTunnel(route, yes));
    try {
        platform::SshTunnel tunnel(route, yes);
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find("cannot be read with that passphrase") != std::string::npos, e.what());
    }
    route = routeTo(33061, knownHosts);
    route.user = "nobody-here";
    try {
        platform::SshTunnel tunnel(route, yes);
        QFAIL("a user the server does not know got in");
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find("did not let nobody-here in") != std::string::npos, e.what());
    }
    if (!passwordServerRuns())
        return;
    route = routeTo(33061, knownHosts);
    route.port = qEnvironmentVariableIntValue("TABULINK_SSH_PASSWORD_PORT");
    route.login = SshRoute::Login::Password;
    route.secret = "not the password";
    try {
        platform::SshTunnel tunnel(route, yes);
        QFAIL("a wrong password got in");
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find("did not let " + route.user + " in") != std::string::npos, e.what());
    }
}

void SshTunnelTest::aSecretTheSettingsLackIsAskedFor()
{
    const QString knownHosts = home_.filePath(QStringLiteral("known_hosts_asked"));
    const auto yes = [](const platform::SshHostKey &) { return true; };
    SshRoute route = routeTo(33061, knownHosts);
    route.keyFile = QString(sshDir() + QStringLiteral("/client_rsa")).toStdString();
    std::vector<platform::SshSecretQuestion> asked;
    std::vector<std::string> answers;
    const platform::SshTunnel::AskSecret ask = [&](const platform::SshSecretQuestion &q) {
        asked.push_back(q);
        const std::string a = answers.empty() ? std::string() : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return a;
    };
    // A wrong answer is asked again, saying so; the right one opens the key.
    answers = {"not it", "sandbox-key-pass"};
    {
        platform::SshTunnel tunnel(route, yes, ask);
        QCOMPARE(throughTunnel(tunnel, 1), QStringLiteral("port 33061"));
    }
    QCOMPARE(asked.size(), size_t(2));
    QCOMPARE(asked[0].keyFile, route.keyFile);
    QVERIFY(!asked[0].again);
    QVERIFY(asked[1].again);
    QCOMPARE(asked[0].server, route.user + "@127.0.0.1:" + std::to_string(route.port));

    // Cancelled: said, and nothing more asked.
    asked.clear();
    try {
        platform::SshTunnel tunnel(route, yes, ask);
        QFAIL("a key was opened without its passphrase");
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find("needs its passphrase, and none was given") != std::string::npos, e.what());
    }
    QCOMPARE(asked.size(), size_t(1));

    // Three wrong answers at most, then the refusal.
    asked.clear();
    answers = {"a", "b", "c", "sandbox-key-pass"};
    QVERIFY_THROWS_EXCEPTION(platform::SshError, platform::SshTunnel(route, yes, ask));
    QCOMPARE(asked.size(), size_t(3));

    // A key without a passphrase, or one the settings hold, asks nothing.
    asked.clear();
    route.secret = "sandbox-key-pass";
    { platform::SshTunnel tunnel(route, yes, ask); }
    route = routeTo(33061, knownHosts);
    { platform::SshTunnel tunnel(route, yes, ask); }
    QVERIFY(asked.empty());

    // A key file that is not there is said so, not asked about.
    route.keyFile = QString(sshDir() + QStringLiteral("/no_such_key")).toStdString();
    try {
        platform::SshTunnel tunnel(route, yes, ask);
        QFAIL("a missing key file let someone in");
    } catch (const platform::SshError &e) {
        QVERIFY2(std::string(e.what()).find("cannot be opened") != std::string::npos, e.what());
    }
    QVERIFY(asked.empty());

    // A password server asks for the password the settings lack.
    if (!passwordServerRuns())
        return;
    route = routeTo(33061, knownHosts);
    route.port = qEnvironmentVariableIntValue("TABULINK_SSH_PASSWORD_PORT");
    route.login = SshRoute::Login::Password;
    answers = {"wrong", qEnvironmentVariable("TABULINK_SSH_PASSWORD").toStdString()};
    {
        platform::SshTunnel tunnel(route, yes, ask);
        QCOMPARE(throughTunnel(tunnel, 1), QStringLiteral("port 33061"));
    }
    QCOMPARE(asked.size(), size_t(2));
    QVERIFY(asked[0].keyFile.empty() && !asked[0].again && asked[1].again);
}

void SshTunnelTest::aCompleteCopyThroughTheTunnel()
{
    ScratchDatabase one(1, QStringLiteral("sshcopy1"));
    ScratchDatabase two(2, QStringLiteral("sshcopy2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(40), KEY (v))");
    one.exec("INSERT INTO t SELECT seq, CONCAT('row ', seq) FROM seq_1_to_200000");
    platform::SshTunnel tunnel(routeTo(33062, home_.filePath(QStringLiteral("known_hosts_copy"))),
                               [](const platform::SshHostKey &) { return true; });
    sides::ConnectionProfile far = two.profile();
    far.port = QString::number(tunnel.localPort());
    CopyHarness h;
    PlainTableList from({QStringLiteral("t")});
    from.select({QStringLiteral("t")});
    h.destination = PlainTableList(two.tables());
    transfer::runCompleteTransfer({from, h.destination, one.profile(), far, QStringLiteral("in test ")}, h.ui());
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(two.query("SELECT COUNT(*), SUM(LENGTH(v)) FROM t"), one.query("SELECT COUNT(*), SUM(LENGTH(v)) FROM t"));
}

void SshTunnelTest::aTunnelCutDuringACopyKeepsTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("sshcut1"));
    ScratchDatabase two(2, QStringLiteral("sshcut2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(200))");
    one.exec("INSERT INTO t SELECT seq, REPEAT('x', 150) FROM seq_1_to_300000");
    two.exec("CREATE TABLE t (id INT PRIMARY KEY, old INT)");
    two.exec("INSERT INTO t VALUES (1, 1)");
    platform::SshTunnel tunnel(routeTo(33062, home_.filePath(QStringLiteral("known_hosts_cut"))),
                               [](const platform::SshHostKey &) { return true; });
    sides::ConnectionProfile far = two.profile();
    far.port = QString::number(tunnel.localPort());
    CopyHarness h;
    bool cut = false;
    h.yield.hook = [&](int count) {
        if (count == 3000 && !cut) {
            cut = true;
            QVERIFY(sandbox::killSshSessions() > 0);
        }
    };
    PlainTableList from({QStringLiteral("t")});
    from.select({QStringLiteral("t")});
    h.destination = PlainTableList(two.tables());
    transfer::runCompleteTransfer({from, h.destination, one.profile(), far, QStringLiteral("in test ")}, h.ui());
    QVERIFY(cut);
    QTRY_VERIFY(!tunnel.alive());
    QCOMPARE(two.query("SELECT * FROM t"), (Rows{{Cell("1"), Cell("1")}}));
    QVERIFY2(!h.pane.contents.isEmpty() || !h.dialogs.messages.empty(), "the failure was not told");
    // The next operation opens a new tunnel and goes through.
    platform::SshTunnel again(routeTo(33062, home_.filePath(QStringLiteral("known_hosts_cut"))),
                              [](const platform::SshHostKey &) { return false; });
    QCOMPARE(throughTunnel(again, 2), QStringLiteral("port 33062"));
}

QTEST_GUILESS_MAIN(SshTunnelTest)
#include "tst_sshtunnel.moc"
