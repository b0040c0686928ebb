// Every button of the table manager that touches a server, clicked in the real window against the
// real servers: each works on its own side, with its own login, its own location when it fails,
// and sends exactly what its side sends.
#include "support/Fakes.h"
#include "support/Lists.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "support/WireRecorder.h"
#include "tables/Form2.h"
#include "ui_Form2.h"

#include <QtTest>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;
using tableswindow::Form2;

namespace {

// Side #1 on one database of server 1, side #2 on one of server 2, each with tables a and b.
struct Window {
    ScratchDatabase one{1, QStringLiteral("btn1")};
    ScratchDatabase two{2, QStringLiteral("btn2")};
    sides::ConnectionProfile first = one.profile();
    sides::ConnectionProfile second = two.profile();
    ProfilesFrom profiles{[this](int side) { return side == 1 ? first : second; }};
    TestServices t;
    Form2 form{t.services, profiles, [] {}};

    Window()
    {
        for (const ScratchDatabase *db : {&one, &two}) {
            db->exec("CREATE TABLE a (v INT)");
            db->exec("INSERT INTO a VALUES (1)");
            db->exec("CREATE TABLE b (v INT)");
        }
        form.ui().List1->addItems({QStringLiteral("a"), QStringLiteral("b")});
        form.ui().List2->addItems({QStringLiteral("a"), QStringLiteral("b")});
        form.show();
    }
    void click(QPushButton *button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        t.runStarted();
    }
};

} // namespace

class ButtonsTest : public QObject {
    Q_OBJECT
private slots:
    void deleteButtonsDropOnTheirOwnSide();
    void renameButtonsRenameOnTheirOwnSide();
    void sendButtonsCopyTheirOwnWay();
    void eachButtonNamesItselfWhenItsLoginFails_data();
    void eachButtonNamesItselfWhenItsLoginFails();
};

