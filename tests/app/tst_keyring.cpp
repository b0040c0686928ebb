// Passwords in the desktop's keyring, for a side that asks for it: against a real Secret Service
// (gnome-keyring in a D-Bus session of the test's own, started by with-keyring.sh), and with no
// keyring at all, where the user is told once and the password stays in the settings file.
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "connect/Form1.h"
#include "platform/QtKeychainKeyring.h"
#include "support/Input.h"
#include "support/TestServices.h"
#include "ui_Form1.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QtTest>

using connectwindow::Form1;

namespace {

// Opens side #1's Connection Security from the Server box's menu and sets the keyring box.
void chooseKeyring(TestServices &t, Form1 &form, bool on)
{
    input::rightClick(form.ui().Text1);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        dialog->findChild<QCheckBox *>(QStringLiteral("KeyringBox"))->setChecked(on);
        input::click(dialog->findChild<QDialogButtonBox *>(QStringLiteral("Buttons"))->button(QDialogButtonBox::Ok));
    });
    poll.start();
    input::chooseByMouse(menu, static_cast<int>(menu->actions().size()) - 1);
    t.runStarted();
}

QString inKeyring(const QString &key)
{
    platform::QtKeychainKeyring keyring;
    QString secret;
    QString why;
    return keyring.read(key, secret, why) == platform::Keyring::Result::Done ? secret : QStringLiteral("<none>");
}

// A secret as the Secret Service passes it: (session, parameters, value, content type).
struct Secret {
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};
} // namespace
Q_DECLARE_METATYPE(Secret)
namespace {
QDBusArgument &operator<<(QDBusArgument &a, const Secret &s)
{
    a.beginStructure();
    a << s.session << s.parameters << s.value << s.contentType;
    a.endStructure();
    return a;
}
const QDBusArgument &operator>>(const QDBusArgument &a, Secret &s)
{
    a.beginStructure();
    a >> s.session >> s.parameters >> s.value >> s.contentType;
    a.endStructure();
    return a;
}

QDBusMessage secretService(const QString &path, const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"), path, interface, method);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 20000);
}

// The Secret Service's keyring locked, as after a screen lock or before the first unlock of the
// day; and unlocked again with its password, as the desktop's own unlock does (no prompt here).
bool lockKeyring(bool locked)
{
    const QDBusObjectPath login(QStringLiteral("/org/freedesktop/secrets/collection/login"));
    const QString service = QStringLiteral("org.freedesktop.Secret.Service");
    if (locked) {
        const QDBusMessage r = secretService(QStringLiteral("/org/freedesktop/secrets"), service, QStringLiteral("Lock"),
                                             {QVariant::fromValue(QList<QDBusObjectPath>{login})});
        return r.type() == QDBusMessage::ReplyMessage;
    }
    qDBusRegisterMetaType<Secret>();
    const QDBusMessage opened = secretService(QStringLiteral("/org/freedesktop/secrets"), service, QStringLiteral("OpenSession"),
                                              {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))});
    if (opened.type() != QDBusMessage::ReplyMessage || opened.arguments().size() != 2)
        return false;
    const Secret password{opened.arguments().at(1).value<QDBusObjectPath>(), {}, "tabulink-test", QStringLiteral("text/plain")};
    const QDBusMessage r = secretService(QStringLiteral("/org/freedesktop/secrets"),
                                         QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"),
                                         QStringLiteral("UnlockWithMasterPassword"),
                                         {QVariant::fromValue(login), QVariant::fromValue(password)});
    if (r.type() != QDBusMessage::ReplyMessage)
        qWarning("%s", qPrintable(r.errorMessage()));
    return r.type() == QDBusMessage::ReplyMessage;
}

} // namespace

class KeyringTest : public QObject {
    Q_OBJECT
private slots:
    void passwordLivesInTheKeyringNotTheFile();
    void withoutAKeyringTheUserIsToldOnce();
    void aLockedKeyringKeepsTheChoiceAndTheSecret();
};

