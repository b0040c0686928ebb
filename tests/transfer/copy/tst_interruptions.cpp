// A copy whose servers fail or stall midway: the program stays alive, closable and truthful.
// Both tests disturb a whole server (a killed session, a global read lock), so this suite runs alone.
#include "app/OperationLock.h"
#include "app/Pointer.h"
#include "app/Services.h"
#include "platform/QtEventYield.h"
#include "connect/Form1.h"
#include "support/Fakes.h"
#include "support/Input.h"
#include "support/Lists.h"
#include "support/ManagerWindow.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/copy/TableSetAside.h"
#include "transfer/shared/TransferRun.h"
#include "ui_Form2.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace transfer;

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

// Lifts a session's global read lock a while after it was taken, from a thread of its own: the
// program is then on its way out, serving nothing. Gives up waiting for the lock after a minute.
class UnlockLater {
public:
    UnlockLater(platform::Connection &lock, const std::atomic<bool> &locked, int ms)
        : thread_([&lock, &locked, ms] {
              for (int waited = 0; !locked && waited < 60000; waited += 5)
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              std::this_thread::sleep_for(std::chrono::milliseconds(ms));
              lock.execute("UNLOCK TABLES");
          })
    {
    }
    ~UnlockLater() { thread_.join(); }
    UnlockLater(const UnlockLater &) = delete;
    UnlockLater &operator=(const UnlockLater &) = delete;

private:
    std::thread thread_;
};

} // namespace

class InterruptionsTest : public QObject {
    Q_OBJECT
private slots:
    void sourceLostHalfwayKeepsTheRowsSent();
    void closingWhileTheDestinationStallsEndsAtOnce();
    void closingDuringAnOverwriteGivesTheOldTableBack_data();
    void closingDuringAnOverwriteGivesTheOldTableBack();
    void closingWhileSeveralTablesWaitLeavesNoHalfBuiltOne();
};

void InterruptionsTest::sourceLostHalfwayKeepsTheRowsSent()
{
    ScratchDatabase one(1, QStringLiteral("lost1"));
    ScratchDatabase two(2, QStringLiteral("lost2"));
    // 40 MB: far more than the sockets buffer, so the source is still sending when it is cut off.
    one.exec("CREATE TABLE t (id INT, v MEDIUMTEXT)");
    one.exec("INSERT INTO t SELECT seq, REPEAT('x', 20000) FROM seq_1_to_2000");
    const std::string ownId = *one.query("SELECT CONNECTION_ID()")[0][0];
    FakeDialogs dialogs;
    FakeYield yield;
    FakePointer pointer;
    FakeProgress progress;
    MemoryLogPane pane;
    const RuntimeErrorReport report(dialogs, pane, [] {});
    bool killed = false;
    yield.hook = [&](int) {
        if (killed || progress.current < 50) // half the rows are in
            return;
        killed = true;
        const auto copy = one.query("SELECT id FROM information_schema.processlist WHERE db = '"
                                    + one.name().toStdString() + "' AND id <> " + ownId);
        QCOMPARE(copy.size(), size_t(1));
        sandbox::execOnServer(1, "KILL CONNECTION " + *copy[0][0]);
    };
    PlainTableList source(QStringList{QStringLiteral("t")});
    source.select({QStringLiteral("t")});
    PlainTableList destination;
    runTransfer({source, destination, one.profile(), two.profile(), QStringLiteral("in test ")},
                {dialogs, yield, pointer, progress, pane, report});
    QVERIFY(killed);
    // One report, from reading the rows; every row sent before stays.
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY2(dialogs.messages[0].text.contains(QStringLiteral("at line 122")), qPrintable(dialogs.messages[0].text));
    const long long sent = pane.contents.count(QStringLiteral("INSERT INTO"));
    QVERIFY(sent >= 1000 && sent < 2000);
    QCOMPARE(two.query("SELECT COUNT(*) FROM t")[0][0], Cell(std::to_string(sent)));
    QCOMPARE(destination.names, QStringList{QStringLiteral("t")});
    QCOMPARE(progress.current, 0.0);
    QCOMPARE(pointer.current, app::pointer::Default);
}

