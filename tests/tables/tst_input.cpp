// The table manager driven as a person drives it: menus opened with a right-click and the Menu
// key, entries chosen with the arrows and Return or with the mouse, buttons clicked and pressed
// with Space, while the operations serve the windows as the program's own waits do. Things a
// running operation cannot stop (a timer, the window system) change the windows under it.
#include "app/OperationLock.h"
#include "app/Services.h"
#include "platform/DbConnection.h"
#include "platform/QtDialogs.h"
#include "support/Input.h"
#include "connect/Form1.h"
#include "support/Lists.h"
#include "support/LyingServer.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <functional>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;
using tableswindow::Form2;

namespace {

enum class Opener { RightClick, MenuKey };
enum class Chooser { Keys, Mouse };

// Side #1 holds t (2,000 rows) and u; side #2 holds w. The operations yield to the windows.
struct Window {
    ScratchDatabase one{1, QStringLiteral("inp1")};
    ScratchDatabase two{2, QStringLiteral("inp2")};
    ProfilesFrom profiles = sandbox::sidesOn(one, two);
    TestServices t{{}, TestServices::Yield::ServeWindows};
    std::unique_ptr<Form2> form;

    explicit Window(platform::Dialogs *dialogs = nullptr)
    {
        one.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(200))");
        one.exec("INSERT INTO t SELECT seq, REPEAT(CHAR(65 + seq % 26), 150) FROM seq_1_to_2000");
        one.exec("CREATE TABLE u (v INT)");
        one.exec("INSERT INTO u VALUES (7)");
        two.exec("CREATE TABLE w (v INT)");
        if (dialogs) {
            services = std::make_unique<app::Services>(app::Services{
                *dialogs, t.clipboard, t.shell, t.services.yield, t.random, t.services.settings, t.lock,
                t.services.keyring, t.services.programFolder, t.services.endProgram});
        }
        form = std::make_unique<Form2>(services ? *services : t.services, profiles, [] {});
        ui().List1->addItems({QStringLiteral("t"), QStringLiteral("u")});
        ui().List2->addItems({QStringLiteral("w")});
        selectOnly(ui().List1, QStringLiteral("t"));
        selectOnly(ui().List2, QStringLiteral("w"));
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the table manager was not shown");
    }

    Ui::Form2 &ui() { return form->ui(); }

    // The menu of that widget, opened the way given.
    QMenu *open(QWidget *owner, Opener opener)
    {
        if (opener == Opener::RightClick)
            input::rightClick(owner, QPoint(10, 10));
        else
            input::pressMenuKey(owner);
        return input::openMenu();
    }

    // Runs what the input started, then what it left for the event loop (the menu's deletion).
    void settle()
    {
        t.runStarted();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    void whenBusy(std::function<void()> act)
    {
        auto *timer = new QTimer(form.get());
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, form.get(), [this, timer, act = std::move(act)] {
            if (!t.lock.busy())
                return;
            timer->stop();
            timer->deleteLater();
            act();
        });
        timer->start();
    }

    std::unique_ptr<app::Services> services;
};

QString menuText(int fromSide, int entry)
{
    const QString to = fromSide == 1 ? QStringLiteral("MySQL #2") : QStringLiteral("MySQL #1");
    if (entry == 3)
        return QStringLiteral("Make ") + to + QStringLiteral(" Match");
    return (entry == 0   ? QStringLiteral("Send Table(s) to ")
            : entry == 1 ? QStringLiteral("Send Complete Table(s) to ")
                         : QStringLiteral("Compare Table(s) with "))
           + to;
}

const Rows &expectedRows()
{
    static const Rows rows{{Cell("2000"), Cell("2001000"), Cell("300000")}};
    return rows;
}

std::string rowSummary() { return "SELECT COUNT(*), SUM(id), SUM(LENGTH(v)) FROM t"; }

} // namespace

class InputTest : public QObject {
    Q_OBJECT
private slots:
    void everyContextMenuOpensByRightClickAndMenuKey();
    void menuEntriesRunTheirCopyToItsEnd_data();
    void menuEntriesRunTheirCopyToItsEnd();
    void buttonsStartByMouseAndBySpace();
    void connectionWindowButtonsStartBySpace_data();
    void connectionWindowButtonsStartBySpace();
    void changesUnderARunningCopyLeaveNothingDangling_data();
    void changesUnderARunningCopyLeaveNothingDangling();
    void aRealBoxAnsweredDuringTheCopy();
};

