// "Make MySQL #n Match" against the real servers: what the box says before anything changes, that
// only the differing rows change (each exactly, every kind of value, parents and children in their
// order), that a saved script does the same as the change, and closing the window mid-way.
#include "MatchHarness.h"
#include "app/OperationLock.h"
#include "support/CopyHarness.h"
#include "support/Input.h"
#include "support/Lists.h"
#include "support/ManagerWindow.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "transfer/compare/MakeMatch.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Every change a trigger of the target sees, one row each, in the audit table.
void audit(const ScratchDatabase &db, const std::string &table)
{
    db.exec("CREATE TABLE audit (what CHAR(1), id INT)");
    for (const auto &[event, row] : {std::pair{"INSERT", "NEW"}, {"UPDATE", "NEW"}, {"DELETE", "OLD"}})
        db.exec(std::string("CREATE TRIGGER audit_") + event[0] + " AFTER " + event + " ON " + table
                + " FOR EACH ROW INSERT INTO audit VALUES ('" + event[0] + "', " + row + ".id)");
}

} // namespace

class MakeMatchTest : public QObject {
    Q_OBJECT
private slots:
    void theMenuChangesOnlyTheDifferingRows_data();
    void theMenuChangesOnlyTheDifferingRows();
    void cancelChangesNothing();
    void everyKindOfValueAndACompositeTextKey_data();
    void everyKindOfValueAndACompositeTextKey();
    void parentsAndChildrenInTheirOrder();
    void closingWhileARowIsLockedEndsItAtOnce();
    void betweenMariaDbAndMySql_data();
    void betweenMariaDbAndMySql();
};

void MakeMatchTest::theMenuChangesOnlyTheDifferingRows_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("byKeys");
    QTest::newRow("List1, right-click, arrows and Return") << QStringLiteral("List1") << true;
    QTest::newRow("PushButton8, Menu key, mouse") << QStringLiteral("PushButton8") << false;
}

void MakeMatchTest::theMenuChangesOnlyTheDifferingRows()
{
    QFETCH(QString, owner);
    QFETCH(bool, byKeys);
    Window w;
    const bool fromOne = owner == QStringLiteral("List1");
    const ScratchDatabase &source = fromOne ? w.one : w.two;
    const ScratchDatabase &target = fromOne ? w.two : w.one;
    const QString targetSide = fromOne ? QStringLiteral("2") : QStringLiteral("1");
    createOrders(source, 200000);
    createOrders(target, 200000);
    target.exec("DELETE FROM orders WHERE id IN (5, 100000, 199999)");               // to add
    target.exec("UPDATE orders SET v = 'changed' WHERE id IN (7, 150000)");          // to change
    target.exec("INSERT INTO orders VALUES (200001, 'extra', 1), (0, 'extra', 2)"); // to remove
    audit(target, "orders");
    const Rows wanted = checksum(source, "orders");
    w.t.dialogs.choices.push_back(Change);

    auto *widget = w.form->findChild<QWidget *>(owner);
    QVERIFY(widget);
    if (byKeys)
        input::rightClick(widget, QPoint(10, 10));
    else
        input::pressMenuKey(widget);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    QCOMPARE(menu->actions()[3]->text(), QStringLiteral("Make MySQL #") + targetSide + QStringLiteral(" Match"));
    if (byKeys)
        input::chooseByKeys(menu, 3);
    else
        input::chooseByMouse(menu, 3);
    w.t.runStarted();

    QCOMPARE(w.t.dialogs.messages.size(), size_t(2));
    const QString plan = w.t.dialogs.messages[0].text;
    QVERIFY2(plan.contains(QStringLiteral("orders: 3 rows to add, 2 to change, 2 to remove on #") + targetSide
                           + QStringLiteral("; its triggers on #") + targetSide
                           + QStringLiteral(" (audit_D, audit_I, audit_U) run for each change")),
             qPrintable(plan));
    QVERIFY(plan.endsWith(QStringLiteral("Nothing has been changed yet.")));
    QCOMPARE(w.t.dialogs.buttons[0], (QStringList{QStringLiteral("Change MySQL #") + targetSide,
                                                  QStringLiteral("Save Statements..."), QStringLiteral("Cancel")}));
    const QString done = w.t.dialogs.messages[1].text;
    QVERIFY2(done.contains(QStringLiteral("orders: 3 added, 2 changed, 2 removed on #") + targetSide), qPrintable(done));
    QVERIFY2(done.endsWith(QStringLiteral("Compared again:\r\rorders: same (200,000 rows)")), qPrintable(done));

    QCOMPARE(checksum(target, "orders"), wanted);
    // Only the differing rows were touched, each once, and nothing was deleted to be put back.
    QCOMPARE(target.query("SELECT what, COUNT(*), GROUP_CONCAT(id ORDER BY id) FROM audit GROUP BY what ORDER BY what"),
             (Rows{{Cell("D"), Cell("2"), Cell("0,200001")},
                   {Cell("I"), Cell("3"), Cell("5,100000,199999")},
                   {Cell("U"), Cell("2"), Cell("7,150000")}}));
    QVERIFY(w.log().contains(QStringLiteral("UPDATE `orders` SET `v` = _binary'v7' WHERE `id` = 7 LIMIT 1")));
    QVERIFY(!w.log().contains(QStringLiteral("REPLACE")));
    // Rows that fit one transaction take one, its removals before its additions.
    const QString log = w.log();
    QCOMPARE(log.count(QStringLiteral("START TRANSACTION")), 1);
    QCOMPARE(log.count(QStringLiteral("COMMIT")), 1);
    QVERIFY(log.indexOf(QStringLiteral("DELETE FROM `orders`")) < log.indexOf(QStringLiteral("INSERT INTO `orders`")));
    QVERIFY(!w.t.lock.busy());
    QCOMPARE(w.form->ui().ProgressBar1->value(), 0);
}

