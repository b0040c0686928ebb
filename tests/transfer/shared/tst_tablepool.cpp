// Whole databases: many tables copied complete and compared at once over a few sessions per
// server, started from the table manager's menus, the log and the box in the tables' order.
#include "support/CopyHarness.h"
#include "support/Input.h"
#include "support/ManagerWindow.h"
#include "support/Sandbox.h"
#include "app/SettingsStore.h"
#include "platform/ProgramEnding.h"
#include "transfer/copy/CompleteCopy.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QtTest>

#include <set>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;

class TablePoolTest : public QObject {
    Q_OBJECT
private slots:
    void aWholeDatabaseArrivesInListOrder();
    void anAccountWithFewConnectionsGetsFewerLanes();
    void compareOfManyTablesTellsEachInOrder();
    void closingDuringManyTablesLeavesNothingBehind();
};

namespace {

const QRegularExpression Building(QStringLiteral("CREATE TABLE `tabulink_new_([0-9]+)_"));

QStringList numbered(int n)
{
    QStringList names;
    for (int i = 0; i < n; ++i)
        names << QStringLiteral("t%1").arg(i, 2, 10, QChar(u'0'));
    return names;
}

void makeTables(const ScratchDatabase &db, const QStringList &names)
{
    for (const QString &name : names) {
        const std::string t = name.toStdString();
        db.exec("CREATE TABLE " + t + " (id INT PRIMARY KEY, a INT, b VARCHAR(40), KEY (a))");
        db.exec("INSERT INTO " + t + " SELECT seq, seq % 7, CONCAT('" + t + " ', seq) FROM seq_1_to_300");
    }
}

// The destination sessions that built copies, as the log's CREATE TABLE names them.
std::set<QString> buildingSessions(const QString &log)
{
    std::set<QString> sessions;
    for (auto m = Building.globalMatch(log); m.hasNext();)
        sessions.insert(m.next().captured(1));
    return sessions;
}

// Where each table's "-- t: …" line of the given kind first stands in the log.
QStringList tablesInLogOrder(const QString &log, const QString &kind)
{
    QStringList order;
    const QRegularExpression line(QStringLiteral("-- (t[0-9]+|parent|child|v): ") + kind);
    for (auto m = line.globalMatch(log); m.hasNext();)
        order << m.next().captured(1);
    return order;
}

QString checksum(const ScratchDatabase &db, const QString &table)
{
    return QString::fromStdString(*db.query("CHECKSUM TABLE " + table.toStdString())[0][1]);
}

void startFromMenu(ManagerWindow &w, int entry)
{
    QListWidget *list = w.form->ui().List1;
    list->setFocus();
    input::pressMenuKey(list);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, entry);
    w.t.runStarted();
}

} // namespace

