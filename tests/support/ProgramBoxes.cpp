#include "support/ProgramBoxes.h"

#include "app/SettingsStore.h"
#include "platform/LoginTrust.h"
#include "support/Input.h"
#include "support/Profiles.h"
#include "tables/Form2.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>

std::string fingerprintOf(const std::string &pemFile)
{
    FILE *f = std::fopen(pemFile.c_str(), "r");
    if (!f)
        return {};
    X509 *cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    unsigned char *der = nullptr;
    const int length = cert ? i2d_X509(cert, &der) : 0;
    std::string out = length > 0 ? platform::certificateFingerprint(der, length) : std::string();
    OPENSSL_free(der);
    X509_free(cert);
    return out;
}

BoxAnswers::BoxAnswers()
{
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [this] {
        if (auto *asking = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            if (!asking->isVisible() || asking->property("seen").toBool())
                return;
            asking->setProperty("seen", true);
            texts << asking->labelText();
            const int key = keys.size() >= size_t(texts.size()) ? keys[texts.size() - 1] : Qt::Key_Return;
            auto *line = asking->findChild<QLineEdit *>();
            if (!typed.isEmpty() && line)
                QTest::keyClicks(line, typed.takeFirst());
            QTest::keyClick(line ? static_cast<QWidget *>(line) : asking, static_cast<Qt::Key>(key));
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || (!texts.isEmpty() && texts.back() == box->text() && box->property("seen").toBool()))
            return;
        box->setProperty("seen", true);
        texts << box->text();
        const int key = keys.size() >= size_t(texts.size()) ? keys[texts.size() - 1] : Qt::Key_Return;
        QTest::keyClick(box, static_cast<Qt::Key>(key));
    });
    poll.start();
}

BoxedConnectionWindow::BoxedConnectionWindow(const sides::ConnectionProfile &side1)
    : services{boxes,        t.services.clipboard, t.services.shell, t.services.yield, t.services.random,
               t.services.settings, t.services.lock,   t.services.keyring, t.services.programFolder,
               [] {}},
      form{services, tableswindow::Form2::factory(services)}
{
    form.Form_Load();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        qWarning("the connection window was not shown");
    typeProfile(form.ui().Text1, form.ui().Text2, form.ui().Text3, form.ui().Text4, form.ui().Text9, side1);
}

void BoxedConnectionWindow::testConnection()
{
    input::click(form.ui().PushButton3);
    t.runStarted();
}

app::RememberedCertificate BoxedConnectionWindow::remembered()
{
    return app::readSideSecurity(app::SettingsStore(*t.settings), 1).certificate;
}
