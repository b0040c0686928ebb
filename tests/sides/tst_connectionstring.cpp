// The one connection string every operation builds.
#include "sides/ConnectionProfile.h"

#include <QtTest>

using namespace sides;

class ConnectionStringTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsGiveTheDocumentedString();
    void valuesAreInsertedVerbatimInKeyOrder();
    void separatorsInAValueAreBraced();
};

void ConnectionStringTest::defaultsGiveTheDocumentedString()
{
    const ConnectionProfile p{QStringLiteral("localhost"), {}, {}, {}, QStringLiteral("3306")};
    QCOMPARE(connectionString(p), QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=localhost;DATABASE=;USER=;"
                                                 "PASSWORD=;PORT=3306;"));
}

void ConnectionStringTest::valuesAreInsertedVerbatimInKeyOrder()
{
    const ConnectionProfile p{QStringLiteral(" db host "), QStringLiteral("Zoë"), QStringLiteral("pa ss\"'"),
                              QStringLiteral("my db"), QStringLiteral("33o6")};
    QCOMPARE(connectionString(p), QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER= db host ;DATABASE=my db;"
                                                 "USER=Zoë;PASSWORD=pa ss\"';PORT=33o6;"));
    const ConnectionProfile empty;
    QCOMPARE(connectionString(empty),
             QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=;DATABASE=;USER=;PASSWORD=;PORT=;"));
}

void ConnectionStringTest::separatorsInAValueAreBraced()
{
    const ConnectionProfile p{QStringLiteral("h"), QStringLiteral("u"), QStringLiteral("p;a{ss}w0rd"),
                              QStringLiteral("d"), QStringLiteral("1")};
    QCOMPARE(connectionString(p), QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;DATABASE=d;USER=u;"
                                                 "PASSWORD={p;a{ss}}w0rd};PORT=1;"));
}

QTEST_GUILESS_MAIN(ConnectionStringTest)
#include "tst_connectionstring.moc"
