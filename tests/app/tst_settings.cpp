// The remembered logins: defaults, write-back, every keystroke, restarts and the file's privacy.
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "app/SshSettings.h"
#include "connect/Form1.h"
#include "platform/QSettingsBackend.h"
#include "support/TestServices.h"
#include "ui_Form1.h"

#include <QFile>
#include <QtTest>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableswindow;
using namespace transfer;

namespace {

// Counts the writes that reach the real settings file.
class CountingBackend : public platform::SettingsBackend {
public:
    explicit CountingBackend(platform::SettingsBackend &inner) : inner_(inner) {}
    std::optional<QString> read(const QString &key) override { return inner_.read(key); }
    void write(const QString &key, const QString &value) override
    {
        writes << key + u'=' + value;
        inner_.write(key, value);
    }
    QStringList writes;

private:
    platform::SettingsBackend &inner_;
};

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanStoreShowsDefaultsAndKeepsThem();
    void clearedFieldStaysEmptyAfterRestart();
    void everyKeystrokeIsWritten();
    void oddValuesComeBackUnchanged();
    void fileIsPrivateToItsOwner();
    void missingKeyReadsAsTheDefault();
    void namedChoicesReadInAnyCaseAndUnknownOnesAsTheDefault();
};

void SettingsTest::cleanStoreShowsDefaultsAndKeepsThem()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.Form_Load();
    Ui::Form1 &ui = form.ui();
    QCOMPARE(ui.Text1->text(), QStringLiteral("localhost"));
    QCOMPARE(ui.Text5->text(), QStringLiteral("localhost"));
    QCOMPARE(ui.Text9->text(), QStringLiteral("3306"));
    QCOMPARE(ui.Text10->text(), QStringLiteral("3306"));
    for (QLineEdit *e : {ui.Text2, ui.Text3, ui.Text4, ui.Text6, ui.Text7, ui.Text8})
        QVERIFY(e->text().isEmpty());

    platform::QSettingsBackend reread(QStringLiteral("Quillmarsh"), QStringLiteral("Tabulink"));
    QCOMPARE(reread.read(QStringLiteral("MyServer")), std::optional<QString>(QStringLiteral("localhost")));
    QCOMPARE(reread.read(QStringLiteral("MyServer2")), std::optional<QString>(QStringLiteral("localhost")));
    QCOMPARE(reread.read(QStringLiteral("MyPort")), std::optional<QString>(QStringLiteral("3306")));
    QCOMPARE(reread.read(QStringLiteral("MyPort2")), std::optional<QString>(QStringLiteral("3306")));
    QCOMPARE(reread.read(QStringLiteral("MyUser")), std::nullopt);
    QCOMPARE(reread.read(QStringLiteral("MyPassword2")), std::nullopt);
    QVERIFY(t.dialogs.messages.empty());
}

void SettingsTest::clearedFieldStaysEmptyAfterRestart()
{
    TestServices first;
    {
        Form1 form(first.services, Form2::factory(first.services));
        form.Form_Load();
        form.ui().Text1->clear();
        form.ui().Text10->setText(QStringLiteral("3310"));
        form.ui().Text7->setText(QStringLiteral("hunter2"));
    }
    TestServices second(first.configHome());
    Form1 again(second.services, Form2::factory(second.services));
    again.Form_Load();
    QCOMPARE(again.ui().Text1->text(), QString());
    QCOMPARE(again.ui().Text10->text(), QStringLiteral("3310"));
    QCOMPARE(again.ui().Text7->text(), QStringLiteral("hunter2"));
}

void SettingsTest::everyKeystrokeIsWritten()
{
    TestServices t;
    CountingBackend counting(*t.settings);
    app::Services services = t.services;
    // Services refers to its backend; build one over the counting wrapper.
    app::Services countingServices{services.dialogs, services.clipboard, services.shell,
                                   services.yield,   services.random,    counting,
                                   services.lock,    services.keyring,   services.programFolder,
                                   services.endProgram};
    Form1 form(countingServices, Form2::factory(countingServices));
    form.show();
    counting.writes.clear();
    form.ui().Text2->setFocus();
    QTest::keyClicks(form.ui().Text2, QStringLiteral("bob"));
    QCOMPARE(counting.writes,
             (QStringList{QStringLiteral("MyUser=b"), QStringLiteral("MyUser=bo"), QStringLiteral("MyUser=bob")}));
}

