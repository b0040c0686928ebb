// The data-access layer against the real sandbox servers.
#include "sides/ConnectionProfile.h"
#include "platform/ConnectionParams.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/EventYield.h"
#include "platform/ProgramEnding.h"
#include "support/Relay.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QtTest>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>

using namespace app;
using namespace sides;
using namespace transfer;

namespace {

// Holds the first client's bytes, both ways, until a second client has come (5 s at most): two
// logins made one after the other would each wait here for nothing.
class PairGate : public Relay {
public:
    using Relay::Relay;
    ~PairGate() override { stop(); }
    bool firstHeldUntilSecond() const
    {
        const std::lock_guard lock(mutex_);
        return heldUntilSecond_;
    }
    std::atomic<bool> passes = true; // false: nothing ever goes through either way

private:
    void serve(int client, int server) override
    {
        {
            std::unique_lock lock(mutex_);
            const int me = ++arrived_;
            cameIn_.notify_all();
            if (me == 1)
                heldUntilSecond_ = cameIn_.wait_for(lock, std::chrono::seconds(5), [&] { return arrived_ >= 2; });
        }
        carry(client, server, [this](bool, std::string_view) { return passes.load(); });
    }
    int arrived_ = 0;
    bool heldUntilSecond_ = false;
    std::condition_variable cameIn_;
};

// Passes the server's greeting and then nothing more that the server says: a login's TLS handshake
// waits for an answer that never comes.
class SilentAfterGreeting : public Relay {
public:
    using Relay::Relay;
    ~SilentAfterGreeting() override { stop(); }

private:
    void serve(int client, int server) override
    {
        std::string buffer;
        wire::Packet greeting;
        if (wire::readPacket(server, buffer, greeting)
            && wire::writeAll(client, wire::packetBytes(greeting.sequence, greeting.payload)))
            carry(client, server, [](bool fromClient, std::string_view) { return fromClient; });
    }
};

// The user closes the window once the wait has gone on for a while.
class ClosingYield : public platform::EventYield {
public:
    void yield() override {}
    void whileWaiting() override
    {
        if (++waits == 30)
            throw platform::ProgramEnding();
    }
    int waits = 0;
};

} // namespace

class DataAccessTest : public QObject {
    Q_OBJECT
private slots:
    void parsesWhatTheProgramBuilds();
    void parsesBracedValuesBackExactly();
    void logsInWithAPasswordFullOfSeparators();
    void refusesEveryKindOfBadLogin_data();
    void refusesEveryKindOfBadLogin();
    void unreachablePortFailsWithinTheLoginTimeout();
    void failuresCarryTheServersNumberAndText();
    void recordSetTellsNullFromEmptyAndKnowsBinaryColumns();
    void clientCursorKnowsItsRowCountFirst();
    void closedConnectionRefusesStatements();
    void sessionSpeaksUtf8mb4();
    void manyAnswersInOneQuestionEndAtTheFirstRefusal();
    void twoLoginsToOneServerGoTogether();
    void closingDuringAStalledTlsHandshakeEndsAtOnce();
};

void DataAccessTest::parsesWhatTheProgramBuilds()
{
    const ConnectionProfile p{QStringLiteral("db.example.com"), QStringLiteral("ann"), QStringLiteral("s3cret"),
                              QStringLiteral("shop"), QStringLiteral("3307")};
    const platform::ConnectionParams params = platform::parseConnectionString(connectionString(p).toStdString());
    QCOMPARE(params.host, std::string("db.example.com"));
    QCOMPARE(params.user, std::string("ann"));
    QCOMPARE(params.password, std::string("s3cret"));
    QCOMPARE(params.database, std::string("shop"));
    QCOMPARE(params.port, std::string("3307"));
}

void DataAccessTest::parsesBracedValuesBackExactly()
{
    for (const QString &odd : {QStringLiteral("p;a{ss}w0rd"), QStringLiteral("}}"), QStringLiteral("{"),
                               QStringLiteral("a;b;c"), QStringLiteral("ü;🦊")}) {
        const ConnectionProfile p{QStringLiteral("h"), odd, odd, odd, QStringLiteral("1")};
        const platform::ConnectionParams params = platform::parseConnectionString(connectionString(p).toStdString());
        QCOMPARE(QString::fromStdString(params.password), odd);
        QCOMPARE(QString::fromStdString(params.user), odd);
        QCOMPARE(QString::fromStdString(params.database), odd);
        QCOMPARE(params.port, std::string("1"));
    }
}

void DataAccessTest::logsInWithAPasswordFullOfSeparators()
{
    ConnectionProfile p = sandbox::serverProfile(2);
    p.user = QStringLiteral("oddpass");
    p.password = QStringLiteral("p;a{ss}w0rd");
    platform::Connection c;
    c.open(connectionString(p).toStdString());
    platform::RecordSet r = c.execute("SELECT CURRENT_USER()");
    QVERIFY(QString::fromStdString(std::string(r.value(0).bytes)).startsWith(QStringLiteral("oddpass@")));
}