void MakeMatchTest::cancelChangesNothing()
{
    ScratchDatabase one(1, QStringLiteral("mmcancel1"));
    ScratchDatabase two(2, QStringLiteral("mmcancel2"));
    createOrders(one, 1000);
    createOrders(two, 1000);
    two.exec("UPDATE orders SET v = 'mine' WHERE id = 3");
    two.exec("DELETE FROM orders WHERE id = 4");
    const Rows before = checksum(two, "orders");
    Harness h;
    h.dialogs.choices.push_back(Cancel);
    h.match(one, two, {QStringLiteral("orders")});
    QVERIFY2(h.plan().contains(QStringLiteral("orders: 1 row to add, 1 to change, 0 to remove on #2")), qPrintable(h.plan()));
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QCOMPARE(checksum(two, "orders"), before);
    QVERIFY(h.pane.contents.endsWith(QStringLiteral("-- nothing changed on #2\r\n")));
    // A save box cancelled changes nothing either, and writes no file.
    h.dialogs.choices.push_back(Save);
    h.match(one, two, {QStringLiteral("orders")});
    QCOMPARE(h.dialogs.prompts.last(), QStringLiteral("Save the statements as a script"));
    QCOMPARE(checksum(two, "orders"), before);
}

void MakeMatchTest::everyKindOfValueAndACompositeTextKey_data()
{
    QTest::addColumn<bool>("byScript");
    QTest::newRow("changed by the program") << false;
    QTest::newRow("saved, then run by the mariadb client") << true;
}