void InputTest::everyContextMenuOpensByRightClickAndMenuKey()
{
    Window w;
    const std::pair<QWidget *, int> owners[] = {
        {w.ui().List1, 1}, {w.ui().PushButton3, 1}, {w.ui().List2, 2}, {w.ui().PushButton8, 2}};
    for (const auto &[owner, side] : owners) {
        for (Opener opener : {Opener::RightClick, Opener::MenuKey}) {
            const QByteArray what = owner->objectName().toUtf8()
                                    + (opener == Opener::RightClick ? " by right-click" : " by Menu key");
            QMenu *menu = w.open(owner, opener);
            QVERIFY2(menu, what.constData());
            QCOMPARE(menu->actions().size(), 4);
            for (int entry = 0; entry < 4; ++entry)
                QCOMPARE(menu->actions()[entry]->text(), menuText(side, entry));
            QPointer<QMenu> watched(menu);
            QTest::keyClick(menu->windowHandle(), Qt::Key_Escape);
            w.settle();
            QVERIFY2(!QApplication::activePopupWidget(), what.constData());
            QVERIFY2(!watched, what.constData()); // closed menus do not pile up
        }
    }
    QVERIFY(w.t.dialogs.messages.empty());
    QCOMPARE(w.two.tables(), QStringList{QStringLiteral("w")});
}

void InputTest::menuEntriesRunTheirCopyToItsEnd_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("opener");
    QTest::addColumn<int>("chooser");
    QTest::addColumn<int>("entry");
    const auto row = [](const char *name, const char *owner, Opener o, Chooser c, int entry) {
        QTest::newRow(name) << QString::fromLatin1(owner) << int(o) << int(c) << entry;
    };
    row("List1, right-click, arrows and Return, complete", "List1", Opener::RightClick, Chooser::Keys, 1);
    row("List1, Menu key, mouse, complete", "List1", Opener::MenuKey, Chooser::Mouse, 1);
    row("List1, right-click, mouse, plain", "List1", Opener::RightClick, Chooser::Mouse, 0);
    row("PushButton3, Menu key, arrows and Return, plain", "PushButton3", Opener::MenuKey, Chooser::Keys, 0);
    row("PushButton3, right-click, arrows and Return, complete", "PushButton3", Opener::RightClick, Chooser::Keys, 1);
    row("List2, Menu key, arrows and Return, complete", "List2", Opener::MenuKey, Chooser::Keys, 1);
    row("List2, right-click, mouse, plain", "List2", Opener::RightClick, Chooser::Mouse, 0);
    row("PushButton8, right-click, arrows and Return, plain", "PushButton8", Opener::RightClick, Chooser::Keys, 0);
    row("PushButton8, Menu key, mouse, complete", "PushButton8", Opener::MenuKey, Chooser::Mouse, 1);
}

void InputTest::menuEntriesRunTheirCopyToItsEnd()
{
    QFETCH(QString, owner);
    QFETCH(int, opener);
    QFETCH(int, chooser);
    QFETCH(int, entry);
    Window w;
    auto *widget = w.form->findChild<QWidget *>(owner);
    QVERIFY(widget);
    const bool fromOne = owner == QStringLiteral("List1") || owner == QStringLiteral("PushButton3");
    QMenu *menu = w.open(widget, Opener(opener));
    QVERIFY(menu);
    QPointer<QMenu> watched(menu);
    if (Chooser(chooser) == Chooser::Keys)
        input::chooseByKeys(menu, entry);
    else
        input::chooseByMouse(menu, entry);
    w.settle();

    QVERIFY2(w.t.dialogs.messages.empty(), qPrintable(w.t.dialogs.texts().join(u'\n')));
    QVERIFY(!watched);
    QVERIFY(!w.t.lock.busy());
    if (fromOne) {
        QCOMPARE(w.two.tables(), (QStringList{QStringLiteral("t"), QStringLiteral("w")}));
        QCOMPARE(w.two.query(rowSummary()), expectedRows());
        QCOMPARE(listTexts(w.ui().List2), (QStringList{QStringLiteral("w"), QStringLiteral("t")}));
    } else {
        QCOMPARE(w.one.tables(), (QStringList{QStringLiteral("t"), QStringLiteral("u"), QStringLiteral("w")}));
        QCOMPARE(listTexts(w.ui().List1), (QStringList{QStringLiteral("t"), QStringLiteral("u"), QStringLiteral("w")}));
    }
    // The entry chose its kind of copy: only the complete one keeps the key.
    if (fromOne) {
        const bool keyed = !w.two.query("SHOW INDEX FROM t WHERE Key_name = 'PRIMARY'").empty();
        QCOMPARE(keyed, entry == 1);
    }
    QCOMPARE(w.ui().ProgressBar1->value(), 0);
}

