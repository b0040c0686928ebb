// Every login may be encrypted and verified: the sandbox servers serve TLS with certificates the
// sandbox script made (a CA, a server certificate for 127.0.0.1, a client certificate, and a CA
// that signed none of them). Changes a server-wide setting, so this suite runs alone.
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "connect/Form1.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "support/Input.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/SlowLink.h"
#include "support/TestServices.h"
#include "support/WireRecorder.h"
#include "ui_Form1.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>
#include <QtTest>

using platform::ConnectionSecurity;
using Mode = platform::ConnectionSecurity::Mode;

namespace {

std::string tlsFile(const char *name)
{
    return QString(qEnvironmentVariable("TABULINK_TLS_DIR") + u'/' + QLatin1String(name)).toStdString();
}

// The connection window as the program shows it at its start.
struct ShownWindow {
    TestServices t;
    connectwindow::Form1 form1{t.services, tableswindow::Form2::factory(t.services)};
    explicit ShownWindow(TestServices::Yield yield = TestServices::Yield::Counted) : t({}, yield)
    {
        form1.Form_Load();
        form1.show();
    }
};

sides::ConnectionProfile withSecurity(sides::ConnectionProfile p, Mode mode, const char *ca = "ca.pem")
{
    p.security.mode = mode;
    if (ca)
        p.security.caFile = tlsFile(ca);
    return p;
}

// Logs in; the cipher the server itself reports for the session, or the error's text.
struct Login {
    std::string cipher;
    std::string described;
    std::string error;
};

Login login(const sides::ConnectionProfile &p)
{
    Login result;
    platform::Connection c;
    try {
        sides::openConnection(c, p);
        platform::RecordSet r = c.execute("SHOW SESSION STATUS LIKE 'Ssl_cipher'");
        result.cipher = std::string(r.value(1).bytes);
        r.close();
        result.described = platform::describe(c.tlsState());
    } catch (const platform::DbError &e) {
        result.error = e.what();
    }
    return result;
}

} // namespace

class TlsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void preferEncryptsWheneverTheServerOffersTls();
    void verificationAcceptsItsCaAndRefusesAnother();
    void requireRefusesAServerWithoutTls();
    void aServerThatRequiresTlsIsReached();
    void aClientCertificateLogsIn();
    void theWindowShowsWhatALoginGotAndKeepsTheSettings();
    void compressionFollowsTheSettingAndTheRoundTrip();
    void aFarLoginKeepsTheWindowAnswering();
};

void TlsTest::initTestCase()
{
    if (qEnvironmentVariable("TABULINK_TLS_DIR").isEmpty())
        QFAIL("TABULINK_TLS_DIR is not set: run the tests through scripts/test.sh");
}

void TlsTest::preferEncryptsWheneverTheServerOffersTls()
{
    for (int server : {1, 2}) {
        const Login l = login(sandbox::serverProfile(server));
        QVERIFY2(l.error.empty(), l.error.c_str());
        QVERIFY(!l.cipher.empty());
        QCOMPARE(l.described, std::string("TLS, not verified"));
    }
}

void TlsTest::verificationAcceptsItsCaAndRefusesAnother()
{
    for (Mode mode : {Mode::VerifyCa, Mode::VerifyIdentity}) {
        const Login good = login(withSecurity(sandbox::serverProfile(1), mode));
        QVERIFY2(good.error.empty(), good.error.c_str());
        QVERIFY(!good.cipher.empty());
        QVERIFY2(good.described.find(", certificate verified") != std::string::npos, good.described.c_str());
        QVERIFY(good.described.rfind("TLS 1.", 0) == 0);

        const Login other = login(withSecurity(sandbox::serverProfile(1), mode, "other-ca.pem"));
        QVERIFY2(other.error.find("could not be verified with the CA file " + tlsFile("other-ca.pem"))
                     != std::string::npos,
                 other.error.c_str());
    }
}

void TlsTest::requireRefusesAServerWithoutTls()
{
    // The relay offers no TLS in front of server 1, as a server without certificates does.
    sides::ConnectionProfile p = sandbox::serverProfile(1);
    WireRecorder noTls(p.server, p.port.toInt());
    p.port = QString::number(noTls.port());
    const Login plain = login(p);
    QVERIFY2(plain.error.empty(), plain.error.c_str());
    QCOMPARE(plain.described, std::string("not encrypted"));
    for (Mode mode : {Mode::Require, Mode::VerifyCa, Mode::VerifyIdentity}) {
        const Login refused = login(withSecurity(p, mode));
        QVERIFY2(refused.error.find("offers no TLS") != std::string::npos, refused.error.c_str());
    }
}