void SettingsTest::oddValuesComeBackUnchanged()
{
    TestServices first;
    const QStringList odd{QStringLiteral(" 33 06 "), QStringLiteral("a,b;c"), QStringLiteral("@@x"),
                          QStringLiteral("p;a{ss}w0rd"), QStringLiteral("Zoë 🦊"), QStringLiteral("\"quoted\"")};
    for (const QString &value : odd) {
        {
            Form1 form(first.services, Form2::factory(first.services));
            form.ui().Text9->setText(value);
            form.ui().Text3->setText(value);
        }
        TestServices second(first.configHome());
        Form1 again(second.services, Form2::factory(second.services));
        again.Form_Load();
        QCOMPARE(again.ui().Text9->text(), value);
        QCOMPARE(again.ui().Text3->text(), value);
    }
}

void SettingsTest::fileIsPrivateToItsOwner()
{
    TestServices t;
    SettingsStore(*t.settings).write(QStringLiteral("MyPassword"), QStringLiteral("secret"));
    QFile file(t.settings->fileName());
    QVERIFY(file.exists());
    QCOMPARE(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup
                                   | QFileDevice::WriteOther),
             QFileDevice::Permissions());
    QVERIFY(file.permissions() & QFileDevice::ReadOwner);
}

void SettingsTest::missingKeyReadsAsTheDefault()
{
    TestServices t;
    SettingsStore store(*t.settings);
    QCOMPARE(store.read(QStringLiteral("MyDatabase"), QStringLiteral("fallback")), QStringLiteral("fallback"));
    store.write(QStringLiteral("MyDatabase"), QString());
    QCOMPARE(store.read(QStringLiteral("MyDatabase"), QStringLiteral("fallback")), QString());
}

QTEST_MAIN(SettingsTest)
void SettingsTest::namedChoicesReadInAnyCaseAndUnknownOnesAsTheDefault()
{
    TestServices t;
    SettingsStore store(*t.settings);
    using Mode = platform::ConnectionSecurity::Mode;
    using Compression = platform::ConnectionSecurity::Compression;
    using Login = platform::SshRoute::Login;
    // A file edited by hand: names in another case, and ones this version does not know.
    t.settings->write(QStringLiteral("MySslMode"), QStringLiteral("verifyca"));
    t.settings->write(QStringLiteral("MyCompression"), QStringLiteral("ON"));
    t.settings->write(QStringLiteral("MySshLogin"), QStringLiteral("password"));
    t.settings->write(QStringLiteral("MySslMode2"), QStringLiteral("Paranoid"));
    t.settings->write(QStringLiteral("MyCompression2"), QStringLiteral("zstd"));
    t.settings->write(QStringLiteral("MySshLogin2"), QStringLiteral("Kerberos"));
    QCOMPARE(readSideSecurity(store, 1).connection.mode, Mode::VerifyCa);
    QCOMPARE(readSideSecurity(store, 1).connection.compression, Compression::On);
    QCOMPARE(readSideSsh(store, 1).login, Login::Password);
    QCOMPARE(readSideSecurity(store, 2).connection.mode, Mode::Prefer);
    QCOMPARE(readSideSecurity(store, 2).connection.compression, Compression::Auto);
    QCOMPARE(readSideSsh(store, 2).login, Login::Agent);
    // Written back in the names the program uses.
    writeSideSecurity(store, 1, readSideSecurity(store, 1));
    writeSideSsh(store, 1, readSideSsh(store, 1));
    QCOMPARE(t.settings->read(QStringLiteral("MySslMode")), std::optional<QString>(QStringLiteral("VerifyCA")));
    QCOMPARE(t.settings->read(QStringLiteral("MyCompression")), std::optional<QString>(QStringLiteral("On")));
    QCOMPARE(t.settings->read(QStringLiteral("MySshLogin")), std::optional<QString>(QStringLiteral("Password")));
}

#include "tst_settings.moc"