void MakeMatchTest::everyKindOfValueAndACompositeTextKey()
{
    QFETCH(bool, byScript);
    ScratchDatabase one(1, QStringLiteral("mmkinds1"));
    ScratchDatabase two(2, QStringLiteral("mmkinds2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("SET time_zone = '+00:00'");
        db->exec("CREATE TABLE k (code VARCHAR(20) CHARACTER SET latin1 NOT NULL, n INT NOT NULL, "
                 "txt VARCHAR(40) CHARACTER SET utf8mb4, bin VARBINARY(16), ts TIMESTAMP(6) NULL, "
                 "e ENUM('x','y z'), s SET('p','q'), d DECIMAL(30,10), f DOUBLE, bits BIT(13), j LONGTEXT, "
                 "PRIMARY KEY (code, n))");
        db->exec("INSERT INTO k SELECT CONCAT('c', seq % 7), seq, CONCAT('t', seq), NULL, NULL, 'x', 'p', seq, seq / 3, "
                 "b'1', NULL FROM seq_1_to_300");
    }
    const std::string odd = "UPDATE k SET txt = 'Zoë 日本語 😀', bin = X'00FF275C0A0D3B', ts = '2038-01-19 03:14:07.999999', "
                            "e = 'y z', s = 'p,q', d = -12345678901234567890.0123456789, f = 1.7976931348623157e308, "
                            "bits = b'1010101010101', j = 'line\\r\\nbreak; -- not a comment' ";
    one.exec(odd + "WHERE n IN (10, 20)");
    one.exec("UPDATE k SET code = X'4DFC' WHERE n = 30");            // latin1 ü in the key, on #1 only
    one.exec("INSERT INTO k (code, n, txt) VALUES ('Abc', 1, NULL)"); // only on #1
    two.exec("UPDATE k SET txt = NULL, ts = '1970-01-01 00:00:01' WHERE n = 40");
    two.exec("INSERT INTO k (code, n, txt) VALUES ('abc', 2, 'only #2')");
    const Rows wanted = checksum(one, "k");

    Harness h;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("match.sql"));
    h.dialogs.choices.push_back(byScript ? Save : Change);
    h.dialogs.savePaths.push_back(path);
    h.match(one, two, {QStringLiteral("k")});
    QVERIFY2(h.plan().contains(QStringLiteral("k: 2 rows to add, 3 to change, 2 to remove on #2")), qPrintable(h.plan()));
    if (byScript) {
        QVERIFY2(h.box().startsWith(QStringLiteral("The statements are saved to ") + path), qPrintable(h.box()));
        QVERIFY(checksum(two, "k") != wanted); // nothing changed yet
        QProcess client;
        client.setStandardInputFile(path);
        const sides::ConnectionProfile p = two.profile();
        client.start(QStringLiteral("mariadb"),
                     {QStringLiteral("--no-defaults"), QStringLiteral("--binary-mode"), QStringLiteral("--ssl"),
                      QStringLiteral("--protocol=tcp"), QStringLiteral("-h") + p.server, QStringLiteral("-P") + p.port,
                      QStringLiteral("-u") + p.user, QStringLiteral("--password=") + p.password, p.database});
        QVERIFY(client.waitForFinished(60000));
        QVERIFY2(client.exitCode() == 0, client.readAllStandardError().constData());
    } else {
        QVERIFY2(h.box().contains(QStringLiteral("k: 2 added, 3 changed, 2 removed on #2")), qPrintable(h.box()));
        QVERIFY2(h.box().endsWith(QStringLiteral("k: same (301 rows)")), qPrintable(h.box()));
    }
    QCOMPARE(checksum(two, "k"), wanted);
    QCOMPARE(two.query("SELECT HEX(txt), HEX(bin), ts, e, HEX(j) FROM k WHERE n = 10"),
             one.query("SELECT HEX(txt), HEX(bin), ts, e, HEX(j) FROM k WHERE n = 10"));
}

void MakeMatchTest::parentsAndChildrenInTheirOrder()
{
    ScratchDatabase one(1, QStringLiteral("mmfk1"));
    ScratchDatabase two(2, QStringLiteral("mmfk2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE parent (id INT PRIMARY KEY, v VARCHAR(10))");
        db->exec("CREATE TABLE child (id INT PRIMARY KEY, parent INT NOT NULL, "
                 "FOREIGN KEY (parent) REFERENCES parent (id) ON DELETE CASCADE)");
        db->exec("INSERT INTO parent VALUES (1, 'a'), (2, 'b'), (3, 'c')");
        db->exec("INSERT INTO child VALUES (10, 1), (11, 1), (20, 2)");
    }
    one.exec("UPDATE parent SET v = 'B' WHERE id = 2");                   // a parent that differs: changed in place
    one.exec("INSERT INTO parent VALUES (4, 'd')");                       // a new parent ...
    one.exec("INSERT INTO child VALUES (40, 4)");                          // ... and its child
    two.exec("INSERT INTO parent VALUES (9, 'x')");                       // a parent only on #2 ...
    two.exec("INSERT INTO child VALUES (90, 9)");                          // ... with its child
    two.exec("INSERT INTO child VALUES (21, 2)");                          // #2's own child of a changed parent
    Harness h;
    h.dialogs.choices.push_back(Change);
    // The child first in the list: the order comes from the keys, not the list.
    h.match(one, two, {QStringLiteral("child"), QStringLiteral("parent")});
    QVERIFY2(h.box().contains(QStringLiteral("parent: 1 added, 1 changed, 1 removed on #2")), qPrintable(h.box()));
    QVERIFY2(h.box().contains(QStringLiteral("child: 1 added, 0 changed, 2 removed on #2")), qPrintable(h.box()));
    QCOMPARE(two.query("SELECT id, parent FROM child ORDER BY id"), one.query("SELECT id, parent FROM child ORDER BY id"));
    QCOMPARE(two.query("SELECT * FROM parent ORDER BY id"), one.query("SELECT * FROM parent ORDER BY id"));
    const QString log = h.pane.contents;
    QVERIFY(log.indexOf(QStringLiteral("DELETE FROM `child`")) < log.indexOf(QStringLiteral("DELETE FROM `parent`")));
    QVERIFY(log.indexOf(QStringLiteral("INSERT INTO `parent`")) < log.indexOf(QStringLiteral("INSERT INTO `child`")));
}

