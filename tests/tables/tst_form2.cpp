// The table manager window: layout, selection buttons, switching back, the log buttons,
// and one operation at a time.
#include "app/Pointer.h"
#include "connect/Form1.h"
#include "platform/ProgramEnding.h"
#include "platform/QtEventYield.h"
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
using namespace tableswindow;
using namespace transfer;

namespace {

QStringList sortedTexts(QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    out.sort();
    return out;
}

std::unique_ptr<Form2> makeForm2(TestServices &t, bool *switched = nullptr)
{
    static const ProfilesFrom servers([](int side) { return sandbox::serverProfile(side); });
    return std::make_unique<Form2>(
        t.services, servers,
        [switched] {
            if (switched)
                *switched = true;
        });
}

int selectedCount(QListWidget *list)
{
    int n = 0;
    for (int i = 0; i < list->count(); ++i)
        n += list->item(i)->isSelected() ? 1 : 0;
    return n;
}

} // namespace

class Form2Test : public QObject {
    Q_OBJECT
private slots:
    void layoutKeepsTheDesignerNamesAndPlaces();
    void selectAllAndDeselectAllOnBothSides();
    void selectionButtonsOnEmptyListsDoNothing();
    void switchShowsTheConnectionWindowAndKeepsEverything();
    void switchThenNextShowsFreshLists();
    void copyToClipboardTakesThePane();
    void paneKeysUseTheProgramsClipboard();
    void clearDebugEmptiesThePaneOnly();
    void emailSupportOpensANewMail();
    void clicksDuringARunningOperationAreRefused();
    void closingEndsTheProgram();
    void closingDuringACopyEndsItQuietly();
    void yieldStopsAnOperationOnceTheProgramEnds();
};

