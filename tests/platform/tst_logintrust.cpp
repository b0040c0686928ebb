// The password goes only to the server the user trusts. A man in the middle that hides the
// server's TLS, or ends TLS itself with a certificate of its own, learns nothing secret: a login
// that requires TLS sends nothing to a server without it, a server's first certificate is
// remembered and any other refused before anything secret goes, and a first login that must
// send the password itself asks the user first, in a box answered by keys.
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "connect/Form1.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/LoginTrust.h"
#include "platform/QtDialogs.h"
#include "support/Input.h"
#include "support/ProgramBoxes.h"
#include "support/LyingServer.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "support/TlsImpostor.h"
#include "ui_Form1.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QtTest>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>

using sandbox::ScratchDatabase;
using Mode = platform::ConnectionSecurity::Mode;

namespace {

std::string tlsFile(const char *name)
{
    return QString(qEnvironmentVariable("TABULINK_TLS_DIR") + u'/' + QLatin1String(name)).toStdString();
}

// What a login got: the error's text, empty when it logged in.
std::string logIn(const sides::ConnectionProfile &p, platform::TlsState *state = nullptr)
{
    try {
        platform::Connection c;
        sides::openConnection(c, p);
        if (state)
            *state = c.tlsState();
        return {};
    } catch (const std::exception &e) {
        return std::string("refused: ") + e.what();
    }
}

// The connection window with the program's own boxes, side #1 typed in to reach port.
struct Window : BoxedConnectionWindow {
    Window(const ScratchDatabase &one, int port) : BoxedConnectionWindow(withPort(one.profile(), port)) {}
    static sides::ConnectionProfile withPort(sides::ConnectionProfile p, int port)
    {
        p.port = QString::number(port);
        return p;
    }
};

} // namespace

class LoginTrustTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void requiredTlsSendsNothingToAServerWithoutIt_data();
    void requiredTlsSendsNothingToAServerWithoutIt();
    void aKeyFileIsUsedAndTheServersKeyNeverAskedFor();
    void theFirstCertificateIsRememberedAndAnotherRefused();
    void aNewCertificateIsTrustedOnlyWhenTheUserSaysSo();
    void aChangedCertificateIsRefusedUntilForgotten();
};

void LoginTrustTest::initTestCase()
{
    if (qEnvironmentVariable("TABULINK_TLS_DIR").isEmpty())
        QFAIL("TABULINK_TLS_DIR is not set: run the tests through scripts/test.sh");
}

void LoginTrustTest::requiredTlsSendsNothingToAServerWithoutIt_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("remembered");
    QTest::newRow("Require") << int(Mode::Require) << false;
    QTest::newRow("Verify CA") << int(Mode::VerifyCa) << false;
    QTest::newRow("Verify identity") << int(Mode::VerifyIdentity) << false;
    QTest::newRow("Prefer, certificate remembered") << int(Mode::Prefer) << true;
}

void LoginTrustTest::requiredTlsSendsNothingToAServerWithoutIt()
{
    QFETCH(int, mode);
    QFETCH(bool, remembered);
    ScratchDatabase one(1, QStringLiteral("trust"));
    LyingServer liar(one.profile().server, one.profile().port.toInt()); // takes the TLS out of the greeting
    for (const char *plugin : {"", "caching_sha2_password", "mysql_clear_password"}) {
        liar.askToSwitchTo(plugin);
        sides::ConnectionProfile p = one.profile();
        p.port = QString::number(liar.port());
        p.security.mode = static_cast<Mode>(mode);
        p.security.caFile = tlsFile("ca.pem");
        if (remembered)
            p.security.rememberedCertificate = fingerprintOf(tlsFile("server.pem"));
        const std::string said = logIn(p);
        QVERIFY2(said.find("offers no TLS") != std::string::npos, said.c_str());
        QCOMPARE(liar.loginsHeard(), 0); // not even the user's name
    }
    // Verify CA without a CA file would take any certificate: refused before it connects.
    sides::ConnectionProfile p = one.profile();
    p.security.mode = Mode::VerifyCa;
    const std::string said = logIn(p);
    QVERIFY2(said.find("no CA file is given") != std::string::npos, said.c_str());
}

