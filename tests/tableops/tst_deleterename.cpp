// Dropping the selected tables and renaming one, on either side, against the real server.
#include "app/Pointer.h"
#include "platform/SqlQuoting.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tableops/DeleteTables.h"
#include "tables/Form2.h"
#include "tableops/RenameTable.h"
#include "sides/TableStatements.h"
#include "ui_Form2.h"

#include <QtTest>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableops;
using namespace tableswindow;
using namespace transfer;

namespace platform {
inline std::string backquotedUtf8(const QString &name) { return backquoted(name).toStdString(); }
} // namespace platform

namespace {

QString location(int side, const char *what)
{
    const int button = QByteArray(what) == "delete" ? (side == 1 ? 4 : 9) : (side == 1 ? 5 : 10);
    return QStringLiteral("in Tabulink2021/08/31.Form2.PushButton%1_Click ").arg(button);
}

struct Side {
    sandbox::ScratchDatabase db;
    PlainTableList list;
    ConnectionProfile profile;
    std::vector<QStringList> listAtEachConnection;
    FakeDialogs dialogs;
    FakePointer pointer;

    Side(int server, const QStringList &tables) : db(server, QStringLiteral("side")), profile(db.profile())
    {
        for (const QString &t : tables)
            db.exec("CREATE TABLE " + platform::backquotedUtf8(t) + " (v INT)");
        list = PlainTableList(tables);
    }
    TableSide side(int number, const char *what)
    {
        return {list,
                [this] {
                    listAtEachConnection.push_back(list.names);
                    return profile;
                },
                location(number, what)};
    }
};

} // namespace

class DeleteRenameTest : public QObject {
    Q_OBJECT
private slots:
    void dropStatementsOfBothSides();
    void deleteWithoutCurrentEntryAsksForOne_data();
    void deleteWithoutCurrentEntryAsksForOne();
    void deleteWithNothingSelectedDropsNothing();
    void deleteDropsBottomUpEachOnItsOwnConnection_data();
    void deleteDropsBottomUpEachOnItsOwnConnection();
    void tableAlreadyGoneIsReportedAndStaysListed();
    void wrongPasswordGivesOneReportPerTable();
    void deletingOneSideLeavesTheOtherList();
    void renameStatement();
    void renameNeedsExactlyOneSelectedTable();
    void renameCancelledOrEmptiedSendsNothing();
    void renameReplacesTheEntry_data();
    void renameReplacesTheEntry();
    void refusedRenameLeavesListAndServer();
    void oddNewNamesAreSentAsTyped();
};

void DeleteRenameTest::dropStatementsOfBothSides()
{
    QCOMPARE(dropTableStatement("orders", false), std::string("DROP TABLE `orders`"));
    QCOMPARE(dropTableStatement("orders", true), std::string("DROP TABLE `orders`;"));
    QCOMPARE(dropTableStatement("a`; DROP DATABASE x; --", false), std::string("DROP TABLE `a``; DROP DATABASE x; --`"));
}

void DeleteRenameTest::deleteWithoutCurrentEntryAsksForOne_data()
{
    QTest::addColumn<int>("side");
    QTest::newRow("side #1") << 1;
    QTest::newRow("side #2") << 2;
}

void DeleteRenameTest::deleteWithoutCurrentEntryAsksForOne()
{
    QFETCH(int, side);
    Side s(side, {QStringLiteral("a")});
    s.list.current = -1;
    s.list.select({QStringLiteral("a")});
    deleteTables(s.side(side, "delete"), side == 2, s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.texts(), QStringList{QStringLiteral("Please select a table")});
    QCOMPARE(s.dialogs.messages[0].style, 0);
    QVERIFY(s.pointer.history.empty());
    QVERIFY(s.listAtEachConnection.empty());
    QCOMPARE(s.db.tables(), QStringList{QStringLiteral("a")});
}

void DeleteRenameTest::deleteWithNothingSelectedDropsNothing()
{
    Side s(2, {QStringLiteral("a"), QStringLiteral("b")});
    deleteTables(s.side(2, "delete"), true, s.dialogs, s.pointer);
    QVERIFY(s.dialogs.messages.empty());
    QCOMPARE(s.pointer.history, (std::vector<int>{pointer::Busy, pointer::Default}));
    QCOMPARE(s.db.tables().size(), 2);
}

void DeleteRenameTest::deleteDropsBottomUpEachOnItsOwnConnection_data()
{
    deleteWithoutCurrentEntryAsksForOne_data();
}

