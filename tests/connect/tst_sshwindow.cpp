// SSH tunnels as a person meets them in the windows: the "SSH Tunnel…" dialog from the Server
// box's menu, an unknown host key asked in the program's own box (Return trusts it, Escape logs in
// nowhere), the tunnel's state in the tooltip, and every copy and the compare through one SSH
// server and through a jump host in front of it.
#include "app/SettingsStore.h"
#include "app/SshSettings.h"
#include "connect/Form1.h"
#include "sides/SideTunnel.h"
#include "support/Input.h"
#include "support/ManagerWindow.h"
#include "support/ProgramBoxes.h"
#include "support/Sandbox.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using sandbox::Cell;
using sandbox::Rows;

namespace {

QString sshDir() { return qEnvironmentVariable("TABULINK_SSH_DIR"); }
int sshPort() { return qEnvironmentVariableIntValue("TABULINK_SSH_PORT"); }
int jumpPort() { return qEnvironmentVariableIntValue("TABULINK_SSH_JUMP_PORT"); }
QString sshUser() { return getuid() == 0 ? QStringLiteral("root") : qEnvironmentVariable("USER"); }

app::SideSsh keyLogin()
{
    app::SideSsh s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = QString::number(sshPort());
    s.user = sshUser();
    s.login = platform::SshRoute::Login::KeyFile;
    s.keyFile = sshDir() + QStringLiteral("/client_ed25519");
    return s;
}

// The action of a menu with that text, by its place.
int entryOf(QMenu *menu, const QString &text)
{
    for (int i = 0; i < menu->actions().size(); ++i)
        if (menu->actions()[i]->text() == text)
            return i;
    return -1;
}

// The side's tunnel as the connection window would make it from those settings, every host key trusted.
std::shared_ptr<sides::SideTunnel> tunnelFor(const app::SideSsh &ssh, const QString &knownHosts)
{
    auto tunnel = std::make_shared<sides::SideTunnel>();
    tunnel->confirmHostKey = [](const platform::SshHostKey &) { return true; };
    tunnel->choose(app::sshHops(ssh, {}, app::sshFiles(knownHosts)));
    return tunnel;
}

// The settings folder outlives a window within one run: the next window starts with no tunnel
// and no host key known.
void forgetTunnels(BoxedConnectionWindow &w)
{
    app::SettingsStore store(*w.t.settings);
    app::writeSideSsh(store, 1, {});
    app::writeSideSsh(store, 2, {});
    QFile::remove(QDir(w.t.settings->folder()).filePath(QStringLiteral("known_hosts")));
}

} // namespace

class SshWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void theDialogKeepsTheTunnelBesideTheLogin();
    void anUnknownHostKeyIsAskedInTheProgramsBox_data();
    void anUnknownHostKeyIsAskedInTheProgramsBox();
    void aSecretTheSideLacksIsAskedInABox_data();
    void aSecretTheSideLacksIsAskedInABox();
    void everyCopyAndTheCompareThroughOneHopAndTwo_data();
    void everyCopyAndTheCompareThroughOneHopAndTwo();

private:
    QTemporaryDir home_;
};

void SshWindowTest::initTestCase()
{
    if (sshDir().isEmpty() || jumpPort() == 0 || !QFileInfo::exists(sshDir() + QStringLiteral("/jump.pid")))
        QSKIP("The sandbox's OpenSSH servers are not running (scripts/sandbox.sh start).");
    // No ~/.ssh of the user running the tests is read or written.
    qputenv("HOME", home_.path().toLocal8Bit());
}