void DataAccessTest::refusesEveryKindOfBadLogin_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("password");
    const ConnectionProfile good = sandbox::serverProfile(1);
    QTest::newRow("wrong password") << good.server << good.port << QStringLiteral("nope");
    QTest::newRow("non-numeric port") << good.server << QStringLiteral("33o61") << good.password;
    QTest::newRow("port with spaces") << good.server << QStringLiteral(" 33061 ") << good.password;
    QTest::newRow("nothing listens") << good.server << QStringLiteral("1") << good.password;
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << good.port << good.password;
}

void DataAccessTest::refusesEveryKindOfBadLogin()
{
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(QString, password);
    ConnectionProfile p = sandbox::serverProfile(1);
    p.server = server;
    p.port = port;
    p.password = password;
    platform::Connection c;
    QVERIFY_THROWS_EXCEPTION(platform::DbError, c.open(connectionString(p).toStdString()));
    QVERIFY(!c.isOpen());
}

void DataAccessTest::unreachablePortFailsWithinTheLoginTimeout()
{
    // Only loopback is ever contacted from the tests: a closed port there must fail at once, not hang.
    ConnectionProfile p = sandbox::serverProfile(1);
    p.server = QStringLiteral("127.0.0.1");
    p.port = QStringLiteral("9"); // discard port: closed on loopback
    QElapsedTimer t;
    t.start();
    platform::Connection c;
    QVERIFY_THROWS_EXCEPTION(platform::DbError, c.open(connectionString(p).toStdString()));
    QVERIFY2(t.elapsed() < (platform::Connection::DefaultLoginTimeoutSeconds + 5) * 1000, "login wait exceeded its time-out");
}

void DataAccessTest::failuresCarryTheServersNumberAndText()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("errors"));
    platform::Connection c;
    c.open(scratch.connectionString().toStdString());
    try {
        c.execute("SELECT * FROM no_such_table");
        QFAIL("the server accepted a query on a missing table");
    } catch (const platform::DbError &e) {
        QCOMPARE(e.number(), 1146);
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("no_such_table")));
    }
}

void DataAccessTest::recordSetTellsNullFromEmptyAndKnowsBinaryColumns()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("values"));
    scratch.exec("CREATE TABLE t (a VARCHAR(5), b BLOB, c INT, d BIT(3))");
    scratch.exec("INSERT INTO t VALUES ('', X'00FF', NULL, b'101')");
    platform::Connection c;
    c.open(scratch.connectionString().toStdString());
    platform::RecordSet r = c.execute("SELECT * FROM t");
    QCOMPARE(r.fieldCount(), 4);
    QVERIFY(!r.eof());
    QVERIFY(!r.value(0).isNull);
    QCOMPARE(r.value(0).bytes.size(), size_t(0));
    QCOMPARE(std::string(r.value(1).bytes), std::string("\x00\xFF", 2));
    QVERIFY(r.value(2).isNull);
    QCOMPARE(std::string(r.value(3).bytes), std::string("\x05", 1));
    QVERIFY(!r.isBinary(0));
    QVERIFY(r.isBinary(1));
    QVERIFY(!r.isBinary(2));
    QVERIFY(r.isBinary(3));
    r.moveNext();
    QVERIFY(r.eof());
    QVERIFY_THROWS_EXCEPTION(platform::DbError, r.value(0));
}

void DataAccessTest::clientCursorKnowsItsRowCountFirst()
{
    sandbox::ScratchDatabase scratch(2, QStringLiteral("count"));
    scratch.exec("CREATE TABLE a (x INT)");
    scratch.exec("CREATE TABLE b (x INT)");
    scratch.exec("CREATE TABLE c (x INT)");
    platform::Connection c;
    c.setCursorLocation(platform::Connection::ClientCursor);
    c.open(scratch.connectionString().toStdString());
    platform::RecordSet r = c.execute("SHOW TABLES;");
    QCOMPARE(r.recordCount(), 3LL);

    platform::Connection streaming;
    streaming.open(scratch.connectionString().toStdString());
    QCOMPARE(streaming.execute("SHOW TABLES").recordCount(), -1LL);
}

void DataAccessTest::closedConnectionRefusesStatements()
{
    platform::Connection c;
    QVERIFY_THROWS_EXCEPTION(platform::DbError, c.execute("SELECT 1"));
    c.open(sandbox::serverConnectionString(1));
    c.close();
    QVERIFY_THROWS_EXCEPTION(platform::DbError, c.execute("SELECT 1"));
    // A closed object can be opened again, as the delete run does for every table.
    c.open(sandbox::serverConnectionString(1));
    QVERIFY(c.isOpen());
}

