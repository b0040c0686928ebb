// "Compare Table(s)" against the real servers: what it finds in each table, from either side, and
// that both servers are left as they were.
#include "CompareHarness.h"
#include "app/OperationLock.h"
#include "support/CopyHarness.h"
#include "support/Input.h"
#include "support/Lists.h"
#include "support/ManagerWindow.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "transfer/compare/DefinitionDiff.h"
#include "transfer/compare/TableCompare.h"
#include "transfer/compare/TableComparer.h"
#include "transfer/shared/Sessions.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QTimer>
#include <QtTest>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;


class CompareTest : public QObject {
    Q_OBJECT
private slots:
    void definitionsDifferOnlyWhereItMatters_data();
    void definitionsDifferOnlyWhereItMatters();
    void identicalTablesAreSame();
    void missingTablesFollowTheOtherServersNames();
    void aChangedDefaultShowsItsLine();
    void theMenusCompareFromEitherSide();
    void closingDuringACompareEndsItAtOnce();
};

void CompareTest::definitionsDifferOnlyWhereItMatters_data()
{
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("two");
    QTest::addColumn<QString>("lineOne"); // empty: the same
    QTest::addColumn<QString>("lineTwo");
    const QString base = QStringLiteral("CREATE TABLE `t` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n  `s` varchar(9) "
                                        "INVISIBLE DEFAULT NULL,\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB AUTO_INCREMENT=7 "
                                        "DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin COMMENT='a b'");
    // As another server writes the same table: its name in other letters, the next value, the
    // options in another order, INVISIBLE after the default.
    QTest::newRow("written otherwise")
        << base
        << QStringLiteral("CREATE TABLE `T` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n  `s` varchar(9) DEFAULT NULL "
                          "INVISIBLE,\n  PRIMARY KEY (`id`)\n) COMMENT='a b' DEFAULT CHARSET=utf8mb4 ENGINE=InnoDB "
                          "COLLATE=utf8mb4_bin")
        << QString() << QString();
    QString comment = base;
    comment.replace(QStringLiteral("COMMENT='a b'"), QStringLiteral("COMMENT='a AUTO_INCREMENT=9 b'"));
    QTest::newRow("text in a comment") << base << comment << QStringLiteral(") ENGINE=InnoDB AUTO_INCREMENT=7 DEFAULT "
                                                                            "CHARSET=utf8mb4 COLLATE=utf8mb4_bin COMMENT='a b'")
                                       << QStringLiteral(") ENGINE=InnoDB AUTO_INCREMENT=7 DEFAULT CHARSET=utf8mb4 "
                                                         "COLLATE=utf8mb4_bin COMMENT='a AUTO_INCREMENT=9 b'");
    QString key = base;
    key.replace(QStringLiteral("  PRIMARY KEY (`id`)\n"), QStringLiteral("  PRIMARY KEY (`id`),\n  KEY `s` (`s`)\n"));
    // The key itself is shown, not the comma before it.
    QTest::newRow("a key more") << base << key
                                << QStringLiteral(") ENGINE=InnoDB AUTO_INCREMENT=7 DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin COMMENT='a b'")
                                << QStringLiteral("  KEY `s` (`s`)");
    // The same table as MariaDB and MySQL 8 write it; then with one real change each.
    const QString maria = QStringLiteral(
        "CREATE TABLE `m` (\n  `id` int(11) NOT NULL,\n  `n` tinyint(4) DEFAULT 0,\n  `z` int(5) unsigned zerofill DEFAULT NULL,\n"
        "  `y` year(4) DEFAULT NULL,\n  `t` text DEFAULT NULL,\n  `c` varchar(9) NOT NULL DEFAULT '1',\n"
        "  `s` varchar(9) DEFAULT NULL INVISIBLE,\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci");
    const QString mysql = QStringLiteral(
        "CREATE TABLE `m` (\n  `id` int NOT NULL,\n  `n` tinyint DEFAULT '0',\n  `z` int(5) unsigned zerofill DEFAULT NULL,\n"
        "  `y` year DEFAULT NULL,\n  `t` text COLLATE utf8mb4_general_ci,\n"
        "  `c` varchar(9) COLLATE utf8mb4_general_ci NOT NULL DEFAULT '1',\n"
        "  `s` varchar(9) COLLATE utf8mb4_general_ci DEFAULT NULL /*!80023 INVISIBLE */,\n  PRIMARY KEY (`id`)\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci");
    QTest::newRow("MariaDB and MySQL spelling") << maria << mysql << QString() << QString();
    // MariaDB's JSON is a checked LONGTEXT; MySQL writes that check as a constraint of the table.
    const QString mariaJson = QStringLiteral(
        "CREATE TABLE `d` (\n  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`j`))\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci");
    const QString tail = QStringLiteral(") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci");
    QTest::newRow("JSON as MySQL has it") << mariaJson << QStringLiteral("CREATE TABLE `d` (\n  `j` json DEFAULT NULL\n") + tail
                                          << QString() << QString();
    QTest::newRow("MariaDB's JSON copied to MySQL")
        << mariaJson
        << QStringLiteral("CREATE TABLE `d` (\n  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin,\n"
                          "  CONSTRAINT `d_chk_1` CHECK (json_valid(`j`))\n")
               + tail
        << QString() << QString();
    QTest::newRow("a LONGTEXT unchecked is no JSON")
        << mariaJson << QStringLiteral("CREATE TABLE `d` (\n  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin\n") + tail
        << QStringLiteral("  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`j`))")
        << QStringLiteral("  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin");
    QTest::newRow("another column's check")
        << mariaJson
        << QStringLiteral("CREATE TABLE `d` (\n  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin,\n  `k` int,\n"
                          "  CONSTRAINT `d_chk_1` CHECK (json_valid(`k`))\n")
               + tail
        << QStringLiteral("  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`j`))")
        << QStringLiteral("  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin,");
    const auto changed = [&](const char *name, const char *from, const char *to, const char *line) {
        QString other = mysql;
        other.replace(QLatin1String(from), QLatin1String(to));
        QString shown = QString::fromLatin1(line);
        QString mine = QString::fromLatin1(line);
        mine.replace(QLatin1String(to), QLatin1String(from));
        QTest::newRow(name) << mysql << other << mine << shown;
    };
    changed("another collation", "`t` text COLLATE utf8mb4_general_ci", "`t` text COLLATE utf8mb4_bin",
            "  `t` text COLLATE utf8mb4_bin,");
    changed("another width with ZEROFILL", "int(5) unsigned zerofill", "int(6) unsigned zerofill",
            "  `z` int(6) unsigned zerofill DEFAULT NULL,");
    changed("another default", "NOT NULL DEFAULT '1'", "NOT NULL DEFAULT '2'",
            "  `c` varchar(9) COLLATE utf8mb4_general_ci NOT NULL DEFAULT '2',");
    changed("another type", "`n` tinyint DEFAULT '0'", "`n` smallint DEFAULT '0'", "  `n` smallint DEFAULT '0',");
    changed("NULL taken no more", "`y` year DEFAULT NULL", "`y` year NOT NULL", "  `y` year NOT NULL,");
}