void Form2Test::layoutKeepsTheDesignerNamesAndPlaces()
{
    TestServices t;
    auto form = makeForm2(t);
    Ui::Form2 &ui = form->ui();
    QCOMPARE(form->size(), QSize(488, 499));
    QCOMPARE(form->windowTitle(), QStringLiteral("Tabulink"));
    QCOMPARE(ui.Frame1->geometry(), QRect(8, 8, 231, 281));
    QCOMPARE(ui.Frame2->geometry(), QRect(249, 8, 231, 281));
    QCOMPARE(ui.List2->geometry(), QRect(16, 24, 198, 109));
    QCOMPARE(ui.ProgressBar1->geometry(), QRect(8, 297, 472, 27));
    QCOMPARE(ui.Frame3->title(), QStringLiteral("Debug Window"));
    QCOMPARE(ui.PushButton3->text(), QStringLiteral("Send Table(s) to MySQL #2"));
    QCOMPARE(ui.PushButton8->text(), QStringLiteral("Send Table(s) to MySQL #1"));
    QCOMPARE(ui.PushButton11->text(), QStringLiteral("Switch MySQL Databases"));
    QCOMPARE(ui.PushButton14->text(), QStringLiteral("Email Support"));
    QCOMPARE(ui.List1->selectionMode(), QAbstractItemView::MultiSelection);
    QCOMPARE(ui.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    QCOMPARE(ui.List1->currentRow(), -1);
    QVERIFY(ui.PushButton14->isEnabled());
    // List2 comes first in the keyboard order, so it has the focus when the window opens.
    QWidget *first = form->nextInFocusChain();
    while (!(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    QCOMPARE(first->objectName(), QStringLiteral("List2"));
}

void Form2Test::selectAllAndDeselectAllOnBothSides()
{
    TestServices t;
    auto form = makeForm2(t);
    Ui::Form2 &ui = form->ui();
    ui.List1->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    ui.List2->addItems({QStringLiteral("x"), QStringLiteral("y")});
    form->PushButton1_Click();
    QCOMPARE(selectedCount(ui.List1), 3);
    QCOMPARE(selectedCount(ui.List2), 0);
    QCOMPARE(ui.List1->currentRow(), -1); // selecting does not make an entry current
    form->PushButton6_Click();
    QCOMPARE(selectedCount(ui.List2), 2);
    form->PushButton2_Click();
    QCOMPARE(selectedCount(ui.List1), 0);
    QCOMPARE(selectedCount(ui.List2), 2);
    form->PushButton7_Click();
    QCOMPARE(selectedCount(ui.List2), 0);
    QVERIFY(t.dialogs.messages.empty());
}

void Form2Test::selectionButtonsOnEmptyListsDoNothing()
{
    TestServices t;
    auto form = makeForm2(t);
    for (auto handler : {&Form2::PushButton1_Click, &Form2::PushButton2_Click, &Form2::PushButton6_Click,
                         &Form2::PushButton7_Click})
        (form.get()->*handler)();
    QCOMPARE(form->ui().List1->count(), 0);
    QVERIFY(t.dialogs.messages.empty());
}

void Form2Test::switchShowsTheConnectionWindowAndKeepsEverything()
{
    TestServices t;
    bool switched = false;
    auto form = makeForm2(t, &switched);
    form->show();
    form->ui().List1->addItem(QStringLiteral("kept"));
    form->logPane().appendEntry("CREATE TABLE `kept`(`a` INT)");
    form->PushButton11_Click();
    QVERIFY(switched);
    QVERIFY(form->isHidden());
    QCOMPARE(form->ui().List1->count(), 1);
    QCOMPARE(form->logPane().text(), QStringLiteral("CREATE TABLE `kept`(`a` INT)\r\n"));
}

void Form2Test::switchThenNextShowsFreshLists()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("fresh1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("fresh2"));
    one.exec("CREATE TABLE a (id INT)");
    two.exec("CREATE TABLE b (id INT)");
    TestServices t;
    storeProfile(*t.settings, 1, one.profile());
    storeProfile(*t.settings, 2, two.profile());
    Form1 form1(t.services, Form2::factory(t.services));
    form1.Form_Load();
    Form2 *form2 = form2Of(form1);
    QVERIFY(form2->isVisible());
    form2->ui().List1->addItem(QStringLiteral("local only"));
    one.exec("CREATE TABLE c (id INT)");
    form2->PushButton11_Click();
    QVERIFY(form1.isVisible());
    QVERIFY(form2->isHidden());
    form1.PushButton2_Click();
    QVERIFY(form2->isVisible());
    QCOMPARE(sortedTexts(form2->ui().List1), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QCOMPARE(sortedTexts(form2->ui().List2), QStringList{QStringLiteral("b")});
}

void Form2Test::copyToClipboardTakesThePane()
{
    TestServices t;
    auto form = makeForm2(t);
    form->PushButton12_Click();
    QVERIFY(t.clipboard.hasText);
    QCOMPARE(t.clipboard.text, QString()); // an empty pane gives an empty clipboard text
    form->logPane().appendEntry("INSERT INTO `t` VALUES('1')");
    t.clipboard.lockedFor = t.clipboard.attempts + 2; // busy for two attempts
    form->PushButton12_Click();
    QCOMPARE(t.clipboard.text, QStringLiteral("INSERT INTO `t` VALUES('1')\r\n"));
    t.clipboard.lockedFor = -1;
    form->PushButton12_Click(); // gives up quietly
    QVERIFY(t.dialogs.messages.empty());
}

void Form2Test::paneKeysUseTheProgramsClipboard()
{
    TestServices t;
    auto form = makeForm2(t);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QWidget *pane = form->ui().Text1;
    form->logPane().appendEntry("DROP TABLE `t`");
    QApplication::processEvents();
    pane->setFocus();
    // The pane's own keys: all of it selected, copied while another program holds the clipboard
    // for a moment, then pasted back at the end.
    t.clipboard.lockedFor = t.clipboard.attempts + 3;
    QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(t.clipboard.text, QStringLiteral("DROP TABLE `t`\r\n"));
    t.clipboard.text = QStringLiteral("-- pasted");
    QTest::keyClick(pane, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(form->logPane().text(), QStringLiteral("DROP TABLE `t`\r\n-- pasted"));
    QVERIFY(t.dialogs.messages.empty());
}

void Form2Test::clearDebugEmptiesThePaneOnly()
{
    TestServices t;
    auto form = makeForm2(t);
    form->ui().List2->addItem(QStringLiteral("stays"));
    form->logPane().appendEntry("x");
    form->ui().PushButton14->setEnabled(false);
    form->PushButton13_Click();
    QCOMPARE(form->logPane().text(), QString());
    QCOMPARE(form->ui().List2->count(), 1);
    QVERIFY(!form->ui().PushButton14->isEnabled()); // keeps its state
}

void Form2Test::emailSupportOpensANewMail()
{
    TestServices t;
    auto form = makeForm2(t);
    form->logPane().appendEntry("not attached");
    form->PushButton14_Click();
    QCOMPARE(t.shell.opened, QStringList{QStringLiteral("mailto:help@quillmarsh.com")});
    t.shell.fail = true;
    form->PushButton14_Click();
    QCOMPARE(t.dialogs.messages.size(), size_t(1));
    QVERIFY(t.dialogs.messages[0].text.contains(
        QStringLiteral("in Tabulink2021/08/31.Form2.PushButton14_Click at line 100")));
}

void Form2Test::clicksDuringARunningOperationAreRefused()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("busy1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("busy2"));
    for (int i = 0; i < 4; ++i)
        one.exec("CREATE TABLE t" + std::to_string(i) + " (id INT)");
    two.exec("CREATE TABLE u (id INT)");
    TestServices t;
    Form1 form1(t.services, Form2::factory(t.services));
    form1.Form_Load(); // defaults do not connect: stays on the connection window
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    Ui::Form1 &ui = form1.ui();
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, one.profile());
    typeProfile(ui.Text5, ui.Text6, ui.Text7, ui.Text8, ui.Text10, two.profile());

    bool busyDuringYield = false;
    t.yield.hook = [&](int n) {
        if (n != 1)
            return;
        busyDuringYield = t.lock.busy();
        // A second "Next >", a "Test Connection" and typing into a box all arrive mid-listing.
        QTest::mouseClick(ui.PushButton2, Qt::LeftButton);
        QTest::mouseClick(ui.PushButton3, Qt::LeftButton);
        QTest::keyClicks(ui.Text2, QStringLiteral("zz"));
    };
    QTest::mouseClick(ui.PushButton2, Qt::LeftButton);
    t.runStarted(); // the refused clicks must not have been kept for later either
    QVERIFY(busyDuringYield);
    QCOMPARE(t.yield.count, 5); // four names and one: no second listing ran inside the first
    QVERIFY(t.dialogs.messages.empty());
    QCOMPARE(ui.Text2->text(), one.profile().user);
    QVERIFY(form2Of(form1)->isVisible());
    QCOMPARE(form2Of(form1)->ui().List1->count(), 4);
    QVERIFY(!t.lock.busy());

    // Once the operation is over, clicks work again.
    t.yield.hook = nullptr;
    QTest::mouseClick(form2Of(form1)->ui().PushButton1, Qt::LeftButton);
    t.runStarted();
    QCOMPARE(selectedCount(form2Of(form1)->ui().List1), 4);
}

void Form2Test::closingEndsTheProgram()
{
    TestServices t;
    auto form = makeForm2(t);
    form->show();
    form->close();
    QCOMPARE(t.endRequests, 1);
}

void Form2Test::closingDuringACopyEndsItQuietly()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("closing1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("closing2"));
    one.exec("CREATE TABLE a (v INT)");
    one.exec("INSERT INTO a VALUES (1), (2), (3)");
    one.exec("CREATE TABLE b (v INT)");
    TestServices t;
    const ProfilesFrom profiles = sandbox::sidesOn(one, two);
    Form2 form(t.services, profiles, [] {});
    form.show();
    form.ui().List1->addItems({QStringLiteral("a"), QStringLiteral("b")});
    form.PushButton1_Click();
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    // The user closes the window while the first table's rows are read; the window system's
    // yield then stops the operation, as the real one does.
    t.yield.hook = [&](int n) {
        if (n == 2)
            form.close();
        if (t.lock.ending())
            throw platform::ProgramEnding();
    };
    form.PushButton3_Click();
    QCOMPARE(t.endRequests, 1);
    QVERIFY(t.dialogs.messages.empty());
    QVERIFY(!t.lock.busy());
    // The copy's connections closed as it unwound: only the test's own is left on the source.
    QTRY_COMPARE(one.query("SELECT COUNT(*) FROM information_schema.processlist WHERE db = '"
                           + one.name().toStdString() + "'")[0][0],
                 sandbox::Cell("1"));
    QCOMPARE(sortedTexts(form.ui().List2), QStringList{QStringLiteral("b")}); // b was done before the close
    form.PushButton6_Click(); // nothing starts once the program is ending
    QCOMPARE(selectedCount(form.ui().List2), 0);
}

void Form2Test::yieldStopsAnOperationOnceTheProgramEnds()
{
    OperationLock lock;
    platform::QtEventYield yield([&lock] { return lock.ending(); });
    yield.yield();
    lock.requestEnd();
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, yield.yield());
    bool ran = false;
    QVERIFY(!lock.run([&] { ran = true; }));
    QVERIFY(!ran);
}

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