// Every table selected, a child before its parent in the list, a view, and one table the
// account may not read: the others all arrive whole, the view and the key after them, the log
// lines of each table together and in the run's order, and the bar counts tables.
void TablePoolTest::aWholeDatabaseArrivesInListOrder()
{
    ManagerWindow w(QStringLiteral("tp_whole"));
    QStringList names = numbered(14);
    makeTables(w.one, names);
    w.one.exec("CREATE TABLE parent (id INT PRIMARY KEY)");
    w.one.exec("CREATE TABLE child (id INT PRIMARY KEY, p INT, CONSTRAINT fk_p FOREIGN KEY (p) REFERENCES parent (id))");
    w.one.exec("INSERT INTO parent VALUES (1), (2)");
    w.one.exec("INSERT INTO child VALUES (10, 1), (20, 2)");
    w.one.exec("CREATE VIEW v AS SELECT COUNT(*) AS n FROM t03");
    // What the run's catalog says of each table, all asked at once: a table's two triggers in the
    // order they fire, and one table with no key, checked whole.
    w.one.exec("CREATE TRIGGER t01_first BEFORE INSERT ON t01 FOR EACH ROW SET NEW.a = NEW.a + 1");
    w.one.exec("CREATE TRIGGER t01_second BEFORE INSERT ON t01 FOR EACH ROW FOLLOWS t01_first SET NEW.a = NEW.a * 10");
    w.one.exec("ALTER TABLE t04 DROP PRIMARY KEY");
    w.one.exec("CREATE TABLE secret (id INT PRIMARY KEY)");
    const std::string db = w.one.name().toStdString();
    const std::string user = "tp_reader";
    sandbox::execOnServer(1, "DROP USER IF EXISTS " + user);
    sandbox::execOnServer(1, "CREATE USER " + user + " IDENTIFIED BY 'pw'");
    sandbox::execOnServer(1, "GRANT SELECT, SHOW VIEW ON " + db + ".* TO " + user);
    sandbox::execOnServer(1, "REVOKE SELECT ON " + db + ".* FROM " + user);
    for (const QString &t : names + QStringList{QStringLiteral("child"), QStringLiteral("parent"), QStringLiteral("v")})
        sandbox::execOnServer(1, "GRANT SELECT, SHOW VIEW ON " + db + "." + t.toStdString() + " TO " + user);
    sandbox::execOnServer(1, "GRANT INSERT ON " + db + ".secret TO " + user); // listed, not readable
    sandbox::execOnServer(1, "GRANT TRIGGER ON " + db + ".t01 TO " + user);
    w.profiles = ProfilesFrom([&](int side) {
        sides::ConnectionProfile p = side == 1 ? w.one.profile() : w.two.profile();
        if (side == 1) {
            p.user = QString::fromStdString(user);
            p.password = QStringLiteral("pw");
        }
        return p;
    });
    const QStringList listed = QStringList{QStringLiteral("child")} + names
                               + QStringList{QStringLiteral("parent"), QStringLiteral("secret"), QStringLiteral("v")};
    w.show(listed, {});
    w.form->ui().List1->selectAll();
    std::vector<int> bar;
    connect(w.form->ui().ProgressBar1, &QProgressBar::valueChanged, [&](int v) { bar.push_back(v); });
    startFromMenu(w, 1);

    for (const QString &t : names + QStringList{QStringLiteral("child"), QStringLiteral("parent")})
        QCOMPARE(checksum(w.two, t), checksum(w.one, t));
    QCOMPARE(w.two.query("SELECT n FROM v"), (Rows{{Cell("300")}}));
    const std::string fired = "SELECT TRIGGER_NAME, ACTION_ORDER FROM information_schema.TRIGGERS WHERE "
                              "TRIGGER_SCHEMA = DATABASE() ORDER BY ACTION_ORDER";
    QCOMPARE(w.two.query(fired), (Rows{{Cell("t01_first"), Cell("1")}, {Cell("t01_second"), Cell("2")}}));
    w.two.exec("INSERT INTO t01 VALUES (1000, 1, 'x')");
    QCOMPARE(w.two.query("SELECT a FROM t01 WHERE id = 1000"), (Rows{{Cell("20")}}));
    QVERIFY2(*w.two.query("SHOW CREATE TABLE child")[0][1] != std::string()
                 && w.two.query("SHOW CREATE TABLE child")[0][1]->find("FOREIGN KEY") != std::string::npos,
             "the foreign key was not added");
    QCOMPARE(w.two.tables().contains(QStringLiteral("secret")), false);

    const QString log = w.log();
    QVERIFY2(buildingSessions(log).size() > 1, qPrintable(log.left(2000)));
    // The list is walked last entry first, as one table after another would go.
    QStringList expected;
    for (const QString &t : listed)
        if (t != QStringLiteral("secret") && t != QStringLiteral("v"))
            expected.prepend(t);
    QCOMPARE(tablesInLogOrder(log, QStringLiteral("[0-9]+ rows")), expected);
    QVERIFY2(log.contains(QRegularExpression(QStringLiteral("-- t04: 300 rows, [^\r]*, verified\r\n"))), qPrintable(log));
    QVERIFY2(log.contains(QRegularExpression(QStringLiteral("-- t05: 300 rows, [^\r]*, verified in 1 key range\r\n"))),
             qPrintable(log));
    // A table's statements stand together: nothing of another table between its CREATE and its line.
    for (const QString &t : expected) {
        const qsizetype end = log.indexOf(QStringLiteral("-- ") + t + QStringLiteral(": "));
        const qsizetype rename = log.lastIndexOf(QStringLiteral("RENAME TABLE"), end);
        const qsizetype create = log.lastIndexOf(QStringLiteral("CREATE TABLE `tabulink_new_"), end);
        QVERIFY2(create >= 0 && rename > create, qPrintable(t));
        QVERIFY2(log.mid(create, end - create).count(QStringLiteral("CREATE TABLE `tabulink_new_")) == 1, qPrintable(t));
    }
    const QStringList boxes = w.t.dialogs.texts();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].contains(QStringLiteral("Not copied: secret (1142 ")), qPrintable(boxes[0]));
    // The bar rose through the tables, never back, before it went to 0 at the end.
    QVERIFY(bar.size() >= 3);
    QCOMPARE(bar.back(), 0);
    bar.pop_back();
    QVERIFY(std::is_sorted(bar.begin(), bar.end()));
    QVERIFY2(std::count_if(bar.begin(), bar.end(), [](int v) { return v > 0 && v < 100; }) >= 3,
             "the bar did not count the tables");
    sandbox::execOnServer(1, "DROP USER " + user);
}