void CompareTest::definitionsDifferOnlyWhereItMatters()
{
    QFETCH(QString, one);
    QFETCH(QString, two);
    QFETCH(QString, lineOne);
    QFETCH(QString, lineTwo);
    const transfer::DefinitionDifference d = transfer::compareDefinitions(one.toStdString(), two.toStdString());
    QCOMPARE(d.same, lineOne.isEmpty());
    QCOMPARE(QString::fromStdString(d.first), lineOne);
    QCOMPARE(QString::fromStdString(d.second), lineTwo);
}

void CompareTest::identicalTablesAreSame()
{
    ScratchDatabase one(1, QStringLiteral("cmpsame1"));
    ScratchDatabase two(2, QStringLiteral("cmpsame2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        createOrders(*db, 1000);
        // The sandbox's servers run in different time zones: one instant is the same TIMESTAMP.
        db->exec("CREATE TABLE plain (a INT, b TEXT, f FLOAT, d DATETIME(3), bits BIT(5), at TIMESTAMP(3) NULL) "
                 "ENGINE=MyISAM");
        db->exec("INSERT INTO plain VALUES (1, 'x', 1.5, '2024-02-29 12:00:00.125', b'10101', "
                 "FROM_UNIXTIME(1709208000.125)), (NULL, NULL, NULL, NULL, NULL, NULL), "
                 "(1, 'x', 1.5, '2024-02-29 12:00:00.125', b'10101', FROM_UNIXTIME(1709208000.125))");
        db->exec("CREATE VIEW recent AS SELECT id, v FROM orders WHERE id > 990");
    }
    // The next AUTO_INCREMENT value says nothing of what the table holds.
    two.exec("INSERT INTO orders (v) VALUES ('gone')");
    two.exec("DELETE FROM orders WHERE v = 'gone'");
    const Rows before = fingerprint(two, "orders");

    Harness h;
    h.compare(one, two, {QStringLiteral("orders"), QStringLiteral("plain"), QStringLiteral("recent")});
    QCOMPARE(h.line(QStringLiteral("orders")), QStringLiteral("-- orders: same (1,000 rows)"));
    QCOMPARE(h.line(QStringLiteral("plain")), QStringLiteral("-- plain: same (3 rows)"));
    QCOMPARE(h.line(QStringLiteral("recent")), QStringLiteral("-- recent: same (10 rows)"));
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QCOMPARE(h.box(), QStringLiteral("Same: orders, plain, recent.\r\rDiffer: none.\r\rMissing on #2: none."));
    QCOMPARE(fingerprint(two, "orders"), before);
    QCOMPARE(two.tables(), (QStringList{QStringLiteral("orders"), QStringLiteral("plain"), QStringLiteral("recent")}));
    QCOMPARE(h.pointer.current, app::pointer::Default);
    QCOMPARE(h.progress.value(), 0.0);
}

void CompareTest::missingTablesFollowTheOtherServersNames()
{
    ScratchDatabase one(1, QStringLiteral("cmpcase1"));
    ScratchDatabase two(2, QStringLiteral("cmpcase2"));
    // These servers tell letter case apart: Users and users are two tables.
    QCOMPARE(one.query("SELECT @@lower_case_table_names"), (Rows{{Cell("0")}}));
    one.exec("CREATE TABLE Users (id INT PRIMARY KEY, name TEXT)");
    one.exec("CREATE TABLE users (id INT PRIMARY KEY, name TEXT)");
    one.exec("INSERT INTO users VALUES (1, 'ann')");
    one.exec("CREATE TABLE solo (a INT)");
    two.exec("CREATE TABLE users (id INT PRIMARY KEY, name TEXT)");
    two.exec("INSERT INTO users VALUES (1, 'ann')");

    Harness h;
    h.compare(one, two, {QStringLiteral("Users"), QStringLiteral("solo"), QStringLiteral("users")});
    QCOMPARE(h.line(QStringLiteral("Users")), QStringLiteral("-- Users: missing on #2"));
    QCOMPARE(h.line(QStringLiteral("solo")), QStringLiteral("-- solo: missing on #2"));
    QCOMPARE(h.line(QStringLiteral("users")), QStringLiteral("-- users: same (1 row)"));
    QCOMPARE(h.box(), QStringLiteral("Same: users.\r\rDiffer: none.\r\rMissing on #2: Users, solo."));

    // From side #2 the other side is #1, which has both.
    Harness back;
    back.compare(two, one, {QStringLiteral("users")}, 2);
    QCOMPARE(back.line(QStringLiteral("users")), QStringLiteral("-- users: same (1 row)"));
    QCOMPARE(back.box(), QStringLiteral("Same: users.\r\rDiffer: none.\r\rMissing on #1: none."));
}

void CompareTest::aChangedDefaultShowsItsLine()
{
    ScratchDatabase one(1, QStringLiteral("cmpdef1"));
    ScratchDatabase two(2, QStringLiteral("cmpdef2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY, v INT DEFAULT 1, w TEXT) COMMENT='kept'");
    two.exec("CREATE TABLE t (id INT PRIMARY KEY, v INT DEFAULT 2, w TEXT) COMMENT='kept'");
    for (const ScratchDatabase *db : {&one, &two})
        db->exec("INSERT INTO t VALUES (1, 5, 'a'), (2, 6, 'b')");

    Harness h;
    h.compare(one, two, {QStringLiteral("t")});
    QCOMPARE(h.line(QStringLiteral("t")), QStringLiteral("-- t: definition differs: #1 \"`v` int(11) DEFAULT 1,\", "
                                                         "#2 \"`v` int(11) DEFAULT 2,\"; rows same (2 rows)"));
    QCOMPARE(h.box(), QStringLiteral("Same: none.\r\rDiffer: t.\r\rMissing on #2: none."));

    // From side #2 each line stays with its own side's number.
    Harness back;
    back.compare(two, one, {QStringLiteral("t")}, 2);
    QCOMPARE(back.line(QStringLiteral("t")), h.line(QStringLiteral("t")));

    // A view on one side where the other has a table, of the same rows.
    one.exec("CREATE TABLE u (id INT PRIMARY KEY, v INT)");
    one.exec("INSERT INTO u VALUES (1, 5), (2, 6)");
    two.exec("CREATE VIEW u AS SELECT id, v FROM t");
    Harness kinds;
    kinds.compare(one, two, {QStringLiteral("u")});
    QCOMPARE(kinds.line(QStringLiteral("u")),
             QStringLiteral("-- u: definition differs: #1 \"BASE TABLE\", #2 \"VIEW\"; rows same (2 rows)"));
}

namespace {

// The table manager as a person uses it, the operations serving the windows.
struct Window : ManagerWindow {
    Window() : ManagerWindow(QStringLiteral("cmpwin"))
    {
        createOrders(one, 2000);
        createOrders(two, 2000);
        two.exec("UPDATE orders SET v = 'other' WHERE id = 1234");
        show({QStringLiteral("orders")}, {QStringLiteral("orders")});
    }
};

} // namespace

void CompareTest::theMenusCompareFromEitherSide()
{
    Window w;
    const QStringList owners{QStringLiteral("List1"), QStringLiteral("PushButton3"), QStringLiteral("List2"),
                             QStringLiteral("PushButton8")};
    int compares = 0;
    for (const QString &owner : owners) {
        auto *widget = w.form->findChild<QWidget *>(owner);
        QVERIFY(widget);
        const bool fromOne = owner.endsWith(u'1') || owner.endsWith(u'3');
        const QString other = fromOne ? QStringLiteral("MySQL #2") : QStringLiteral("MySQL #1");
        for (bool byKeys : {true, false}) {
            if (byKeys)
                input::rightClick(widget, QPoint(10, 10));
            else
                input::pressMenuKey(widget);
            QMenu *menu = input::openMenu();
            QVERIFY(menu);
            QCOMPARE(menu->actions().size(), 4);
            QCOMPARE(menu->actions()[2]->text(), QStringLiteral("Compare Table(s) with ") + other);
            if (byKeys)
                input::chooseByKeys(menu, 2);
            else
                input::chooseByMouse(menu, 2);
            w.t.runStarted();
            ++compares;
            QCOMPARE(w.t.dialogs.messages.size(), size_t(compares));
            QCOMPARE(w.t.dialogs.messages.back().text,
                     QStringLiteral("Same: none.\r\rDiffer: orders.\r\rMissing on #") + (fromOne ? u'2' : u'1')
                         + QStringLiteral(": none."));
        }
    }
    QCOMPARE(w.log().count(QStringLiteral("-- orders: rows differ: 1 of 2,000 (keys 1234 differs)")), 8);
    QVERIFY(!w.t.lock.busy());
    QCOMPARE(w.form->ui().ProgressBar1->value(), 0);
    // Nothing was copied or dropped: each side still has its own rows.
    QCOMPARE(w.two.query("SELECT v FROM orders WHERE id = 1234"), (Rows{{Cell("other")}}));
    QCOMPARE(w.one.query("SELECT v FROM orders WHERE id = 1234"), (Rows{{Cell("v1234")}}));

    // With nothing selected it asks for a table, as a copy does.
    w.form->ui().List1->clearSelection();
    w.form->ui().List1->setCurrentRow(-1);
    input::rightClick(w.form->ui().PushButton3);
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, 2);
    w.t.runStarted();
    QCOMPARE(w.t.dialogs.messages.back().text, QStringLiteral("Please select a table."));
}

void CompareTest::closingDuringACompareEndsItAtOnce()
{
    Window w;
    const Rows before = fingerprint(w.two, "orders");
    // Another session holds the table of #2 for writing: the comparison waits for it, and the user
    // closes the window meanwhile.
    platform::Connection lock;
    lock.open(sandbox::serverConnectionString(2));
    lock.execute("LOCK TABLES `" + w.two.name().toStdString() + "`.orders WRITE");
    QElapsedTimer sinceClose;
    QTimer::singleShot(500, w.form.get(), [&] {
        QVERIFY(w.t.lock.busy());
        sinceClose.start();
        w.form->close();
    });
    QElapsedTimer whole;
    whole.start();
    input::rightClick(w.form->ui().List1, QPoint(10, 10));
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, 2);
    w.t.runStarted();
    const qint64 afterClose = sinceClose.isValid() ? sinceClose.elapsed() : -1;
    QVERIFY2(afterClose >= 0 && afterClose < 1000, qPrintable(QString::number(afterClose)));
    QVERIFY(whole.elapsed() < 3000);
    QCOMPARE(w.t.endRequests, 1);
    QVERIFY(w.t.dialogs.messages.empty()); // no box after the window is closed
    QVERIFY(!w.t.lock.busy());
    lock.execute("UNLOCK TABLES");
    QCOMPARE(fingerprint(w.two, "orders"), before);
    // The comparison's sessions go once the table is free; none is left reading.
    QTRY_COMPARE_WITH_TIMEOUT(w.two.query("SELECT COUNT(*) FROM information_schema.processlist WHERE db = '"
                                          + w.two.name().toStdString() + "'")[0][0],
                              Cell("1"), 10000);
}

QTEST_MAIN(CompareTest)
#include "tst_compare.moc"