void LoginTrustTest::aKeyFileIsUsedAndTheServersKeyNeverAskedFor()
{
    ScratchDatabase one(1, QStringLiteral("trust"));
    LyingServer liar(one.profile().server, one.profile().port.toInt());
    liar.askToSwitchTo("caching_sha2_password");
    // The server's public key, as a user would have saved it, from the sandbox's key pair.
    FILE *f = std::fopen(tlsFile("server-key.pem").c_str(), "r");
    QVERIFY(f);
    EVP_PKEY *key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    QVERIFY(key);
    QTemporaryDir dir;
    const std::string publicFile = dir.filePath(QStringLiteral("server-public.pem")).toStdString();
    FILE *out = std::fopen(publicFile.c_str(), "w");
    PEM_write_PUBKEY(out, key);
    std::fclose(out);

    sides::ConnectionProfile p = one.profile();
    p.port = QString::number(liar.port());
    p.security.serverPublicKeyFile = publicFile;
    const std::string said = logIn(p);
    QVERIFY2(said.find("Access denied") != std::string::npos, said.c_str()); // the liar's own answer
    // What went is the password sealed with that key, nothing in clear, no request for a key.
    const std::string sealed = liar.answers();
    QCOMPARE(sealed.size(), size_t(256));
    QVERIFY(sealed.find(p.password.toStdString()) == std::string::npos);
    EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new(key, nullptr);
    QVERIFY(EVP_PKEY_decrypt_init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) > 0);
    unsigned char plain[512];
    size_t length = sizeof plain;
    QVERIFY(EVP_PKEY_decrypt(ctx, plain, &length, reinterpret_cast<const unsigned char *>(sealed.data()), sealed.size()) > 0);
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(key);
    std::string password;
    for (size_t i = 0; i < length; ++i)
        password += static_cast<char>(plain[i] ^ 'x'); // the liar's scramble is twenty x's
    QCOMPARE(QString::fromStdString(password), p.password + QChar(0));
}

void LoginTrustTest::theFirstCertificateIsRememberedAndAnotherRefused()
{
    ScratchDatabase one(1, QStringLiteral("trust"));
    const std::string real = fingerprintOf(tlsFile("server.pem"));
    QVERIFY(!real.empty());
    {
        // Through the window: the first login remembers it, silently (MariaDB's login sends no password).
        Window w(one, one.profile().port.toInt());
        BoxAnswers answers;
        w.testConnection();
        QCOMPARE(answers.texts, QStringList{QStringLiteral("Connection successful.")});
        QCOMPARE(w.remembered().server, QStringLiteral("127.0.0.1:") + one.profile().port);
        QCOMPARE(w.remembered().fingerprint.toStdString(), real);
        // And the next login checks it.
        w.testConnection();
        QCOMPARE(answers.texts.size(), 2);
        QCOMPARE(answers.texts[1], QStringLiteral("Connection successful."));
    }
    sides::ConnectionProfile p = one.profile();
    p.security.rememberedCertificate = real;
    platform::TlsState state;
    QCOMPARE(logIn(p, &state), std::string());
    QCOMPARE(state.certificate, real);
    p.security.rememberedCertificate = fingerprintOf(tlsFile("client.pem"));
    const std::string said = logIn(p);
    QVERIFY2(said.find("is not the one remembered") != std::string::npos, said.c_str());
    QVERIFY2(said.find(p.security.rememberedCertificate) != std::string::npos, said.c_str());
    QVERIFY2(said.find("Offered now: " + real) != std::string::npos, said.c_str());
}

