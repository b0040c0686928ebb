// The real Qt boxes behind the program's message and input boxes, answered from a timer.
#include "platform/ApplicationTitle.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs answer on the modal box as soon as it is open.
void whenOpen(const std::function<void(QWidget *)> &answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(box);
        }
    });
    poll->start();
}

struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Shows the box, notes what it looks like, and presses the named button.
Seen seeAndPress(int style, const QString &title, const QString &press, int *result)
{
    Seen seen;
    whenOpen([&](QWidget *widget) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        QVERIFY(box);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton *b : box->buttons()) {
            seen.buttons << b->text().remove(u'&');
            if (b->text().remove(u'&') == press)
                b->click();
        }
    });
    platform::QtDialogs dialogs;
    *result = dialogs.message(QStringLiteral("line one\r\nline two"), style, title);
    return seen;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { platform::setApplicationTitle(QStringLiteral("Tabulink")); }
    void plainBoxHasOkAndTheApplicationTitle();
    void questionHasYesAndNo();
    void exclamationHasItsIcon();
    void inputBoxGivesTheTextOnOkAndNothingOnCancel();
};

void DialogsTest::plainBoxHasOkAndTheApplicationTitle()
{
    int result = 0;
    const Seen seen = seeAndPress(platform::OkOnly, {}, QStringLiteral("OK"), &result);
    QCOMPARE(seen.title, QStringLiteral("Tabulink"));
    QCOMPARE(seen.text, QStringLiteral("line one\nline two")); // CR LF shown as one line break
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(result, int(platform::Ok));
}

void DialogsTest::questionHasYesAndNo()
{
    int result = 0;
    Seen seen = seeAndPress(platform::YesNo, QStringLiteral("Overwrite?"), QStringLiteral("No"), &result);
    QCOMPARE(seen.title, QStringLiteral("Overwrite?"));
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    seen.buttons.sort();
    QCOMPARE(seen.buttons, (QStringList{QStringLiteral("No"), QStringLiteral("Yes")}));
    QCOMPARE(result, int(platform::No));
    seeAndPress(platform::YesNo, QStringLiteral("Overwrite?"), QStringLiteral("Yes"), &result);
    QCOMPARE(result, int(platform::Yes));
}

void DialogsTest::exclamationHasItsIcon()
{
    int result = 0;
    const Seen seen = seeAndPress(platform::OkExclamation, QStringLiteral("Application Error"), QStringLiteral("OK"),
                                  &result);
    QCOMPARE(seen.title, QStringLiteral("Application Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(result, int(platform::Ok));
}

void DialogsTest::inputBoxGivesTheTextOnOkAndNothingOnCancel()
{
    platform::QtDialogs dialogs;
    QString title;
    QString preset;
    whenOpen([&](QWidget *widget) {
        auto *box = qobject_cast<QInputDialog *>(widget);
        QVERIFY(box);
        title = box->windowTitle();
        preset = box->textValue();
        box->setTextValue(QStringLiteral("orders_2026"));
        box->accept();
    });
    QCOMPARE(dialogs.input(QStringLiteral("Enter new name of orders:"), QStringLiteral("orders")),
             QStringLiteral("orders_2026"));
    QCOMPARE(title, QStringLiteral("Tabulink"));
    QCOMPARE(preset, QStringLiteral("orders"));
    whenOpen([](QWidget *widget) { qobject_cast<QDialog *>(widget)->reject(); });
    QCOMPARE(dialogs.input(QStringLiteral("Enter new name of orders:"), QStringLiteral("orders")), QString());
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
