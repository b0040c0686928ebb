// The connection window: layout, Test Connection, Help, focus, start-up and closing.
#include "app/Pointer.h"
#include "connect/Form1.h"
#include "connect/HelpText.h"
#include "tableops/TestConnection.h"
#include "support/Lists.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QtTest>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableops;
using namespace tableswindow;
using namespace transfer;

namespace {

void typeSide(Form1 &form, int side, const ConnectionProfile &p)
{
    Ui::Form1 &ui = form.ui();
    if (side == 1)
        typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, p);
    else
        typeProfile(ui.Text5, ui.Text6, ui.Text7, ui.Text8, ui.Text10, p);
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void layoutKeepsTheDesignerNamesAndPlaces();
    void tabOrderRunsThroughBothLogins();
    void testConnectionSucceeds();
    void testConnectionFailures_data();
    void testConnectionFailures();
    void testConnectionOfSideTwoUsesItsOwnBoxes();
    void helpGivesItsFourParagraphs();
    void focusSelectsTheWholeText();
    void hoverOverButtonsAndBoxes();
    void startUpWithTwoGoodLoginsGoesToTheTables();
    void startUpWithOneBadLoginStaysQuietly();
    void nextFillsBothListsFromTheBoxesAsTheyAreNow();
    void closingEndsTheProgram();
};

void Form1Test::layoutKeepsTheDesignerNamesAndPlaces()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    QCOMPARE(form.size(), QSize(536, 477));
    Ui::Form1 &ui = form.ui();
    QCOMPARE(ui.Frame1->geometry(), QRect(8, 40, 520, 193));
    QCOMPARE(ui.Frame2->geometry(), QRect(8, 240, 520, 193));
    QCOMPARE(ui.Text1->geometry(), QRect(88, 24, 305, 23));
    QCOMPARE(ui.Text9->geometry(), QRect(432, 24, 72, 23));
    QCOMPARE(ui.PushButton2->geometry(), QRect(8, 442, 520, 27));
    QCOMPARE(ui.PushButton4->text(), QStringLiteral("Help"));
    QCOMPARE(ui.PushButton2->text(), QStringLiteral("Next >"));
    QCOMPARE(ui.PushButton3->parentWidget(), ui.Frame1);
    QCOMPARE(ui.PushButton1->parentWidget(), ui.Frame2);
    QCOMPARE(ui.Frame2->title(), QStringLiteral("MySQL #2 Login (Note: Login can be same as #1)"));
    QCOMPARE(ui.Text3->echoMode(), QLineEdit::Password);
    QCOMPARE(ui.Text7->echoMode(), QLineEdit::Password);
    QCOMPARE(ui.Label4->text(), QStringLiteral("Password:"));
    QCOMPARE(ui.Text1->font().family(), QStringLiteral("Arial"));
    QVERIFY(ui.Text1->font().bold());
    QCOMPARE(ui.Text1->font().pointSizeF(), 9.0);
    QCOMPARE(ui.PushButton2->font().pointSizeF(), 11.25);
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
}

void Form1Test::tabOrderRunsThroughBothLogins()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    Ui::Form1 &ui = form.ui();
    const QList<QWidget *> expected{ui.Text1, ui.Text9, ui.Text2,  ui.Text3,  ui.Text4,       ui.PushButton3, ui.Text5,
                                    ui.Text10, ui.Text6, ui.Text7, ui.Text8, ui.PushButton1, ui.PushButton2, ui.PushButton4};
    QWidget *w = ui.Text1;
    for (int i = 1; i < expected.size(); ++i) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        QCOMPARE(w->objectName(), expected[i]->objectName());
    }
}