void LoginTrustTest::aNewCertificateIsTrustedOnlyWhenTheUserSaysSo()
{
    ScratchDatabase one(1, QStringLiteral("trust"));
    TlsImpostor impostor(tlsFile("client.pem"), tlsFile("client-key.pem"));
    const std::string theirs = fingerprintOf(tlsFile("client.pem"));
    Window w(one, impostor.port());
    {
        BoxAnswers answers;
        answers.keys = {Qt::Key_Escape, Qt::Key_Return};
        w.testConnection();
        QVERIFY2(answers.texts.size() == 2, qPrintable(answers.texts.join(u'|')));
        QVERIFY2(answers.texts[0].contains(QString::fromStdString(theirs)), qPrintable(answers.texts[0]));
        QVERIFY2(answers.texts[0].contains(QStringLiteral("127.0.0.1:") + QString::number(impostor.port())),
                 qPrintable(answers.texts[0]));
        QVERIFY2(answers.texts[1].startsWith(QStringLiteral("Could not connect")), qPrintable(answers.texts[1]));
        QCOMPARE(impostor.loginsHeard(), 1);
        QCOMPARE(impostor.passwords(), std::string()); // No: nothing went
        QVERIFY(w.remembered().fingerprint.isEmpty());
    }
    {
        BoxAnswers answers; // Return: Yes, then OK
        w.testConnection();
        QCOMPARE(answers.texts.size(), 2);
        QCOMPARE(answers.texts[1], QStringLiteral("Connection successful."));
        QCOMPARE(impostor.passwords(), one.profile().password.toStdString() + '\0');
        QCOMPARE(w.remembered().fingerprint.toStdString(), theirs);
    }
    {
        // Remembered now: no box before the password goes again.
        BoxAnswers answers;
        w.testConnection();
        QCOMPARE(answers.texts, QStringList{QStringLiteral("Connection successful.")});
    }
}

void LoginTrustTest::aChangedCertificateIsRefusedUntilForgotten()
{
    ScratchDatabase one(1, QStringLiteral("trust"));
    TlsImpostor impostor(tlsFile("client.pem"), tlsFile("client-key.pem"));
    Window w(one, impostor.port());
    // An earlier login met the real server's certificate at this address.
    app::SettingsStore store(*w.t.settings);
    const QString server = QStringLiteral("127.0.0.1:") + QString::number(impostor.port());
    app::rememberCertificate(store, 1, {server, QString::fromStdString(fingerprintOf(tlsFile("server.pem")))});
    {
        BoxAnswers answers;
        w.testConnection();
        QCOMPARE(answers.texts.size(), 1);
        QVERIFY2(answers.texts[0].contains(QStringLiteral("is not the one remembered")), qPrintable(answers.texts[0]));
        QVERIFY2(answers.texts[0].contains(QStringLiteral("Forget")), qPrintable(answers.texts[0]));
        QCOMPARE(impostor.passwords(), std::string());
    }
    // Forget, in Connection Security, opened from the Server box's menu.
    input::rightClick(w.form.ui().Text1);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    QTimer poll;
    poll.setInterval(5);
    QString shown;
    QObject::connect(&poll, &QTimer::timeout, &w.form, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        shown = dialog->findChild<QLineEdit *>(QStringLiteral("RememberedCertificate"))->text();
        input::click(dialog->findChild<QPushButton *>(QStringLiteral("ForgetCertificate")));
        input::click(dialog->findChild<QDialogButtonBox *>(QStringLiteral("Buttons"))->button(QDialogButtonBox::Ok));
    });
    poll.start();
    input::chooseByMouse(menu, static_cast<int>(menu->actions().size()) - 1);
    w.t.runStarted();
    QVERIFY2(shown.contains(QString::fromStdString(fingerprintOf(tlsFile("server.pem")))), qPrintable(shown));
    QVERIFY(w.remembered().fingerprint.isEmpty());
}

QTEST_MAIN(LoginTrustTest)
#include "tst_logintrust.moc"