void ButtonsTest::deleteButtonsDropOnTheirOwnSide()
{
    Window w;
    // Each side reaches its server through a relay that keeps the statements as they went over
    // the wire: the servers' own logs drop a closing semicolon before they write a statement.
    WireRecorder wire1(w.first.server, w.first.port.toInt());
    WireRecorder wire2(w.second.server, w.second.port.toInt());
    w.first.port = QString::number(wire1.port());
    w.second.port = QString::number(wire2.port());
    const auto drops = [](const WireRecorder &wire) {
        std::vector<std::string> out;
        for (const std::string &q : wire.queries())
            if (q.rfind("DROP", 0) == 0)
                out.push_back(q);
        return out;
    };

    selectOnly(w.form.ui().List1, QStringLiteral("a"));
    w.click(w.form.ui().PushButton4);
    QCOMPARE(w.one.tables(), QStringList{QStringLiteral("b")});
    QCOMPARE(w.two.tables(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(listTexts(w.form.ui().List1), QStringList{QStringLiteral("b")});

    selectOnly(w.form.ui().List2, QStringLiteral("b"));
    w.click(w.form.ui().PushButton9);
    QCOMPARE(w.two.tables(), QStringList{QStringLiteral("a")});
    QCOMPARE(listTexts(w.form.ui().List2), QStringList{QStringLiteral("a")});
    QCOMPARE(w.one.tables(), QStringList{QStringLiteral("b")});
    QVERIFY(w.t.dialogs.messages.empty());
    // Side #1's drop has no closing semicolon, side #2's has one; each reached only its own server.
    QCOMPARE(drops(wire1), std::vector<std::string>{"DROP TABLE `a`"});
    QCOMPARE(drops(wire2), std::vector<std::string>{"DROP TABLE `b`;"});
}

void ButtonsTest::renameButtonsRenameOnTheirOwnSide()
{
    Window w;
    selectOnly(w.form.ui().List1, QStringLiteral("a"));
    w.t.dialogs.inputs = {QStringLiteral("a_one")};
    w.click(w.form.ui().PushButton5);
    QCOMPARE(w.one.tables(), (QStringList{QStringLiteral("a_one"), QStringLiteral("b")}));
    QCOMPARE(w.two.tables(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    selectOnly(w.form.ui().List2, QStringLiteral("b"));
    w.t.dialogs.inputs = {QStringLiteral("b_two")};
    w.click(w.form.ui().PushButton10);
    QCOMPARE(w.two.tables(), (QStringList{QStringLiteral("a"), QStringLiteral("b_two")}));
    QCOMPARE(w.t.dialogs.prompts, (QStringList{QStringLiteral("Enter new name of a:"),
                                               QStringLiteral("Enter new name of b:")}));
    QCOMPARE(listTexts(w.form.ui().List1), (QStringList{QStringLiteral("b"), QStringLiteral("a_one")}));
    QCOMPARE(listTexts(w.form.ui().List2), (QStringList{QStringLiteral("a"), QStringLiteral("b_two")}));
}

void ButtonsTest::sendButtonsCopyTheirOwnWay()
{
    Window w;
    w.one.exec("CREATE TABLE only_one (v VARCHAR(5))");
    w.one.exec("INSERT INTO only_one VALUES ('1to2')");
    w.form.ui().List1->addItem(QStringLiteral("only_one"));
    selectOnly(w.form.ui().List1, QStringLiteral("only_one"));
    w.click(w.form.ui().PushButton3);
    QCOMPARE(w.two.query("SELECT v FROM only_one"), (Rows{{Cell("1to2")}}));

    w.two.exec("CREATE TABLE only_two (v VARCHAR(5))");
    w.two.exec("INSERT INTO only_two VALUES ('2to1')");
    w.form.ui().List2->addItem(QStringLiteral("only_two"));
    selectOnly(w.form.ui().List2, QStringLiteral("only_two"));
    w.click(w.form.ui().PushButton8);
    QCOMPARE(w.one.query("SELECT v FROM only_two"), (Rows{{Cell("2to1")}}));
    QVERIFY(w.t.dialogs.messages.empty());
    QVERIFY(listTexts(w.form.ui().List1).contains(QStringLiteral("only_two")));
    QVERIFY(w.form.logPane().text().contains(QStringLiteral("INSERT INTO `only_two` VALUES('2to1')")));
}

void ButtonsTest::eachButtonNamesItselfWhenItsLoginFails_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("line");
    QTest::newRow("PushButton3") << QStringLiteral("PushButton3") << 1 << 106;
    QTest::newRow("PushButton8") << QStringLiteral("PushButton8") << 2 << 106;
    QTest::newRow("PushButton4") << QStringLiteral("PushButton4") << 1 << 108;
    QTest::newRow("PushButton9") << QStringLiteral("PushButton9") << 2 << 108;
    QTest::newRow("PushButton5") << QStringLiteral("PushButton5") << 1 << 116;
    QTest::newRow("PushButton10") << QStringLiteral("PushButton10") << 2 << 116;
}

void ButtonsTest::eachButtonNamesItselfWhenItsLoginFails()
{
    QFETCH(QString, button);
    QFETCH(int, side);
    QFETCH(int, line);
    Window w;
    // Only the button's own side has a wrong password: a failure shows it read that side's login.
    (side == 1 ? w.first : w.second).password = QStringLiteral("wrong");
    selectOnly(side == 1 ? w.form.ui().List1 : w.form.ui().List2, QStringLiteral("a"));
    w.t.dialogs.inputs = {QStringLiteral("renamed")};
    w.click(w.form.findChild<QPushButton *>(button));
    QVERIFY(!w.t.dialogs.messages.empty());
    const QString report = w.t.dialogs.messages.back().text;
    QVERIFY2(report.contains(QStringLiteral("in Tabulink2021/08/31.Form2.%1_Click at line %2").arg(button).arg(line)),
             qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("Access denied")));
    // Nothing changed on either side.
    QCOMPARE(w.one.tables(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(w.two.tables(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

QTEST_MAIN(ButtonsTest)
#include "tst_buttons.moc"