void InputTest::buttonsStartByMouseAndBySpace()
{
    Window w;
    // Send Table(s) by the mouse.
    input::click(w.ui().PushButton3);
    w.settle();
    QCOMPARE(w.two.query(rowSummary()), expectedRows());
    // Select All on side #1 by Space, then Delete Table(s) on side #2 by Space: t and w go.
    input::pressSpace(w.ui().PushButton6);
    w.settle();
    QCOMPARE(listTexts(w.ui().List2).size(), 2);
    input::pressSpace(w.ui().PushButton9);
    w.settle();
    QCOMPARE(w.two.tables(), QStringList{});
    QVERIFY(listTexts(w.ui().List2).isEmpty());
    // Rename Table on side #1 by the mouse, answered through the input box.
    selectOnly(w.ui().List1, QStringLiteral("u"));
    w.t.dialogs.inputs.push_back(QStringLiteral("u2"));
    input::click(w.ui().PushButton5);
    w.settle();
    QCOMPARE(w.one.tables(), (QStringList{QStringLiteral("t"), QStringLiteral("u2")}));
    QCOMPARE(listTexts(w.ui().List1), (QStringList{QStringLiteral("t"), QStringLiteral("u2")}));
    // Clear by Space.
    input::pressSpace(w.ui().PushButton13);
    w.settle();
    QVERIFY(w.ui().Text1->text().isEmpty());
    QCOMPARE(w.t.dialogs.prompts.size(), 1);
    QVERIFY2(w.t.dialogs.messages.empty(), qPrintable(w.t.dialogs.texts().join(u'\n')));
}

void InputTest::connectionWindowButtonsStartBySpace_data()
{
    QTest::addColumn<bool>("withoutTls");
    QTest::newRow("TLS") << false;
    // Side #1 through a relay whose greeting offers no TLS, as a server started without certificates.
    QTest::newRow("a server without TLS") << true;
}

void InputTest::connectionWindowButtonsStartBySpace()
{
    QFETCH(bool, withoutTls);
    ScratchDatabase one{1, QStringLiteral("inpf1")};
    ScratchDatabase two{2, QStringLiteral("inpf2")};
    one.exec("CREATE TABLE a (v INT)");
    two.exec("CREATE TABLE b (v INT)");
    sides::ConnectionProfile first = one.profile();
    LyingServer plain(first.server, first.port.toInt());
    if (withoutTls)
        first.port = QString::number(plain.port());
    TestServices t{{}, TestServices::Yield::ServeWindows};
    connectwindow::Form1 form1(t.services, Form2::factory(t.services));
    form1.Form_Load(); // the default logins do not connect: it stays on the connection window
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    Ui::Form1 &ui = form1.ui();
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, first);
    typeProfile(ui.Text5, ui.Text6, ui.Text7, ui.Text8, ui.Text10, two.profile());
    input::pressSpace(ui.PushButton3); // Test Connection of side #1
    t.runStarted();
    QCOMPARE(t.dialogs.texts(), QStringList{QStringLiteral("Connection successful.")});
    input::pressSpace(ui.PushButton2); // Next >
    t.runStarted();
    Form2 *manager = form2Of(form1);
    QVERIFY(manager && manager->isVisible());
    QVERIFY(!form1.isVisible());
    QCOMPARE(listTexts(manager->ui().List1), QStringList{QStringLiteral("a")});
    QCOMPARE(listTexts(manager->ui().List2), QStringList{QStringLiteral("b")});
}

void InputTest::changesUnderARunningCopyLeaveNothingDangling_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("entry");
    for (int entry : {0, 1}) {
        const char *kind = entry == 0 ? ", plain" : ", complete";
        for (const char *change : {"source list cleared", "destination list cleared", "window closed",
                                   "another menu opened and deleted"})
            QTest::newRow(QByteArray(change).append(kind).constData()) << QString::fromLatin1(change) << entry;
    }
}