void TlsTest::aServerThatRequiresTlsIsReached()
{
    sandbox::GlobalSetting required(2, "require_secure_transport", "ON");
    const Login l = login(sandbox::serverProfile(2));
    QVERIFY2(l.error.empty(), l.error.c_str());
    QVERIFY(!l.cipher.empty());
    // Without TLS on the way the same server turns the login away.
    sides::ConnectionProfile p = sandbox::serverProfile(2);
    WireRecorder noTls(p.server, p.port.toInt());
    p.port = QString::number(noTls.port());
    QVERIFY(!login(p).error.empty());
}

void TlsTest::aClientCertificateLogsIn()
{
    sides::ConnectionProfile p = sandbox::serverProfile(1);
    p.user = QStringLiteral("x509");
    p.password = QStringLiteral("sandbox-x509");
    QVERIFY(!login(p).error.empty()); // REQUIRE X509: no certificate, no login
    p = withSecurity(p, Mode::VerifyIdentity);
    p.security.certFile = tlsFile("client.pem");
    p.security.keyFile = tlsFile("client-key.pem");
    const Login l = login(p);
    QVERIFY2(l.error.empty(), l.error.c_str());
    QVERIFY(!l.cipher.empty());
}

void TlsTest::theWindowShowsWhatALoginGotAndKeepsTheSettings()
{
    ShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.form1));
    TestServices &t = w.t;
    connectwindow::Form1 &form1 = w.form1;
    Ui::Form1 &ui = form1.ui();
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, sandbox::serverProfile(1));
    input::click(ui.PushButton3);
    t.runStarted();
    QCOMPARE(t.dialogs.texts(), QStringList{QStringLiteral("Connection successful.")});
    QCOMPARE(ui.Text1->toolTip(), QStringLiteral("Connection: TLS, not verified"));

    // The Server box's own menu, with the entry added to it; the dialog it opens, filled in.
    input::rightClick(ui.Text1);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    int securityEntry = -1;
    for (int i = 0; i < menu->actions().size(); ++i)
        if (menu->actions()[i]->text() == connectwindow::ConnectionSecurityEntry)
            securityEntry = i;
    QVERIFY(securityEntry >= 0);
    // A person fills the dialog in once it is up.
    bool okWithoutCa = true;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &form1, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QStringLiteral("SecurityDialog1") || !dialog->isVisible())
            return;
        poll.stop();
        auto *mode = dialog->findChild<QComboBox *>(QStringLiteral("ModeBox"));
        auto *ca = dialog->findChild<QLineEdit *>(QStringLiteral("CaFile"));
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("Buttons"));
        mode->setCurrentIndex(static_cast<int>(Mode::VerifyIdentity));
        okWithoutCa = buttons->button(QDialogButtonBox::Ok)->isEnabled();
        ca->setText(QString::fromStdString(tlsFile("ca.pem")));
        input::click(buttons->button(QDialogButtonBox::Ok));
    });
    poll.start();
    input::chooseByMouse(menu, securityEntry);
    t.runStarted();
    QVERIFY(!okWithoutCa); // verifying needs a CA file
    const app::SideSecurity kept = app::readSideSecurity(app::SettingsStore(*t.settings), 1);
    QCOMPARE(kept.connection.mode, Mode::VerifyIdentity);
    QCOMPARE(kept.connection.caFile, tlsFile("ca.pem"));
    QCOMPARE(t.settings->read(QStringLiteral("MySslMode")), QStringLiteral("VerifyIdentity"));
    QCOMPARE(t.settings->read(QStringLiteral("MyServer")), sandbox::serverProfile(1).server); // untouched

    input::click(ui.PushButton3);
    t.runStarted();
    QVERIFY(ui.Text1->toolTip().endsWith(QStringLiteral(", certificate verified")));
    QVERIFY(ui.Text1->toolTip().startsWith(QStringLiteral("Connection: TLS 1.")));

    // A CA that signed nothing of the server's: the box says why.
    app::SettingsStore store(*t.settings);
    app::SideSecurity wrong = kept;
    wrong.connection.caFile = tlsFile("other-ca.pem");
    app::writeSideSecurity(store, 1, wrong);
    input::click(ui.PushButton3);
    t.runStarted();
    const QString wrongCaReport = t.dialogs.texts().last();
    QVERIFY2(wrongCaReport.startsWith(QStringLiteral("Could not connect.")), qPrintable(wrongCaReport));
    QVERIFY2(wrongCaReport.contains(QStringLiteral("could not be verified")), qPrintable(wrongCaReport));
}