void KeyringTest::passwordLivesInTheKeyringNotTheFile()
{
    if (qEnvironmentVariableIsEmpty("TABULINK_KEYRING_SESSION"))
        QSKIP("needs the keyring session of with-keyring.sh");
    QTemporaryDir home; // outlives both runs of the program
    const QString configHome = home.path();
    {
        TestServices t(configHome);
        Form1 form(t.services, tableswindow::Form2::factory(t.services));
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClicks(form.ui().Text3, QStringLiteral("s3cret;pw"));
        QCOMPARE(t.settings->read(QStringLiteral("MyPassword")), QStringLiteral("s3cret;pw")); // as described, first
        t.settings->write(QStringLiteral("MySshSecret"), QStringLiteral("key-pass")); // the SSH key's passphrase
        chooseKeyring(t, form, true);
        QVERIFY2(t.dialogs.messages.empty(), qPrintable(t.dialogs.texts().join(u'\n')));
        QVERIFY(t.settings->read(QStringLiteral("MyPassword")).value_or(QString()).isEmpty());
        QCOMPARE(inKeyring(QStringLiteral("MyPassword")), QStringLiteral("s3cret;pw"));
        // The passphrase goes where the password goes.
        QVERIFY(t.settings->read(QStringLiteral("MySshSecret")).value_or(QString()).isEmpty());
        QCOMPARE(inKeyring(QStringLiteral("MySshSecret")), QStringLiteral("key-pass"));
        // Typing goes on into the keyring; the file keeps nothing.
        QTest::keyClicks(form.ui().Text3, QStringLiteral("!"));
        QTRY_COMPARE(inKeyring(QStringLiteral("MyPassword")), QStringLiteral("s3cret;pw!"));
        QVERIFY(t.settings->read(QStringLiteral("MyPassword")).value_or(QString()).isEmpty());
        QFile ini(configHome + QStringLiteral("/Quillmarsh/Quillmarsh.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("s3cret"));
    }
    {
        // The next start finds it there.
        TestServices t(configHome);
        Form1 form(t.services, tableswindow::Form2::factory(t.services));
        form.Form_Load();
        QVERIFY2(t.dialogs.messages.empty(), qPrintable(t.dialogs.texts().join(u'\n')));
        QCOMPARE(form.ui().Text3->text(), QStringLiteral("s3cret;pw!"));
        // Back into the settings file, and out of the keyring.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        chooseKeyring(t, form, false);
        QCOMPARE(t.settings->read(QStringLiteral("MyPassword")), QStringLiteral("s3cret;pw!"));
        QCOMPARE(inKeyring(QStringLiteral("MyPassword")), QStringLiteral("<none>"));
        QCOMPARE(t.settings->read(QStringLiteral("MySshSecret")), QStringLiteral("key-pass"));
        QCOMPARE(inKeyring(QStringLiteral("MySshSecret")), QStringLiteral("<none>"));
    }
}

void KeyringTest::withoutAKeyringTheUserIsToldOnce()
{
    if (!qEnvironmentVariableIsEmpty("TABULINK_KEYRING_SESSION"))
        QSKIP("runs where no keyring answers");
    TestServices t;
    Form1 form(t.services, tableswindow::Form2::factory(t.services));
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(form.ui().Text3, QStringLiteral("pw"));
    chooseKeyring(t, form, true);
    QCOMPARE(t.dialogs.messages.size(), size_t(1));
    QVERIFY2(t.dialogs.messages[0].text.startsWith(QStringLiteral("No system keyring answered")),
             qPrintable(t.dialogs.messages[0].text));
    QVERIFY(!app::readSideSecurity(app::SettingsStore(*t.settings), 1).passwordInKeyring);
    QCOMPARE(t.settings->read(QStringLiteral("MyPassword")), QStringLiteral("pw"));
    // Asked again, no second box.
    chooseKeyring(t, form, true);
    QCOMPARE(t.dialogs.messages.size(), size_t(1));
    QCOMPARE(t.settings->read(QStringLiteral("MyPassword")), QStringLiteral("pw"));
}

void KeyringTest::aLockedKeyringKeepsTheChoiceAndTheSecret()
{
    if (qEnvironmentVariableIsEmpty("TABULINK_KEYRING_SESSION"))
        QSKIP("needs the keyring session of with-keyring.sh");
    QTemporaryDir home;
    {
        TestServices t(home.path());
        Form1 form(t.services, tableswindow::Form2::factory(t.services));
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClicks(form.ui().Text3, QStringLiteral("kept-pw"));
        chooseKeyring(t, form, true);
        QCOMPARE(inKeyring(QStringLiteral("MyPassword")), QStringLiteral("kept-pw"));
    }
    QVERIFY(lockKeyring(true));
    QString iniName;
    {
        // The next start finds it locked: one box, the choice kept, the file still without it.
        TestServices t(home.path());
        Form1 form(t.services, tableswindow::Form2::factory(t.services));
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(t.dialogs.messages.size(), size_t(1));
        QVERIFY2(t.dialogs.messages[0].text.startsWith(QStringLiteral("The system keyring could not be reached")),
                 qPrintable(t.dialogs.messages[0].text));
        QVERIFY(app::readSideSecurity(app::SettingsStore(*t.settings), 1).passwordInKeyring);
        // What is typed now goes nowhere near the file, and no second box.
        QTest::keyClicks(form.ui().Text3, QStringLiteral("typed"));
        QCOMPARE(t.dialogs.messages.size(), size_t(1));
        QVERIFY(t.settings->read(QStringLiteral("MyPassword")).value_or(QString()).isEmpty());
        iniName = t.settings->fileName();
    }
    QFile ini(iniName);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray file = ini.readAll();
    QVERIFY(file.contains("MyPassword") && !file.contains("kept-pw") && !file.contains("typed"));
    // Unlocked again, the stored secret is still there, and the next start reads it.
    QVERIFY(lockKeyring(false));
    QCOMPARE(inKeyring(QStringLiteral("MyPassword")), QStringLiteral("kept-pw"));
    TestServices t(home.path());
    Form1 form(t.services, tableswindow::Form2::factory(t.services));
    form.Form_Load();
    QVERIFY2(t.dialogs.messages.empty(), qPrintable(t.dialogs.texts().join(u'\n')));
    QCOMPARE(form.ui().Text3->text(), QStringLiteral("kept-pw"));
}

QTEST_MAIN(KeyringTest)
#include "tst_keyring.moc"