void InputTest::changesUnderARunningCopyLeaveNothingDangling()
{
    QFETCH(QString, change);
    QFETCH(int, entry);
    Window w;
    // Both tables selected: the walk is still going when the change comes. Another session holds
    // t until then, so the change comes while the copy waits for its rows however fast it is.
    w.ui().List1->item(1)->setSelected(true);
    platform::Connection holder;
    holder.open(sandbox::serverConnectionString(1));
    holder.execute("LOCK TABLES " + w.one.name().toStdString() + ".t WRITE");
    QObject holding; // the unlock goes with this test, should the copy end before it comes
    bool changed = false;
    w.whenBusy([&] {
        changed = true;
        QTimer::singleShot(100, &holding, [&holder] { holder.execute("UNLOCK TABLES"); });
        if (change == QStringLiteral("source list cleared"))
            w.ui().List1->clear();
        else if (change == QStringLiteral("destination list cleared"))
            w.ui().List2->clear();
        else if (change == QStringLiteral("window closed"))
            w.form->close();
        else { // as the table manager's own menus go: deleted by a posted deletion, inside the copy's wait
            QMenu *other = w.form->sendMenu(2);
            other->setAttribute(Qt::WA_DeleteOnClose);
            other->popup(w.form->mapToGlobal(QPoint(20, 20)));
            other->close();
        }
    });
    QMenu *menu = w.open(w.ui().List1, Opener::RightClick);
    QVERIFY(menu);
    input::chooseByKeys(menu, entry);
    w.settle();
    QVERIFY(changed);
    QVERIFY(!w.t.lock.busy());
    QCOMPARE(w.form->pointer().value(), app::pointer::Default);
    QCOMPARE(w.ui().ProgressBar1->value(), 0);
    if (change == QStringLiteral("window closed")) {
        QCOMPARE(w.t.endRequests, 1);
        return; // what a close leaves on the servers is the interruption tests' business
    }
    QVERIFY2(w.t.dialogs.messages.empty(), qPrintable(w.t.dialogs.texts().join(u'\n')));
    // u is last in the list and goes first, then t; a cleared source list ends the walk, and
    // whatever did arrive arrived whole.
    const QStringList arrived = w.two.tables();
    if (change != QStringLiteral("source list cleared")) {
        QCOMPARE(arrived, (QStringList{QStringLiteral("t"), QStringLiteral("u"), QStringLiteral("w")}));
        QCOMPARE(w.two.query(rowSummary()), expectedRows());
    } else if (arrived.contains(QStringLiteral("t"))) {
        QCOMPARE(w.two.query(rowSummary()), expectedRows());
    }
    if (arrived.contains(QStringLiteral("u")))
        QCOMPARE(w.two.query("SELECT v FROM u"), (Rows{{Cell("7")}}));
    if (change == QStringLiteral("destination list cleared"))
        QVERIFY(!listTexts(w.ui().List2).contains(QStringLiteral("w")));
}

void InputTest::aRealBoxAnsweredDuringTheCopy()
{
    platform::QtDialogs dialogs;
    Window w(&dialogs);
    w.two.exec("CREATE TABLE t (id INT)");
    w.ui().List2->addItem(QStringLiteral("t"));
    // The overwrite question comes up as a real box, inside the copy; a person answers Yes.
    QString asked;
    w.whenBusy([&] {
        auto *answer = new QTimer(w.form.get());
        answer->setInterval(5);
        QObject::connect(answer, &QTimer::timeout, w.form.get(), [&asked, answer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            answer->stop();
            answer->deleteLater();
            asked = box->text();
            input::click(box->button(QMessageBox::Yes));
        });
        answer->start();
    });
    QMenu *menu = w.open(w.ui().List1, Opener::MenuKey);
    QVERIFY(menu);
    input::chooseByMouse(menu, 1);
    w.settle();
    QCOMPARE(asked, QStringLiteral("Would you like to overwrite t?"));
    QCOMPARE(w.two.query(rowSummary()), expectedRows());
    QVERIFY(!w.t.lock.busy());
}

QTEST_MAIN(InputTest)
#include "tst_input.moc"