// Auto compresses once a login has found the server far; Off and On are kept as chosen.
void TlsTest::compressionFollowsTheSettingAndTheRoundTrip()
{
    ShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.form1));
    TestServices &t = w.t;
    connectwindow::Form1 &form1 = w.form1;
    Ui::Form1 &ui = form1.ui();
    sides::ConnectionProfile far = sandbox::serverProfile(1);
    SlowLink link(far.server, far.port.toInt(), std::chrono::milliseconds(4)); // an 8 ms round trip
    far.port = QString::number(link.port());
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, far);
    input::click(ui.PushButton3);
    t.runStarted();
    QCOMPARE(ui.Text1->toolTip(), QStringLiteral("Connection: TLS, not verified")); // measured by this login
    input::click(ui.PushButton3);
    t.runStarted();
    QCOMPARE(ui.Text1->toolTip(), QStringLiteral("Connection: TLS, not verified, compressed"));

    // Off, chosen in the dialog, holds however far the server is.
    input::rightClick(ui.Text1);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &form1, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        auto *compression = dialog->findChild<QComboBox *>(QStringLiteral("CompressionBox"));
        QTest::keyClick(compression, Qt::Key_Down); // Auto, then Off
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("Buttons"));
        input::click(buttons->button(QDialogButtonBox::Ok));
    });
    poll.start();
    input::chooseByMouse(menu, static_cast<int>(menu->actions().size()) - 1);
    t.runStarted();
    QCOMPARE(t.settings->read(QStringLiteral("MyCompression")), QStringLiteral("Off"));
    input::click(ui.PushButton3);
    t.runStarted();
    QCOMPARE(ui.Text1->toolTip(), QStringLiteral("Connection: TLS, not verified"));

    // On, for a server next door.
    app::SettingsStore store(*t.settings);
    app::SideSecurity on = app::readSideSecurity(store, 1);
    on.connection.compression = ConnectionSecurity::Compression::On;
    app::writeSideSecurity(store, 1, on);
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, sandbox::serverProfile(1));
    input::click(ui.PushButton3);
    t.runStarted();
    QCOMPARE(ui.Text1->toolTip(), QStringLiteral("Connection: TLS, not verified, compressed"));
    QVERIFY(link.bytesToClient() > 0 && link.bytesToServer() > 0);
    QCOMPARE(t.dialogs.texts().filter(QStringLiteral("Connection successful.")).size(), 4);
}

// A far server's TLS login is round trips long, through which the client library blocks the thread
// it runs on: the window keeps answering all the while.
void TlsTest::aFarLoginKeepsTheWindowAnswering()
{
    ShownWindow w(TestServices::Yield::ServeWindows);
    QVERIFY(QTest::qWaitForWindowExposed(&w.form1));
    Ui::Form1 &ui = w.form1.ui();
    sides::ConnectionProfile far = sandbox::serverProfile(1);
    SlowLink link(far.server, far.port.toInt(), std::chrono::milliseconds(150)); // a 300 ms round trip
    far.port = QString::number(link.port());
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, far);

    QElapsedTimer sinceTick;
    qint64 longest = 0;
    int ticks = 0;
    QTimer tick;
    tick.setInterval(10);
    connect(&tick, &QTimer::timeout, &w.form1, [&] {
        if (ticks++ > 0)
            longest = std::max(longest, sinceTick.restart());
        else
            sinceTick.start();
    });
    tick.start();
    QElapsedTimer took;
    took.start();
    input::click(ui.PushButton3);
    w.t.runStarted();
    tick.stop();
    QCOMPARE(w.t.dialogs.texts(), QStringList{QStringLiteral("Connection successful.")});
    QVERIFY(ui.Text1->toolTip().startsWith(QStringLiteral("Connection: TLS, not verified")));
    QVERIFY2(took.elapsed() > 600, qPrintable(QString::number(took.elapsed()))); // the link was far
    QVERIFY(ticks >= 8); // served every 50 ms or so
    qInfo("longest wait of the window: %lld ms", static_cast<long long>(longest));
    QVERIFY2(longest < 150, qPrintable(QStringLiteral("the window waited %1 ms").arg(longest)));
}

QTEST_MAIN(TlsTest)
#include "tst_tls.moc"