void DeleteRenameTest::deleteDropsBottomUpEachOnItsOwnConnection()
{
    QFETCH(int, side);
    const QStringList all{QStringLiteral("t0"), QStringLiteral("t1"), QStringLiteral("t2"), QStringLiteral("t3"),
                          QStringLiteral("t4"), QStringLiteral("t5"), QStringLiteral("t6")};
    Side s(side, all);
    s.list.select({QStringLiteral("t1"), QStringLiteral("t4"), QStringLiteral("t6")});
    deleteTables(s.side(side, "delete"), side == 2, s.dialogs, s.pointer);
    QVERIFY(s.dialogs.messages.empty());
    // One connection per table, opened while the list still showed it: t6 first, then t4, then t1.
    QCOMPARE(s.listAtEachConnection.size(), size_t(3));
    QVERIFY(s.listAtEachConnection[0].contains(QStringLiteral("t6")));
    QVERIFY(!s.listAtEachConnection[1].contains(QStringLiteral("t6")) && s.listAtEachConnection[1].contains(QStringLiteral("t4")));
    QVERIFY(!s.listAtEachConnection[2].contains(QStringLiteral("t4")) && s.listAtEachConnection[2].contains(QStringLiteral("t1")));
    const QStringList left{QStringLiteral("t0"), QStringLiteral("t2"), QStringLiteral("t3"), QStringLiteral("t5")};
    QCOMPARE(s.list.names, left);
    QCOMPARE(s.db.tables(), left);
    QCOMPARE(s.pointer.current, pointer::Default);
}