void InterruptionsTest::closingWhileTheDestinationStallsEndsAtOnce()
{
    ScratchDatabase one(1, QStringLiteral("stall1"));
    ScratchDatabase two(2, QStringLiteral("stall2"));
    one.exec("CREATE TABLE t (id INT)");
    one.exec("INSERT INTO t SELECT seq FROM seq_1_to_5000");
    TestServices t;
    platform::QtEventYield yield([&t] { return t.lock.ending(); });
    app::Services services{t.services.dialogs, t.services.clipboard, t.services.shell, yield, t.services.random,
                           t.services.settings, t.services.lock, t.services.keyring, t.services.programFolder,
                           t.services.endProgram};
    const ProfilesFrom profiles = sandbox::sidesOn(one, two);
    tableswindow::Form2 form(services, profiles, [] {});
    form.show();
    form.ui().List1->addItem(QStringLiteral("t"));
    form.PushButton1_Click();
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);

    // Once rows are going in, the destination stops taking writes (as a backup tool's global read
    // lock does) for 5 s; while an INSERT waits on it, the user closes the window.
    platform::Connection lock;
    lock.open(sandbox::serverConnectionString(2));
    QElapsedTimer sinceClose;
    bool locked = false;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (locked || !form.logPane().text().contains(QStringLiteral("INSERT INTO")))
            return;
        locked = true;
        lock.execute("FLUSH TABLES WITH READ LOCK");
        QTimer::singleShot(300, &form, [&] {
            sinceClose.start();
            form.close();
        });
        QTimer::singleShot(5000, &form, [&] { lock.execute("UNLOCK TABLES"); });
    });
    watch.start();
    QElapsedTimer whole;
    whole.start();
    form.PushButton3_Click();
    const qint64 afterClose = sinceClose.isValid() ? sinceClose.elapsed() : -1;
    lock.execute("UNLOCK TABLES");
    QVERIFY(locked);
    QCOMPARE(t.endRequests, 1);
    QVERIFY2(afterClose >= 0 && afterClose < 1000, qPrintable(QString::number(afterClose)));
    QVERIFY(whole.elapsed() < 4000); // it did not wait for the lock to go
    QVERIFY(t.dialogs.messages.empty());
    QVERIFY(!t.lock.busy());
    // The copy's session is gone from the destination, not left waiting there.
    QTRY_COMPARE(two.query("SELECT COUNT(*) FROM information_schema.processlist WHERE db = '"
                           + two.name().toStdString() + "'")[0][0],
                 Cell("1"));
}

void InterruptionsTest::closingDuringAnOverwriteGivesTheOldTableBack_data()
{
    QTest::addColumn<int>("lockMs");
    QTest::addColumn<bool>("putBack");
    QTest::newRow("the destination answers on the way out") << 2000 << true;
    QTest::newRow("the destination is silent past the way out") << 9000 << false;
}