// An account that may hold five sessions at once works on two tables at a time (two sessions
// a table on each server) and copies every one.
void TablePoolTest::anAccountWithFewConnectionsGetsFewerLanes()
{
    ManagerWindow w(QStringLiteral("tp_few"));
    const QStringList names = numbered(8);
    makeTables(w.one, names);
    const std::string user = "tp_few";
    sandbox::execOnServer(2, "DROP USER IF EXISTS " + user);
    sandbox::execOnServer(2, "CREATE USER " + user + " IDENTIFIED BY 'pw' WITH MAX_USER_CONNECTIONS 5");
    sandbox::execOnServer(2, "GRANT ALL ON " + w.two.name().toStdString() + ".* TO " + user);
    w.profiles = ProfilesFrom([&](int side) {
        sides::ConnectionProfile p = side == 1 ? w.one.profile() : w.two.profile();
        if (side == 2) {
            p.user = QString::fromStdString(user);
            p.password = QStringLiteral("pw");
        }
        return p;
    });
    w.show(names, {});
    w.form->ui().List1->selectAll();
    startFromMenu(w, 1);
    QVERIFY2(w.t.dialogs.texts().isEmpty(), qPrintable(w.t.dialogs.texts().join(u'\n')));
    for (const QString &t : names)
        QCOMPARE(checksum(w.two, t), checksum(w.one, t));
    QCOMPARE(buildingSessions(w.log()).size(), size_t(2));
    sandbox::execOnServer(2, "DROP USER " + user);
}

// Many tables compared at once say what one at a time says, in the list's order.
void TablePoolTest::compareOfManyTablesTellsEachInOrder()
{
    const QStringList names = numbered(12);
    QString atOnce;
    for (int tablesAtOnce : {4, 1}) {
        ManagerWindow w(QStringLiteral("tp_cmp"));
        makeTables(w.one, names);
        makeTables(w.two, names);
        w.two.exec("UPDATE t02 SET b = 'other' WHERE id = 17");
        w.two.exec("DELETE FROM t09 WHERE id = 5");
        w.two.exec("DROP TABLE t05");
        app::SettingsStore(w.t.services.settings).write(QStringLiteral("TablesAtOnce"), QString::number(tablesAtOnce));
        w.show(names, names);
        w.form->ui().List1->selectAll();
        startFromMenu(w, 2);
        const QString log = w.log();
        QCOMPARE(tablesInLogOrder(log, QString()), names);
        QVERIFY2(log.contains(QStringLiteral("-- t02: rows differ: 1 of 300 (keys 17 differs)")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("-- t05: missing on #2")), qPrintable(log));
        QCOMPARE(log.count(QStringLiteral(": same (300 rows)")), 9);
        QCOMPARE(w.t.dialogs.texts().size(), 1);
        if (tablesAtOnce == 4)
            atOnce = w.t.dialogs.texts()[0];
        else
            QCOMPARE(w.t.dialogs.texts()[0], atOnce);
    }
    QVERIFY2(atOnce.startsWith(QStringLiteral("Same: t00, t01, t03")), qPrintable(atOnce));
}

// The window closes while several tables are being copied: every lane stops, no half-built
// copy stays, and the source's sessions are gone.
void TablePoolTest::closingDuringManyTablesLeavesNothingBehind()
{
    ScratchDatabase one(1, QStringLiteral("tp_close1"));
    ScratchDatabase two(2, QStringLiteral("tp_close2"));
    const QStringList names = numbered(6);
    for (const QString &name : names) {
        const std::string t = name.toStdString();
        one.exec("CREATE TABLE " + t + " (id INT PRIMARY KEY, v VARCHAR(200))");
        one.exec("INSERT INTO " + t + " SELECT seq, REPEAT('v', 200) FROM seq_1_to_60000");
    }
    CopyHarness h;
    bool closed = false;
    h.yield.hook = [&](int) {
        if (h.progress.current > 10) {
            closed = true;
            throw platform::ProgramEnding();
        }
    };
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, h.copy(one, two, names, transfer::runCompleteTransfer));
    QVERIFY(closed);
    const std::string ids = "SELECT COUNT(*) FROM information_schema.processlist WHERE db = '";
    QTRY_COMPARE_WITH_TIMEOUT(*one.query(ids + one.name().toStdString() + "'")[0][0], std::string("1"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(two.tables().filter(QStringLiteral("tabulink_")), QStringList(), 5000);
}

QTEST_MAIN(TablePoolTest)
#include "tst_tablepool.moc"