void SshWindowTest::theDialogKeepsTheTunnelBesideTheLogin()
{
    BoxedConnectionWindow w(sandbox::serverProfile(1));
    const auto forget = qScopeGuard([&] { forgetTunnels(w); });
    BoxAnswers answers;
    Ui::Form1 &ui = w.form.ui();
    input::rightClick(ui.Text1);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    const int entry = entryOf(menu, connectwindow::SshTunnelEntry);
    QVERIFY(entry >= 0);
    bool okWithoutHost = true;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &w.form, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QStringLiteral("SshDialog1") || !dialog->isVisible())
            return;
        poll.stop();
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("Buttons"));
        input::pressSpace(dialog->findChild<QCheckBox *>(QStringLiteral("UseTunnel")));
        okWithoutHost = buttons->button(QDialogButtonBox::Ok)->isEnabled();
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("SshHost")), QStringLiteral("127.0.0.1"));
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("SshPort")), QString::number(sshPort()));
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("SshUser")), sshUser());
        dialog->findChild<QComboBox *>(QStringLiteral("LoginBox"))->setCurrentIndex(1);
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("KeyFile")), sshDir() + QStringLiteral("/client_rsa"));
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("Secret")), QStringLiteral("sandbox-key-pass"));
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("Jumps")),
                         sshUser() + QStringLiteral("@127.0.0.1:") + QString::number(jumpPort()));
        input::click(buttons->button(QDialogButtonBox::Ok));
    });
    poll.start();
    input::chooseByMouse(menu, entry);
    w.t.runStarted();
    QVERIFY(!okWithoutHost); // a tunnel needs its server

    // Kept under keys of their own; the login's own untouched.
    platform::SettingsBackend &settings = *w.t.settings;
    QCOMPARE(settings.read(QStringLiteral("MySshTunnel")), QStringLiteral("1"));
    QCOMPARE(settings.read(QStringLiteral("MySshHost")), QStringLiteral("127.0.0.1"));
    QCOMPARE(settings.read(QStringLiteral("MySshLogin")), QStringLiteral("KeyFile"));
    QCOMPARE(settings.read(QStringLiteral("MySshSecret")), QStringLiteral("sandbox-key-pass"));
    QCOMPARE(settings.read(QStringLiteral("MySshTunnel2")).value_or(QStringLiteral("0")), QStringLiteral("0"));
    QCOMPARE(settings.read(QStringLiteral("MyServer")), sandbox::serverProfile(1).server);

    // Test Connection goes through both SSH servers: two host keys asked (Return to each), then it works.
    w.testConnection();
    QTRY_VERIFY(answers.texts.size() >= 3);
    QVERIFY2(answers.texts[0].contains(QStringLiteral("]:%1 is not known yet").arg(jumpPort())), qPrintable(answers.texts[0]));
    QVERIFY2(answers.texts[1].contains(QStringLiteral("]:%1 is not known yet").arg(sshPort())), qPrintable(answers.texts[1]));
    QCOMPARE(answers.texts[2], QStringLiteral("Connection successful."));
    const QString tip = ui.Text1->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("SSH through ")) && tip.contains(QStringLiteral(" → ")), qPrintable(tip));
    QVERIFY2(tip.startsWith(QStringLiteral("Connection: ")), qPrintable(tip));

    // Known now: the next test asks nothing more.
    w.testConnection();
    QTRY_COMPARE(answers.texts.size(), qsizetype(4));
    QCOMPARE(answers.texts[3], QStringLiteral("Connection successful."));
}

void SshWindowTest::anUnknownHostKeyIsAskedInTheProgramsBox_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return trusts it") << int(Qt::Key_Return);
    QTest::newRow("Escape logs in nowhere") << int(Qt::Key_Escape);
}

void SshWindowTest::anUnknownHostKeyIsAskedInTheProgramsBox()
{
    QFETCH(int, key);
    BoxedConnectionWindow w(sandbox::serverProfile(1));
    const auto forget = qScopeGuard([&] { forgetTunnels(w); });
    app::SettingsStore store(*w.t.settings);
    app::writeSideSsh(store, 1, keyLogin());
    QFile known(QDir(w.t.settings->folder()).filePath(QStringLiteral("known_hosts")));
    BoxAnswers answers;
    answers.keys = {key};
    w.testConnection();
    QTRY_VERIFY2(answers.texts.size() == 2, qPrintable(answers.texts.join(u'|')));
    QVERIFY2(answers.texts[0].contains(QStringLiteral("is not known yet")), qPrintable(answers.texts[0]));
    QVERIFY2(answers.texts[0].contains(QStringLiteral("SHA256:")), qPrintable(answers.texts[0]));
    if (key == Qt::Key_Return) {
        QCOMPARE(answers.texts[1], QStringLiteral("Connection successful."));
        QVERIFY(known.open(QIODevice::ReadOnly));
        QVERIFY(known.readAll().startsWith(QByteArray("[127.0.0.1]:" + QByteArray::number(sshPort()) + " ")));
        QVERIFY2(w.form.ui().Text1->toolTip().contains(QStringLiteral("SSH through ")), qPrintable(w.form.ui().Text1->toolTip()));
    } else {
        QVERIFY2(answers.texts[1].contains(QStringLiteral("is not trusted: nothing was sent to it")), qPrintable(answers.texts[1]));
        QVERIFY(!known.exists() || known.size() == 0);
        QVERIFY2(w.form.ui().Text1->toolTip().contains(QStringLiteral("is not trusted")), qPrintable(w.form.ui().Text1->toolTip()));
    }
}

void SshWindowTest::aSecretTheSideLacksIsAskedInABox_data()
{
    QTest::addColumn<bool>("password");
    QTest::newRow("a key file's passphrase") << false;
    QTest::newRow("an SSH password") << true;
}