void InterruptionsTest::closingDuringAnOverwriteGivesTheOldTableBack()
{
    QFETCH(int, lockMs);
    QFETCH(bool, putBack);
    ScratchDatabase one(1, QStringLiteral("overclose1"));
    ScratchDatabase two(2, QStringLiteral("overclose2"));
    one.exec("CREATE TABLE t (id INT)");
    one.exec("INSERT INTO t SELECT seq FROM seq_1_to_5000");
    two.exec("CREATE TABLE t (old VARCHAR(5))");
    two.exec("INSERT INTO t VALUES ('a'), ('b')");
    const Rows oldRows = two.query("SELECT * FROM t ORDER BY old");
    {
        TestServices t({}, TestServices::Yield::ServeWindows);
        const ProfilesFrom profiles = sandbox::sidesOn(one, two);
        tableswindow::Form2 form(t.services, profiles, [] {});
        form.show();
        form.ui().List1->addItem(QStringLiteral("t"));
        form.ui().List2->addItem(QStringLiteral("t"));
        form.ui().List1->item(0)->setSelected(true);
        form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);

        // The old table is aside and rows are going in when the destination stops taking writes;
        // the user closes the window while an INSERT waits.
        platform::Connection lock;
        lock.open(sandbox::serverConnectionString(2));
        std::atomic<bool> locked = false;
        QTimer watch;
        watch.setInterval(5);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (locked || !form.logPane().text().contains(QStringLiteral("INSERT INTO")))
                return;
            lock.execute("FLUSH TABLES WITH READ LOCK");
            locked = true;
            QTimer::singleShot(300, &form, [&] { form.close(); });
        });
        watch.start();
        QElapsedTimer whole;
        whole.start();
        qint64 took = 0;
        {
            UnlockLater unlock(lock, locked, lockMs);
            input::click(form.ui().PushButton3);
            t.runStarted();
            took = whole.elapsed();
        }
        QVERIFY(locked);
        QCOMPARE(t.endRequests, 1);
        QCOMPARE(t.dialogs.texts(), QStringList{QStringLiteral("Would you like to overwrite t?")});
        QVERIFY2(took < 300 + 1000 * transfer::TableSetAside::WayOutSeconds + 2000, qPrintable(QString::number(took)));
    }
    // Once the program has ended: the old table under its own name, or kept whole under its aside name.
    const QStringList tables = two.tables();
    if (putBack) {
        QCOMPARE(tables, QStringList{QStringLiteral("t")});
        QCOMPARE(two.query("SELECT * FROM t ORDER BY old"), oldRows);
        return;
    }
    const QStringList aside = tables.filter(QRegularExpression(QStringLiteral("^tabulink_old_[0-9]+_1$")));
    QCOMPARE(aside.size(), 1);
    QCOMPARE(two.query("SELECT * FROM `" + aside[0].toStdString() + "` ORDER BY old"), oldRows);
    // The next start lists that side and says what the table is.
    TestServices next;
    storeProfile(*next.settings, 1, one.profile());
    storeProfile(*next.settings, 2, two.profile());
    connectwindow::Form1 start(next.services, tableswindow::Form2::factory(next.services));
    start.Form_Load();
    QVERIFY(form2Of(start));
    QVERIFY2(form2Of(start)->logPane().text().contains(QStringLiteral("-- MySQL #2 holds ") + aside[0]
                                                       + QStringLiteral(": a table moved aside")),
             qPrintable(form2Of(start)->logPane().text()));
}

// Several tables are being built at once when the destination stops taking writes, and the user
// closes the window: each lane's session is stuck inside a call, so what it made goes through
// another session once the lock lifts, and nothing half-built is left when the program has ended.
void InterruptionsTest::closingWhileSeveralTablesWaitLeavesNoHalfBuiltOne()
{
    ManagerWindow w(QStringLiteral("lanestall"));
    const QStringList names{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                            QStringLiteral("e"), QStringLiteral("f")};
    for (const QString &name : names) {
        const std::string t = name.toStdString();
        w.one.exec("CREATE TABLE " + t + " (id INT PRIMARY KEY, v VARCHAR(200))");
        w.one.exec("INSERT INTO " + t + " SELECT seq, REPEAT('v', 200) FROM seq_1_to_60000");
    }
    w.show(names, {});
    w.form->ui().List1->selectAll();

    platform::Connection lock;
    lock.open(sandbox::serverConnectionString(2));
    std::atomic<bool> locked = false;
    int buildingWhenLocked = 0;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (locked)
            return;
        buildingWhenLocked = static_cast<int>(w.two.tables().filter(QStringLiteral("tabulink_new_")).size());
        if (buildingWhenLocked < 2)
            return;
        lock.execute("FLUSH TABLES WITH READ LOCK");
        locked = true;
        QTimer::singleShot(300, w.form.get(), [&] { w.form->close(); });
    });
    watch.start();
    QElapsedTimer whole;
    whole.start();
    qint64 took = 0;
    {
        UnlockLater unlock(lock, locked, 2000);
        QListWidget *list = w.form->ui().List1;
        list->setFocus();
        input::pressMenuKey(list);
        QMenu *menu = input::openMenu();
        QVERIFY(menu);
        input::chooseByKeys(menu, 1); // Send Complete Table(s)
        w.t.runStarted();
        took = whole.elapsed();
    }
    QVERIFY(locked);
    QCOMPARE(w.t.endRequests, 1);
    QVERIFY2(took < 300 + 1000 * transfer::TableSetAside::WayOutSeconds + 4000, qPrintable(QString::number(took)));
    // The lanes' way out is over before the run returns: nothing to wait for here.
    QCOMPARE(w.two.tables().filter(QStringLiteral("tabulink_")), QStringList());
    QVERIFY(buildingWhenLocked >= 2);
}

QTEST_MAIN(InterruptionsTest)
#include "tst_interruptions.moc"