void DeleteRenameTest::tableAlreadyGoneIsReportedAndStaysListed()
{
    Side s(1, {QStringLiteral("here"), QStringLiteral("gone")});
    s.db.exec("DROP TABLE gone");
    s.list.select({QStringLiteral("here"), QStringLiteral("gone")});
    deleteTables(s.side(1, "delete"), false, s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QVERIFY(s.dialogs.messages[0].text.startsWith(QStringLiteral("Unknown table")));
    QVERIFY(s.dialogs.messages[0].text.contains(location(1, "delete")));
    QCOMPARE(s.list.names, QStringList{QStringLiteral("gone")});
    QVERIFY(s.db.tables().isEmpty());
}

void DeleteRenameTest::wrongPasswordGivesOneReportPerTable()
{
    Side s(2, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    s.profile.password = QStringLiteral("wrong");
    s.list.select({QStringLiteral("a"), QStringLiteral("c")});
    deleteTables(s.side(2, "delete"), true, s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.messages.size(), size_t(2));
    for (const ShownMessage &m : s.dialogs.messages) {
        QVERIFY(m.text.startsWith(QStringLiteral("Access denied")));
        QCOMPARE(m.title, QStringLiteral("Application Error"));
    }
    QCOMPARE(s.list.names.size(), 3);
    QCOMPARE(s.db.tables().size(), 3);
    QCOMPARE(s.pointer.current, pointer::Default);
}

void DeleteRenameTest::deletingOneSideLeavesTheOtherList()
{
    sandbox::ScratchDatabase db(1, QStringLiteral("both"));
    db.exec("CREATE TABLE t (v INT)");
    TestServices t;
    const ProfilesFrom bothOnOne([&](int) { return db.profile(); }); // both logins on one database
    Form2 form(t.services, bothOnOne, [] {});
    form.ui().List1->addItem(QStringLiteral("t"));
    form.ui().List2->addItem(QStringLiteral("t"));
    form.ui().List1->item(0)->setSelected(true);
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    form.PushButton4_Click();
    QCOMPARE(form.ui().List1->count(), 0);
    QCOMPARE(form.ui().List2->count(), 1);
    QVERIFY(db.tables().isEmpty());
    QVERIFY(form.logPane().text().isEmpty()); // dropping writes nothing to the log
}

void DeleteRenameTest::renameStatement()
{
    QCOMPARE(renameTableStatement("orders", "orders_old"), std::string("RENAME TABLE `orders` TO `orders_old`"));
    QCOMPARE(renameTableStatement("a", "b`; DROP TABLE c"), std::string("RENAME TABLE `a` TO `b``; DROP TABLE c`"));
}

void DeleteRenameTest::renameNeedsExactlyOneSelectedTable()
{
    Side s(1, {QStringLiteral("a"), QStringLiteral("b")});
    s.list.current = -1;
    renameTable(s.side(1, "rename"), s.dialogs, s.pointer);
    s.list.current = 0;
    renameTable(s.side(1, "rename"), s.dialogs, s.pointer);
    s.list.select({QStringLiteral("a"), QStringLiteral("b")});
    renameTable(s.side(1, "rename"), s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.texts(), (QStringList{QStringLiteral("Please select a table"),
                                             QStringLiteral("Please select just one table to rename"),
                                             QStringLiteral("Please select just one table to rename")}));
    QVERIFY(s.dialogs.prompts.isEmpty());
    QVERIFY(s.pointer.history.empty());
}

void DeleteRenameTest::renameCancelledOrEmptiedSendsNothing()
{
    Side s(2, {QStringLiteral("a")});
    s.list.select({QStringLiteral("a")});
    s.dialogs.inputs = {QString(), QString()};
    renameTable(s.side(2, "rename"), s.dialogs, s.pointer);
    renameTable(s.side(2, "rename"), s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.prompts.size(), 2);
    QVERIFY(s.listAtEachConnection.empty());
    QVERIFY(s.pointer.history.empty());
    QCOMPARE(s.list.names, QStringList{QStringLiteral("a")});
    QCOMPARE(s.db.tables(), QStringList{QStringLiteral("a")});
}

void DeleteRenameTest::renameReplacesTheEntry_data() { deleteWithoutCurrentEntryAsksForOne_data(); }

void DeleteRenameTest::renameReplacesTheEntry()
{
    QFETCH(int, side);
    Side s(side, {QStringLiteral("orders"), QStringLiteral("items"), QStringLiteral("users")});
    s.list.select({QStringLiteral("orders")});
    s.dialogs.inputs = {QStringLiteral("orders_old")};
    renameTable(s.side(side, "rename"), s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.prompts, QStringList{QStringLiteral("Enter new name of orders:")});
    QCOMPARE(s.dialogs.presets, QStringList{QStringLiteral("orders")});
    QVERIFY(s.dialogs.messages.empty());
    QCOMPARE(s.list.names, (QStringList{QStringLiteral("items"), QStringLiteral("users"), QStringLiteral("orders_old")}));
    QVERIFY(!s.list.isSelected(2));
    QCOMPARE(s.db.tables(), (QStringList{QStringLiteral("items"), QStringLiteral("orders_old"), QStringLiteral("users")}));
    QCOMPARE(s.pointer.history, (std::vector<int>{pointer::Busy, pointer::Default}));
}

void DeleteRenameTest::refusedRenameLeavesListAndServer()
{
    Side s(1, {QStringLiteral("a"), QStringLiteral("b")});
    s.list.select({QStringLiteral("a")});
    s.dialogs.inputs = {QStringLiteral("b"), QStringLiteral("a")}; // exists already; same as the old name
    renameTable(s.side(1, "rename"), s.dialogs, s.pointer);
    renameTable(s.side(1, "rename"), s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.messages.size(), size_t(2));
    for (const ShownMessage &m : s.dialogs.messages) {
        QVERIFY(m.text.startsWith(QStringLiteral("Table '")));
        QVERIFY(m.text.contains(location(1, "rename")));
    }
    QCOMPARE(s.list.names, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(s.db.tables(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(s.pointer.current, pointer::Default);
}

void DeleteRenameTest::oddNewNamesAreSentAsTyped()
{
    Side s(2, {QStringLiteral("a"), QStringLiteral("b")});
    s.list.select({QStringLiteral("a")});
    s.dialogs.inputs = {QStringLiteral("we`ird name")};
    renameTable(s.side(2, "rename"), s.dialogs, s.pointer);
    QCOMPARE(s.db.tables(), (QStringList{QStringLiteral("b"), QStringLiteral("we`ird name")}));
    QCOMPARE(s.list.names, (QStringList{QStringLiteral("b"), QStringLiteral("we`ird name")}));

    s.list.select({QStringLiteral("b")});
    s.dialogs.inputs = {QStringLiteral("   ")}; // blanks only: sent as typed, and the server says no
    renameTable(s.side(2, "rename"), s.dialogs, s.pointer);
    QCOMPARE(s.dialogs.messages.size(), size_t(1));
    QCOMPARE(s.list.names, (QStringList{QStringLiteral("b"), QStringLiteral("we`ird name")}));
}

QTEST_MAIN(DeleteRenameTest)
#include "tst_deleterename.moc"