void SshWindowTest::aSecretTheSideLacksIsAskedInABox()
{
    QFETCH(bool, password);
    if (password && !QFileInfo::exists(sshDir() + QStringLiteral("/pass.pid")))
        QSKIP("The sandbox's SSH password server could not start here (no mount namespace).");
    BoxedConnectionWindow w(sandbox::serverProfile(1));
    const auto forget = qScopeGuard([&] { forgetTunnels(w); });
    app::SideSsh ssh = keyLogin();
    QString right = QStringLiteral("sandbox-key-pass");
    if (password) {
        ssh.port = qEnvironmentVariable("TABULINK_SSH_PASSWORD_PORT");
        ssh.login = platform::SshRoute::Login::Password;
        ssh.keyFile.clear();
        right = qEnvironmentVariable("TABULINK_SSH_PASSWORD");
    } else {
        ssh.keyFile = sshDir() + QStringLiteral("/client_rsa");
    }
    app::SettingsStore store(*w.t.settings);
    app::writeSideSsh(store, 1, ssh);

    const QString asked = password ? QStringLiteral("The password of ") : QStringLiteral("The passphrase of the key file ");
    {
        // The host key (Return), then Escape where the secret is asked: in nowhere, and said why.
        BoxAnswers refused;
        refused.keys = {Qt::Key_Return, Qt::Key_Escape};
        w.testConnection();
        QTRY_VERIFY2(refused.texts.size() == 3, qPrintable(refused.texts.join(u'|')));
        QVERIFY2(refused.texts[0].contains(QStringLiteral("is not known yet")), qPrintable(refused.texts[0]));
        QVERIFY2(refused.texts[1].startsWith(asked), qPrintable(refused.texts[1]));
        QVERIFY2(refused.texts[2].contains(QStringLiteral("and none was given")), qPrintable(refused.texts[2]));
    }
    {
        // Asked again by the next login: a wrong answer, then the right one: in.
        BoxAnswers answers;
        answers.typed = {QStringLiteral("not it"), right};
        w.testConnection();
        QTRY_VERIFY2(answers.texts.size() == 3, qPrintable(answers.texts.join(u'|')));
        QVERIFY2(answers.texts[0].startsWith(asked), qPrintable(answers.texts[0]));
        QVERIFY2(answers.texts[1].startsWith(QStringLiteral("That did not let you in. ") + asked), qPrintable(answers.texts[1]));
        QCOMPARE(answers.texts[2], QStringLiteral("Connection successful."));
        // Kept while the window lives, not written anywhere.
        w.testConnection();
        QTRY_COMPARE(answers.texts.size(), qsizetype(4));
        QCOMPARE(answers.texts[3], QStringLiteral("Connection successful."));
    }
    QVERIFY(w.t.settings->read(QStringLiteral("MySshSecret")).value_or(QString()).isEmpty());
}

void SshWindowTest::everyCopyAndTheCompareThroughOneHopAndTwo_data()
{
    QTest::addColumn<bool>("jump");
    QTest::newRow("one SSH server") << false;
    QTest::newRow("through a jump host") << true;
}

void SshWindowTest::everyCopyAndTheCompareThroughOneHopAndTwo()
{
    QFETCH(bool, jump);
    ManagerWindow w(jump ? QStringLiteral("sshtwo") : QStringLiteral("sshone"));
    w.one.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(40))");
    w.one.exec("INSERT INTO t SELECT seq, CONCAT('row ', seq) FROM seq_1_to_5000");
    app::SideSsh ssh = keyLogin();
    if (jump)
        ssh.jumps = QStringLiteral("127.0.0.1:") + QString::number(jumpPort());
    // #2 only through the tunnel.
    const auto tunnel = tunnelFor(ssh, home_.filePath(jump ? QStringLiteral("known2") : QStringLiteral("known1")));
    w.profiles = ProfilesFrom([&, base = sandbox::sidesOn(w.one, w.two)](int side) {
        sides::ConnectionProfile p = base.profile(side);
        if (side == 2)
            p.tunnel = tunnel;
        return p;
    });
    w.show({QStringLiteral("t")}, {});
    for (int entry : {0, 1, 2}) { // Send Table(s), Send Complete Table(s), Compare
        input::rightClick(w.form->ui().List1, QPoint(10, 10));
        QMenu *menu = input::openMenu();
        QVERIFY(menu);
        input::chooseByKeys(menu, entry);
        w.t.runStarted();
        if (entry < 2)
            QVERIFY2(w.two.query("SELECT COUNT(*), SUM(id), MAX(v) FROM t")
                         == (Rows{{Cell("5000"), Cell("12502500"), Cell("row 999")}}),
                     qPrintable(w.t.dialogs.texts().join(u'\n') + w.log()));
    }
    const QString said = w.t.dialogs.texts().join(u'\n');
    QVERIFY2(said.contains(QStringLiteral("t: same")) || w.log().contains(QStringLiteral("t: same")), qPrintable(said + w.log()));
    QVERIFY(tunnel->state().startsWith(QStringLiteral("SSH through ")));
    QCOMPARE(tunnel->state().count(QStringLiteral("SSH through")), jump ? 2 : 1);
}

QTEST_MAIN(SshWindowTest)
#include "tst_sshwindow.moc"