void MakeMatchTest::closingWhileARowIsLockedEndsItAtOnce()
{
    Window w;
    createOrders(w.one, 2000);
    createOrders(w.two, 2000);
    w.two.exec("UPDATE orders SET v = 'x' WHERE id IN (10, 1500)");
    const Rows before = checksum(w.two, "orders");
    // Another session holds a differing row of #2: the change waits for it, and the user closes
    // the window meanwhile.
    platform::Connection holder;
    holder.open(w.two.connectionString().toStdString());
    holder.execute("START TRANSACTION");
    holder.execute("SELECT * FROM orders WHERE id = 1500 FOR UPDATE").close();
    QElapsedTimer sinceClose;
    w.t.dialogs.choices.push_back(Change);
    w.t.dialogs.onMessage = [&] {
        QTimer::singleShot(500, w.form.get(), [&] {
            QVERIFY(w.t.lock.busy());
            sinceClose.start();
            w.form->close();
        });
    };
    input::rightClick(w.form->ui().List1, QPoint(10, 10));
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, 3);
    w.t.runStarted();
    const qint64 afterClose = sinceClose.isValid() ? sinceClose.elapsed() : -1;
    QVERIFY2(afterClose >= 0 && afterClose < 1000, qPrintable(QString::number(afterClose)));
    QCOMPARE(w.t.dialogs.messages.size(), size_t(1)); // the plan; no box after the window is closed
    QVERIFY(!w.t.lock.busy());
    holder.execute("ROLLBACK");
    // Its transaction never committed: #2 is as it was, and its sessions go.
    QTRY_COMPARE_WITH_TIMEOUT(w.two.query("SELECT COUNT(*) FROM information_schema.processlist WHERE db = '"
                                          + w.two.name().toStdString() + "'")[0][0],
                              Cell("2"), 10000);
    QCOMPARE(checksum(w.two, "orders"), before);
}

void MakeMatchTest::betweenMariaDbAndMySql_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("MariaDB 10.11 to MySQL 9.7") << 1 << sandbox::MySqlServer;
    QTest::newRow("MySQL 9.7 to MariaDB 10.11") << sandbox::MySqlServer << 1;
}

void MakeMatchTest::betweenMariaDbAndMySql()
{
    QFETCH(int, from);
    QFETCH(int, to);
    if (const QString missing = sandbox::missingServer(sandbox::MySqlServer); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    ScratchDatabase source(from, QStringLiteral("mmmy1"));
    ScratchDatabase target(to, QStringLiteral("mmmy2"));
    for (const ScratchDatabase *db : {&source, &target}) {
        db->exec("CREATE TABLE m (code VARCHAR(20) NOT NULL, id INT NOT NULL, f DOUBLE, dt DATETIME(6), b VARBINARY(8), "
                 "PRIMARY KEY (code, id)) DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci");
        db->exec("INSERT INTO m WITH RECURSIVE s (n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 900) "
                 "SELECT CONCAT('c', n % 5), n, n * 0.25e0, '2024-02-29 12:00:00.5', UNHEX('00FF27') FROM s");
    }
    source.exec("UPDATE m SET code = 'Zoë 😀', f = 1.7976931348623157e308, b = X'5C00' WHERE id = 10");
    target.exec("UPDATE m SET f = -0.5 WHERE id IN (20, 30)");
    target.exec("DELETE FROM m WHERE id = 40");
    target.exec("INSERT INTO m VALUES ('only there', 1, NULL, NULL, NULL)");
    Harness h;
    h.dialogs.choices.push_back(Change);
    h.match(source, target, {QStringLiteral("m")});
    // The key of id 10 differs, so its row is one to remove and one to add.
    QVERIFY2(h.plan().contains(QStringLiteral("m: 2 rows to add, 2 to change, 2 to remove on #2")), qPrintable(h.plan()));
    QVERIFY2(h.box().contains(QStringLiteral("m: 2 added, 2 changed, 2 removed on #2")), qPrintable(h.box()));
    QVERIFY2(h.box().endsWith(QStringLiteral("m: same (900 rows)")), qPrintable(h.box()));
    const std::string read = "SELECT HEX(code), id, f, dt, HEX(b) FROM m WHERE id IN (10, 20, 40) ORDER BY id";
    QCOMPARE(target.query(read), source.query(read));
}

QTEST_MAIN(MakeMatchTest)
#include "tst_makematch.moc"
