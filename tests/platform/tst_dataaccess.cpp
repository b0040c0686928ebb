// The data-access layer against the real sandbox servers.
#include "sides/ConnectionProfile.h"
#include "platform/ConnectionParams.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace app;
using namespace sides;
using namespace transfer;

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

QTEST_GUILESS_MAIN(DataAccessTest)
#include "tst_dataaccess.moc"