void DataAccessTest::sessionSpeaksUtf8mb4()
{
    platform::Connection c;
    c.open(sandbox::serverConnectionString(1));
    platform::RecordSet r = c.execute("SELECT @@character_set_client, @@character_set_results, '🦊'");
    QCOMPARE(std::string(r.value(0).bytes), std::string("utf8mb4"));
    QCOMPARE(std::string(r.value(1).bytes), std::string("utf8mb4"));
    QCOMPARE(std::string(r.value(2).bytes), std::string("🦊"));
}

// A run asks a server of all its tables in one question: the answers before a refused statement
// are handed over, and the session goes on fit for the next, also when reading one failed.
void DataAccessTest::manyAnswersInOneQuestionEndAtTheFirstRefusal()
{
    platform::Connection c;
    c.open(sandbox::serverConnectionString(1));
    c.setMultiStatements(true);
    std::vector<std::string> seen;
    const size_t answered = c.executeEach({"SELECT 1", "SELECT 'two' UNION ALL SELECT 'three'",
                                           "SELECT * FROM no_such_db.no_such_table", "SELECT 4"},
                                          [&](size_t i, platform::RecordSet &r) {
                                              for (; !r.eof(); r.moveNext())
                                                  seen.push_back(std::to_string(i) + ":" + std::string(r.value(0).bytes));
                                          });
    QCOMPARE(answered, size_t(2));
    QCOMPARE(seen, (std::vector<std::string>{"0:1", "1:two", "1:three"}));
    QCOMPARE(std::string(c.execute("SELECT 5").value(0).bytes), std::string("5"));
    // A refusal of the first statement is no answer at all.
    QCOMPARE(c.executeEach({"SELECT * FROM no_such_db.t", "SELECT 1"}, [](size_t, platform::RecordSet &) {}), size_t(0));
    // What the reader threw comes out once every answer is read.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             c.executeEach({"SELECT 1", "SELECT 2", "SELECT 3"}, [](size_t i, platform::RecordSet &) {
                                 if (i == 0)
                                     throw std::runtime_error("unreadable");
                             }));
    QCOMPARE(std::string(c.execute("SELECT 6").value(0).bytes), std::string("6"));
}

QTEST_GUILESS_MAIN(DataAccessTest)
// A copy logs in twice to each server; over a far link the second must not wait for the first.
void DataAccessTest::twoLoginsToOneServerGoTogether()
{
    ConnectionProfile p = sandbox::serverProfile(2);
    {
        PairGate gate(p.server, p.port.toInt());
        p.port = QString::number(gate.port());
        platform::Connection one, two;
        one.setConnectionTimeout(3); // far less than the gate would hold a lone login
        two.setConnectionTimeout(3);
        platform::Connection::openTogether(one, two, connectionString(p).toStdString());
        QVERIFY(gate.firstHeldUntilSecond());
        platform::RecordSet a = one.execute("SELECT CONNECTION_ID()");
        platform::RecordSet b = two.execute("SELECT CONNECTION_ID()");
        QVERIFY(a.value(0).bytes != b.value(0).bytes); // two sessions, both usable
    }
    {
        // Wrong password: the server's refusal, and neither is left open.
        ConnectionProfile wrong = sandbox::serverProfile(2);
        wrong.password = QStringLiteral("nope");
        platform::Connection one, two;
        try {
            platform::Connection::openTogether(one, two, connectionString(wrong).toStdString());
            QFAIL("logged in with a wrong password");
        } catch (const platform::DbError &e) {
            QCOMPARE(e.number(), 1045);
        }
        QVERIFY(!one.isOpen() && !two.isOpen());
    }
    {
        // Closed while both wait on a server that says nothing: the program ends, not the logins.
        p = sandbox::serverProfile(2);
        PairGate mute(p.server, p.port.toInt());
        mute.passes = false;
        p.port = QString::number(mute.port());
        ClosingYield closing;
        platform::Connection one, two;
        one.setEventYield(&closing);
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding,
                                 platform::Connection::openTogether(one, two, connectionString(p).toStdString()));
        QCOMPARE(closing.waits, 30);
        QVERIFY(!one.isOpen() && !two.isOpen());
    }
}

// The client library waits out a TLS handshake inside itself, for as long as the login may take;
// the program must not wait with it when the user closes the window.
void DataAccessTest::closingDuringAStalledTlsHandshakeEndsAtOnce()
{
    ConnectionProfile p = sandbox::serverProfile(2);
    SilentAfterGreeting stall(p.server, p.port.toInt());
    p.port = QString::number(stall.port());
    ClosingYield closing;
    platform::Connection c;
    c.setEventYield(&closing);
    QElapsedTimer took;
    took.start();
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, c.open(connectionString(p).toStdString()));
    QVERIFY2(took.elapsed() < 3000, qPrintable(QString::number(took.elapsed()))); // the login may take 15 s
    QCOMPARE(closing.waits, 30);
    QVERIFY(!c.isOpen());
}

#include "tst_dataaccess.moc"