void Form1Test::testConnectionSucceeds()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    typeSide(form, 1, sandbox::serverProfile(1));
    form.PushButton3_Click();
    QCOMPARE(t.dialogs.messages.size(), size_t(1));
    QCOMPARE(t.dialogs.messages[0].text, QStringLiteral("Connection successful."));
    QCOMPARE(t.dialogs.messages[0].style, 0);
    QVERIFY(t.dialogs.messages[0].title.isEmpty()); // the application title
    QCOMPARE(form.pointer().value(), pointer::Default);
    QCOMPARE(t.yield.count, 1);
}

void Form1Test::testConnectionFailures_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("password");
    const ConnectionProfile good = sandbox::serverProfile(1);
    QTest::newRow("wrong password") << good.server << good.port << QStringLiteral("wrong");
    QTest::newRow("non-numeric port") << good.server << QStringLiteral("abc") << good.password;
    QTest::newRow("stopped server") << good.server << QStringLiteral("2") << good.password;
    QTest::newRow("empty server, closed port") << QString() << QStringLiteral("3") << good.password;
    QTest::newRow("password cut by a semicolon") << good.server << good.port << good.password + QStringLiteral(";x");
}

void Form1Test::testConnectionFailures()
{
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(QString, password);
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    ConnectionProfile p = sandbox::serverProfile(1);
    p.server = server;
    p.port = port;
    p.password = password;
    typeSide(form, 1, p);
    int pointerWhileBoxOpen = -1;
    t.dialogs.onMessage = [&] { pointerWhileBoxOpen = form.pointer().value(); };
    form.PushButton3_Click();
    QCOMPARE(t.dialogs.texts(), QStringList{CouldNotConnect});
    QCOMPARE(pointerWhileBoxOpen, pointer::Busy);
    QCOMPARE(form.pointer().value(), pointer::Default);
    // The box's own keys hold what was typed; the test wrote nothing else.
    QCOMPARE(t.settings->read(QStringLiteral("MyPort")), std::optional<QString>(port));
    QCOMPARE(t.settings->read(QStringLiteral("MyUser2")), std::nullopt);
}

void Form1Test::testConnectionOfSideTwoUsesItsOwnBoxes()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    ConnectionProfile bad = sandbox::serverProfile(1);
    bad.password = QStringLiteral("wrong");
    typeSide(form, 1, bad);
    typeSide(form, 2, sandbox::serverProfile(2));
    form.PushButton1_Click();
    QCOMPARE(t.dialogs.texts(), QStringList{ConnectionSuccessful});
    // The same details on both sides behave alike.
    typeSide(form, 2, bad);
    form.PushButton1_Click();
    form.PushButton3_Click();
    QCOMPARE(t.dialogs.texts(), (QStringList{ConnectionSuccessful, CouldNotConnect, CouldNotConnect}));
}

void Form1Test::helpGivesItsFourParagraphs()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.PushButton4_Click();
    QCOMPARE(t.dialogs.messages.size(), size_t(1));
    QCOMPARE(t.dialogs.messages[0].style, 0);
    QCOMPARE(t.dialogs.messages[0].text,
             QStringLiteral("If you cannot establish connection to your database with this program, please go to: \r\r"
                            "https://dev.mysql.com/downloads/workbench/\r\r"
                            "Download and install the MySQL Workbench. Try to connect to the same database (with the "
                            "same login information you are using here). This will determine if the login you are "
                            "using is correct.\r\r"
                            "Finally, make sure your host allows a direct connection to your MySQL database -- not a "
                            "web based connection, for example."));
}

void Form1Test::focusSelectsTheWholeText()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ui().Text2->setText(QStringLiteral("someone"));
    form.ui().Text10->setText(QStringLiteral("3307"));
    for (QLineEdit *edit : {form.ui().Text2, form.ui().Text10}) {
        form.ui().Text4->setFocus(Qt::OtherFocusReason);
        edit->setCursorPosition(0);
        edit->deselect();
        QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTRY_COMPARE(edit->selectedText(), edit->text());
    }
}

