// A stock MySQL 9.7 account (caching_sha2_password, as every account of MySQL 8 and 9 is) logs in
// with the default connection security: the first login, which must send the password itself,
// asks once whether to trust the server's certificate; later ones need no box, whether the
// server remembers the login (its fast path, a scramble only) or not (after FLUSH PRIVILEGES).
#include "support/Input.h"
#include "support/Lists.h"
#include "support/ProgramBoxes.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QtTest>

using sandbox::MySqlServer;
using sandbox::ScratchDatabase;

namespace {

// An account of the test's own, as MySQL makes every account (caching_sha2_password), allowed
// into the databases: no other test's logins fill the server's cache of it.
struct OwnAccount {
    std::string name = "tl_" + std::to_string(QCoreApplication::applicationPid());
    std::string password = "pw;" + name;
    OwnAccount()
    {
        sandbox::execOnServer(MySqlServer, "DROP USER IF EXISTS '" + name + "'@'%'");
        sandbox::execOnServer(MySqlServer, "CREATE USER '" + name + "'@'%' IDENTIFIED BY '" + password + "'");
        sandbox::execOnServer(MySqlServer, "GRANT ALL ON *.* TO '" + name + "'@'%'");
    }
    ~OwnAccount()
    {
        try {
            sandbox::execOnServer(MySqlServer, "DROP USER IF EXISTS '" + name + "'@'%'");
        } catch (const std::exception &) {
        }
    }
    // The login as a user types it: no CA file, no remembered certificate.
    sides::ConnectionProfile typedLogin(const ScratchDatabase &db) const
    {
        sides::ConnectionProfile p = db.profile();
        p.user = QString::fromStdString(name);
        p.password = QString::fromStdString(password);
        p.security = {};
        return p;
    }
};

std::string serverCertificate()
{
    const QString ca = qEnvironmentVariable("TABULINK_MYSQL_CA");
    return fingerprintOf(QString(ca.left(ca.lastIndexOf(u'/')) + QStringLiteral("/server-cert.pem")).toStdString());
}

} // namespace

class MySqlLoginTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void aStockAccountLogsInWithTheDefaults();
};

void MySqlLoginTest::init()
{
    if (const QString missing = sandbox::missingServer(MySqlServer); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void MySqlLoginTest::aStockAccountLogsInWithTheDefaults()
{
    ScratchDatabase db(MySqlServer, QStringLiteral("login"));
    db.exec("CREATE TABLE stock (v INT)");
    // New, the account is in no cache of the server: its first login takes the full path.
    const OwnAccount account;
    const std::string certificate = serverCertificate();
    QVERIFY(!certificate.empty());
    BoxedConnectionWindow w(account.typedLogin(db));
    {
        // No: nothing sent, nothing remembered.
        BoxAnswers answers;
        answers.keys = {Qt::Key_Escape, Qt::Key_Return};
        w.testConnection();
        QCOMPARE(answers.texts.size(), 2);
        QVERIFY2(answers.texts[0].contains(QString::fromStdString(certificate)), qPrintable(answers.texts[0]));
        QVERIFY2(answers.texts[0].contains(QStringLiteral("127.0.0.1:") + db.profile().port), qPrintable(answers.texts[0]));
        QVERIFY2(answers.texts[1].startsWith(QStringLiteral("Could not connect")), qPrintable(answers.texts[1]));
        QVERIFY(w.remembered().fingerprint.isEmpty());
    }
    {
        // Yes (Return): logged in, and the certificate is remembered.
        BoxAnswers answers;
        w.testConnection();
        QCOMPARE(answers.texts.size(), 2);
        QCOMPARE(answers.texts[1], QStringLiteral("Connection successful."));
        QCOMPARE(w.remembered().fingerprint.toStdString(), certificate);
    }
    {
        // The fast path now (the server remembers the login), then the full path again over the
        // remembered certificate: no box either time.
        BoxAnswers answers;
        w.testConnection();
        db.exec("FLUSH PRIVILEGES");
        w.testConnection();
        QCOMPARE(answers.texts, (QStringList{QStringLiteral("Connection successful."), QStringLiteral("Connection successful.")}));
    }
    // Next > with MySQL on both sides: its tables listed in the table manager.
    ScratchDatabase two(MySqlServer, QStringLiteral("login2"));
    two.exec("CREATE TABLE other (v INT)");
    sides::ConnectionProfile second = account.typedLogin(two);
    typeProfile(w.form.ui().Text5, w.form.ui().Text6, w.form.ui().Text7, w.form.ui().Text8, w.form.ui().Text10, second);
    BoxAnswers answers; // side #2 meets the certificate for the first time too: Yes
    input::click(w.form.ui().PushButton2);
    w.t.runStarted();
    tableswindow::Form2 *manager = form2Of(w.form);
    QVERIFY2(manager && manager->isVisible(), qPrintable(answers.texts.join(u'|')));
    QCOMPARE(listTexts(manager->ui().List1), QStringList{QStringLiteral("stock")});
    QCOMPARE(listTexts(manager->ui().List2), QStringList{QStringLiteral("other")});
}

QTEST_MAIN(MySqlLoginTest)
#include "tst_mysqllogin.moc"