void Form1Test::hoverOverButtonsAndBoxes()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.show();
    auto move = [](QWidget *w) {
        QMouseEvent e(QEvent::MouseMove, QPointF(3, 3), w->mapToGlobal(QPointF(3, 3)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    move(form.ui().PushButton4);
    QCOMPARE(form.pointer().value(), pointer::Custom);
    move(form.ui().Text6);
    QCOMPARE(form.pointer().value(), pointer::Default);
    move(form.ui().PushButton1);
    QCOMPARE(form.pointer().value(), pointer::Custom);
    move(form.ui().Frame1);
    QCOMPARE(form.pointer().value(), pointer::Default);
    form.pointer().set(pointer::Busy);
    move(form.ui().PushButton2);
    QCOMPARE(form.pointer().value(), pointer::Busy);
    form.pointer().set(pointer::Default);
}

void Form1Test::startUpWithTwoGoodLoginsGoesToTheTables()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("start1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("start2"));
    one.exec("CREATE TABLE customers (id INT)");
    one.exec("CREATE TABLE `Order Lines` (id INT)");
    two.exec("CREATE TABLE suppliers (id INT)");
    TestServices t;
    storeProfile(*t.settings, 1, one.profile());
    storeProfile(*t.settings, 2, two.profile());
    Form1 form(t.services, Form2::factory(t.services));
    form.Form_Load();
    QVERIFY(form2Of(form));
    QVERIFY(form2Of(form)->isVisible());
    QVERIFY(form.isHidden());
    QStringList left = listTexts(form2Of(form)->ui().List1);
    left.sort();
    QCOMPARE(left, (QStringList{QStringLiteral("Order Lines"), QStringLiteral("customers")}));
    QCOMPARE(listTexts(form2Of(form)->ui().List2), QStringList{QStringLiteral("suppliers")});
    QCOMPARE(form.pointer().value(), pointer::Default);
    QVERIFY(t.dialogs.messages.empty());
    QCOMPARE(form.ui().Text4->text(), one.name());
}

void Form1Test::startUpWithOneBadLoginStaysQuietly()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("half"));
    TestServices t;
    storeProfile(*t.settings, 1, one.profile());
    ConnectionProfile bad = sandbox::serverProfile(2);
    bad.password = QStringLiteral("wrong");
    storeProfile(*t.settings, 2, bad);
    Form1 form(t.services, Form2::factory(t.services));
    form.Form_Load();
    QVERIFY(form2Of(form)); // created, hidden
    QVERIFY(!form2Of(form)->isVisible());
    QCOMPARE(form2Of(form)->ui().List1->count(), 0);
    QVERIFY(t.dialogs.messages.empty());

    form.show();
    form.PushButton2_Click(); // "Next >" fails just as quietly
    QVERIFY(form.isVisible());
    QVERIFY(!form2Of(form)->isVisible());
    QVERIFY(t.dialogs.messages.empty());
    QCOMPARE(form.pointer().value(), pointer::Default);
}

void Form1Test::nextFillsBothListsFromTheBoxesAsTheyAreNow()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("next1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("next2"));
    one.exec("CREATE TABLE alpha (id INT)");
    two.exec("CREATE TABLE beta (id INT)");
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.Form_Load();
    form.show();
    typeSide(form, 1, one.profile());
    typeSide(form, 2, two.profile());
    form.PushButton2_Click();
    QVERIFY(form2Of(form)->isVisible());
    QVERIFY(form.isHidden());
    QCOMPARE(listTexts(form2Of(form)->ui().List1), QStringList{QStringLiteral("alpha")});
    QCOMPARE(listTexts(form2Of(form)->ui().List2), QStringList{QStringLiteral("beta")});
    QCOMPARE(form2Of(form)->ui().List1->currentRow(), 0);
}

void Form1Test::closingEndsTheProgram()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.show();
    form.close();
    QCOMPARE(t.endRequests, 1);
    QVERIFY(t.lock.ending());
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
