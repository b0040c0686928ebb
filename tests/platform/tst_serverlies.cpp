// A server that lies: it answers the program's statements with a request for a file of the user's,
// or a login with a request for the password in clear. Nothing of the user's may reach it, and
// each attempt ends in one clear report. Operations are started through the windows.
#include "connect/Form1.h"
#include "support/Input.h"
#include "support/Lists.h"
#include "support/LyingServer.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using sandbox::ScratchDatabase;
using tableswindow::Form2;

namespace {

const QByteArray Canary = "canary-7f3a9: the user's private bytes";

// A file of the user's that no server may read.
struct CanaryFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("secret.txt"));
    CanaryFile()
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(Canary);
    }
};

// Side #1 through the lying server in front of server 1, side #2 on server 2.
struct LyingSide {
    ScratchDatabase one{1, QStringLiteral("lie1")};
    ScratchDatabase two{2, QStringLiteral("lie2")};
    LyingServer liar{one.profile().server, one.profile().port.toInt()};
    CanaryFile canary;
    sides::ConnectionProfile first = one.profile();
    ProfilesFrom profiles{[this](int side) { return side == 1 ? first : two.profile(); }};
    TestServices t;
    Form2 form{t.services, profiles, [] {}};

    LyingSide()
    {
        first.port = QString::number(liar.port());
        one.exec("CREATE TABLE t (v INT)");
        one.exec("INSERT INTO t VALUES (1), (2)");
        two.exec("CREATE TABLE w (v INT)");
        two.exec("INSERT INTO w VALUES (3)");
        form.ui().List1->addItem(QStringLiteral("t"));
        form.ui().List2->addItem(QStringLiteral("w"));
        selectOnly(form.ui().List1, QStringLiteral("t"));
        selectOnly(form.ui().List2, QStringLiteral("w"));
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qWarning("the table manager was not shown");
    }

    void click(QPushButton *button)
    {
        input::click(button);
        t.runStarted();
    }

    // The entry of List1's menu, opened by a right-click and chosen by arrows and Return.
    void chooseInMenu(int entry)
    {
        input::rightClick(form.ui().List1, QPoint(10, 10));
        QMenu *menu = input::openMenu();
        QVERIFY(menu);
        input::chooseByKeys(menu, entry);
        t.runStarted();
    }
};

// The connection window, shown, with side #1's login typed in to reach its server through the liar.
struct WindowThroughLiar {
    TestServices t;
    connectwindow::Form1 form1{t.services, Form2::factory(t.services)};
    Ui::Form1 &ui = form1.ui();

    WindowThroughLiar(const ScratchDatabase &one, const LyingServer &liar)
    {
        form1.Form_Load(); // the default logins do not connect: it stays on the connection window
        form1.show();
        if (!QTest::qWaitForWindowExposed(&form1))
            qWarning("the connection window was not shown");
        sides::ConnectionProfile p = one.profile();
        p.port = QString::number(liar.port());
        typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, p);
    }
};

} // namespace

class ServerLiesTest : public QObject {
    Q_OBJECT
private slots:
    void noFileLeavesWhateverStatementItAnswers_data();
    void noFileLeavesWhateverStatementItAnswers();
    void theBulkLoadServesOnlyItsOwnRows();
    void theListingAtNextSendsNoFile();
    void noPasswordGoesOutInClear_data();
    void noPasswordGoesOutInClear();
    void serverTextIsNeverSql_data();
    void serverTextIsNeverSql();
    void aViewDefinitionThatIsAnotherStatementIsRefused();
    void aTimeWithMoreBehindItWritesNoHistory();
    void aComparisonTakesNoFigureOnTrust_data();
    void aComparisonTakesNoFigureOnTrust();
    void anAnswerWithoutEndIsStopped_data();
    void anAnswerWithoutEndIsStopped();
};

void ServerLiesTest::noFileLeavesWhateverStatementItAnswers_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("button");
    QTest::newRow("DESCRIBE of a copy") << QStringLiteral("DESCRIBE") << QStringLiteral("PushButton3");
    QTest::newRow("SELECT of a copy") << QStringLiteral("SELECT `") << QStringLiteral("PushButton3");
    QTest::newRow("DROP of Delete") << QStringLiteral("DROP") << QStringLiteral("PushButton4");
    QTest::newRow("RENAME of Rename") << QStringLiteral("RENAME") << QStringLiteral("PushButton5");
    QTest::newRow("INSERT of a copy into it") << QStringLiteral("INSERT") << QStringLiteral("PushButton8");
}

void ServerLiesTest::noFileLeavesWhateverStatementItAnswers()
{
    QFETCH(QString, prefix);
    QFETCH(QString, button);
    LyingSide s;
    s.liar.askForFileOn(prefix.toStdString(), s.canary.path.toStdString());
    if (button == QStringLiteral("PushButton5"))
        s.t.dialogs.inputs.push_back(QStringLiteral("t2"));
    s.click(s.form.findChild<QPushButton *>(button));

    QCOMPARE(s.liar.requestsMade(), 1);
    QVERIFY(s.liar.answers().find(Canary.toStdString()) == std::string::npos);
    QVERIFY(s.liar.answers().empty());
    // One report, and it says what the server asked for.
    const QStringList texts = s.t.dialogs.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].contains(QStringLiteral("asked this computer for")), qPrintable(texts[0]));
    QVERIFY2(texts[0].contains(s.first.port), qPrintable(texts[0]));
}

void ServerLiesTest::theBulkLoadServesOnlyItsOwnRows()
{
    // The complete copy into side #1: its one connection that may send a file is asked for another.
    LyingSide s;
    s.liar.askForFileOn("LOAD DATA", s.canary.path.toStdString());
    input::rightClick(s.form.ui().List2, QPoint(10, 10));
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, 1);
    s.t.runStarted();

    QCOMPARE(s.liar.requestsMade(), 1);
    QVERIFY(s.liar.answers().empty());
    const QString all = s.t.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("asked this computer for the file '") + s.canary.path + u'\''),
             qPrintable(all));
    QVERIFY(s.form.ui().Text1->text().contains(QStringLiteral("LOAD DATA LOCAL INFILE 'rows'")));
    // Nothing half made is left behind under the table's name.
    QVERIFY(!s.one.tables().contains(QStringLiteral("w")));
}

void ServerLiesTest::theListingAtNextSendsNoFile()
{
    ScratchDatabase one(1, QStringLiteral("lielist1"));
    ScratchDatabase two(2, QStringLiteral("lielist2"));
    LyingServer liar(one.profile().server, one.profile().port.toInt());
    CanaryFile canary;
    liar.askForFileOn("SHOW TABLES", canary.path.toStdString());
    WindowThroughLiar w(one, liar);
    typeProfile(w.ui.Text5, w.ui.Text6, w.ui.Text7, w.ui.Text8, w.ui.Text10, two.profile());
    input::click(w.ui.PushButton2); // Next >
    w.t.runStarted();
    const TestServices &t = w.t;
    QCOMPARE(liar.requestsMade(), 1);
    QVERIFY(liar.answers().empty());
    QCOMPARE(t.dialogs.texts().size(), 1);
    QVERIFY2(t.dialogs.texts()[0].contains(QStringLiteral("The server 127.0.0.1:") + QString::number(liar.port())
                                           + QStringLiteral(" asked this computer for a file")),
             qPrintable(t.dialogs.texts()[0]));
}

void ServerLiesTest::noPasswordGoesOutInClear_data()
{
    QTest::addColumn<QString>("plugin");
    // The clear-text ones, and those that ask a server without TLS for its key to encrypt it with.
    for (const char *plugin : {"mysql_clear_password", "dialog", "caching_sha2_password", "sha256_password"})
        QTest::newRow(plugin) << QString::fromLatin1(plugin);
}

void ServerLiesTest::noPasswordGoesOutInClear()
{
    QFETCH(QString, plugin);
    ScratchDatabase one(1, QStringLiteral("liepw"));
    LyingServer liar(one.profile().server, one.profile().port.toInt());
    liar.askToSwitchTo(plugin.toStdString());
    WindowThroughLiar w(one, liar);
    input::click(w.ui.PushButton3); // Test Connection of side #1
    w.t.runStarted();
    const TestServices &t = w.t;
    const sides::ConnectionProfile p = one.profile();
    QCOMPARE(liar.requestsMade(), 1);
    QVERIFY(liar.answers().find(p.password.toStdString()) == std::string::npos);
    // caching_sha2's first answer is a scramble, which gives nothing away; the liar then asks for
    // the full authentication. After that, nothing: no password, not even a request for the key.
    QVERIFY(liar.answers().empty());
    if (plugin == QStringLiteral("caching_sha2_password"))
        QCOMPARE(liar.scrambles().size(), size_t(32));
    QCOMPARE(t.dialogs.texts().size(), 1);
    QCOMPARE(t.dialogs.texts()[0].left(16), QStringLiteral("Could not connec"));
    if (plugin != QStringLiteral("dialog"))
        QVERIFY2(t.dialogs.texts()[0].contains(QStringLiteral("asked for the password itself on a connection without TLS")),
                 qPrintable(t.dialogs.texts()[0]));
}

void ServerLiesTest::serverTextIsNeverSql_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<int>("entry"); // 0: Send Table(s) from side #1, 1: Send Complete, 2: Send from side #2 into it
    QTest::addColumn<QString>("said");
    const QStringList describe{QStringLiteral("Field"), QStringLiteral("Type"), QStringLiteral("Null"),
                               QStringLiteral("Key"), QStringLiteral("Default"), QStringLiteral("Extra")};
    QTest::newRow("a statement in a type") << QStringLiteral("DESCRIBE") << describe
                                           << QStringList{QStringLiteral("v"), QStringLiteral("int) SELECT 1 #"),
                                                          QStringLiteral("YES"), {}, {}, {}}
                                           << 0 << QStringLiteral("which is not a column type");
    QTest::newRow("a quote closed early in an ENUM")
        << QStringLiteral("DESCRIBE") << describe
        << QStringList{QStringLiteral("v"), QStringLiteral("enum('a\\'), w INT, x ENUM('b')"), QStringLiteral("YES"),
                       {}, {}, {}}
        << 0 << QStringLiteral("which is not a column type");
    QTest::newRow("two statements in SHOW CREATE TABLE")
        << QStringLiteral("SHOW CREATE TABLE") << QStringList{QStringLiteral("Table"), QStringLiteral("Create Table")}
        << QStringList{QStringLiteral("t"),
                       QStringLiteral("CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB; DROP TABLE `w`")}
        << 1 << QStringLiteral("made of more than one statement");
    QTest::newRow("a foreign key with more behind it")
        << QStringLiteral("SHOW CREATE TABLE") << QStringList{QStringLiteral("Table"), QStringLiteral("Create Table")}
        << QStringList{QStringLiteral("t"),
                       QStringLiteral("CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL,\n  CONSTRAINT `f` FOREIGN KEY "
                                      "(`v`) REFERENCES `w` (`v`), DROP COLUMN `v`\n) ENGINE=InnoDB")}
        << 1 << QStringLiteral("a foreign key of t that is not one");
    // One statement, but one that reads the destination's own tables into the copy, or reaches out.
    const QStringList createColumns{QStringLiteral("Table"), QStringLiteral("Create Table")};
    const auto definition = [&](const char *name, const char *create, const char *said) {
        QTest::newRow(name) << QStringLiteral("SHOW CREATE TABLE") << createColumns
                            << QStringList{QStringLiteral("t"), QString::fromUtf8(create)} << 1 << QString::fromUtf8(said);
    };
    definition("a SELECT of the destination's accounts after the definition",
               "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB SELECT user AS v, authentication_string "
               "FROM mysql.global_priv",
               "ends in SELECT");
    definition("AS SELECT", "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB AS SELECT 1 AS v",
               "ends in AS");
    definition("a CONNECTION to another server",
               "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB CONNECTION='mysql://u@10.0.0.1/db/t'",
               "has the option CONNECTION");
    definition("a FEDERATED engine", "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=FEDERATED",
               "uses the engine FEDERATED");
    definition("a DATA DIRECTORY",
               "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB DATA DIRECTORY='/etc'",
               "has the option DATA DIRECTORY");
    definition("a partition in another directory",
               "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB\n PARTITION BY HASH (`v`)\n"
               "(PARTITION `p0` DATA DIRECTORY = '/var/tmp' ENGINE = InnoDB)",
               "has a partition with a DATA or INDEX DIRECTORY");
    definition("a line that is not a column",
               "CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL,\n  SELECT 1\n) ENGINE=InnoDB",
               "which is not a column, key or constraint");
    QTest::newRow("a row count in words") << QStringLiteral("SELECT COUNT(*)") << QStringList{QStringLiteral("COUNT(*)")}
                                          << QStringList{QStringLiteral("many")} << 0
                                          << QStringLiteral("a row count of t as \"many\"");
    const QStringList session{QStringLiteral("@@SESSION.sql_mode"), QStringLiteral("@@max_allowed_packet")};
    QTest::newRow("a max_allowed_packet of -1")
        << QStringLiteral("SELECT @@SESSION.sql_mode") << session
        << QStringList{QStringLiteral("STRICT_TRANS_TABLES"), QStringLiteral("-1")} << 2
        << QStringLiteral("max_allowed_packet as \"-1\"");
    QTest::newRow("an sql_mode with a quote in it")
        << QStringLiteral("SELECT @@SESSION.sql_mode") << session
        << QStringList{QStringLiteral("STRICT_TRANS_TABLES', time_zone = '+01:00"), QStringLiteral("1048576")} << 2
        << QStringLiteral("which is not a list of modes");
}

void ServerLiesTest::serverTextIsNeverSql()
{
    QFETCH(QString, prefix);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, row);
    QFETCH(int, entry);
    QFETCH(QString, said);
    LyingSide s;
    std::vector<std::string> names;
    for (const QString &c : columns)
        names.push_back(c.toStdString());
    LyingServer::Row values;
    for (const QString &v : row)
        values.push_back(v.isNull() ? std::nullopt : std::optional<std::string>(v.toStdString()));
    s.liar.answerWith(prefix.toStdString(), names, {values});
    if (entry == 2) {
        s.click(s.form.ui().PushButton8);
    } else {
        s.chooseInMenu(entry);
    }
    QCOMPARE(s.liar.requestsMade(), 1);
    const QString all = s.t.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(said), qPrintable(all));
    QVERIFY2(all.contains(s.first.port), qPrintable(all)); // names the server that sent it
    QVERIFY(!all.contains(QStringLiteral("stoll")));
    // Nothing of it reached the other server: no table made there, the one there untouched.
    if (entry == 2) {
        QVERIFY(!s.one.tables().contains(QStringLiteral("w")));
    } else {
        // The plain copy makes the table before it counts the rows: it stays, empty, as after any
        // failed read.
        const QStringList made = prefix.startsWith(QStringLiteral("SELECT COUNT")) ? QStringList{QStringLiteral("t")}
                                                                                   : QStringList{};
        QCOMPARE(s.two.tables(), made + QStringList{QStringLiteral("w")});
        if (!made.isEmpty())
            QCOMPARE(s.two.query("SELECT COUNT(*) FROM t")[0][0], sandbox::Cell("0"));
        QCOMPARE(s.two.query("SELECT v FROM w")[0][0], sandbox::Cell("3"));
    }
}

void ServerLiesTest::aViewDefinitionThatIsAnotherStatementIsRefused()
{
    LyingSide s;
    // The source says t is a view, and sends for its definition a statement that makes an account.
    s.liar.answerWith("SELECT TABLE_TYPE, IFNULL(ENGINE", {"TABLE_TYPE", "ENGINE", "TABLE_ROWS"},
                      {{std::optional<std::string>("VIEW"), std::optional<std::string>(""), std::optional<std::string>("0")}});
    s.liar.answerWith("SHOW CREATE VIEW", {"View", "Create View", "character_set_client", "collation_connection"},
                      {{std::optional<std::string>("t"),
                        std::optional<std::string>("CREATE USER `liar_made`@`%` IDENTIFIED BY ' VIEW `t` AS SELECT 1'"),
                        std::optional<std::string>("utf8mb4"), std::optional<std::string>("utf8mb4_general_ci")}});
    s.chooseInMenu(1);
    const QString all = s.t.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("a definition of the view t that is not one")), qPrintable(all));
    QCOMPARE(s.two.query("SELECT COUNT(*) FROM mysql.user WHERE User = 'liar_made'")[0][0], sandbox::Cell("0"));
}

// The destination's greatest time goes into the load of a system-versioned table's history: sent
// back with a statement behind it, it is not taken, and the table goes with its current rows.
void ServerLiesTest::aTimeWithMoreBehindItWritesNoHistory()
{
    LyingSide s;
    s.two.exec("CREATE TABLE h (id INT PRIMARY KEY, v INT) WITH SYSTEM VERSIONING");
    s.two.exec("INSERT INTO h VALUES (1, 10), (2, 20)");
    s.two.exec("UPDATE h SET v = 11 WHERE id = 1");
    s.form.ui().List2->addItem(QStringLiteral("h"));
    selectOnly(s.form.ui().List2, QStringLiteral("h"));
    s.liar.answerWith("SELECT IFNULL(FROM_UNIXTIME(", {"t"},
                      {{std::optional<std::string>("2038-01-19 03:14:07.999999'), `v` = (SELECT 99), `id` = ('3")}});
    input::rightClick(s.form.ui().List2, QPoint(10, 10));
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, 1); // Send Complete Table(s) to MySQL #1
    s.t.runStarted();
    QCOMPARE(s.liar.requestsMade(), 1);
    const QString all = s.t.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("h: the destination cannot be given its history: current rows only")),
             qPrintable(all));
    QCOMPARE(s.one.query("SELECT id, v FROM h ORDER BY id"), (sandbox::Rows{{sandbox::Cell("1"), sandbox::Cell("11")}, {sandbox::Cell("2"), sandbox::Cell("20")}}));
    QCOMPARE(s.one.query("SELECT COUNT(*) FROM h FOR SYSTEM_TIME ALL")[0][0], sandbox::Cell("2"));
}

void ServerLiesTest::aComparisonTakesNoFigureOnTrust_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("row");
    QTest::newRow("a statement for a key") << QStringLiteral("SELECT MIN(")
                                           << QStringList{QStringLiteral("1 OR 1; DROP TABLE w"), QStringLiteral("200")};
    const QString parts = QStringLiteral("(SELECT 1, COUNT(*)");
    QTest::newRow("a part that was not asked for") << parts
                                                   << QStringList{QStringLiteral("9999"), QStringLiteral("200"), QStringLiteral("5")};
    QTest::newRow("parts that hold fewer rows than are there")
        << parts << QStringList{QStringLiteral("1"), QStringLiteral("7"), QStringLiteral("5")};
    QTest::newRow("a count in words") << parts
                                      << QStringList{QStringLiteral("1"), QStringLiteral("many"), QStringLiteral("5")};
}

void ServerLiesTest::aComparisonTakesNoFigureOnTrust()
{
    QFETCH(QString, prefix);
    QFETCH(QStringList, row);
    LyingSide s;
    for (const ScratchDatabase *db : {&s.one, &s.two}) {
        db->exec("CREATE TABLE k (id INT PRIMARY KEY, v INT)");
        db->exec("INSERT INTO k SELECT seq, seq FROM seq_1_to_200");
    }
    s.two.exec("UPDATE k SET v = 0 WHERE id = 150");
    LyingServer::Row values;
    for (const QString &v : row)
        values.push_back(v.toStdString());
    std::vector<std::string> names;
    for (qsizetype i = 0; i < row.size(); ++i)
        names.push_back("c" + std::to_string(i));
    s.liar.answerWith(prefix.toStdString(), names, {values});
    s.form.ui().List1->clear();
    s.form.ui().List1->addItem(QStringLiteral("k"));
    selectOnly(s.form.ui().List1, QStringLiteral("k"));
    s.chooseInMenu(2);
    const QString all = s.t.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("Not compared: k (127.0.0.1:") + s.first.port
                          + QStringLiteral(" gave figures that do not add up")),
             qPrintable(all));
    QVERIFY2(!all.contains(QStringLiteral("Same: k")) && !all.contains(QStringLiteral("Differ: k")), qPrintable(all));
    QCOMPARE(s.two.tables(), (QStringList{QStringLiteral("k"), QStringLiteral("w")}));
    QCOMPARE(s.two.query("SELECT COUNT(*), SUM(v) FROM k")[0][0], sandbox::Cell("200"));
}

void ServerLiesTest::anAnswerWithoutEndIsStopped_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<int>("entry"); // -1: the listing at Next >, else as in serverTextIsNeverSql
    QTest::newRow("the list of tables") << QStringLiteral("SHOW TABLES") << QStringList{QStringLiteral("Tables_in_lie1")} << -1;
    QTest::newRow("a table's columns") << QStringLiteral("DESCRIBE")
                                       << QStringList{QStringLiteral("Field"), QStringLiteral("Type"), QStringLiteral("Null"),
                                                      QStringLiteral("Key"), QStringLiteral("Default"), QStringLiteral("Extra")}
                                       << 0;
    QTest::newRow("a table's definition")
        << QStringLiteral("SHOW CREATE TABLE") << QStringList{QStringLiteral("Table"), QStringLiteral("Create Table")} << 1;
}

// 70 MB of rows, as a server would send that never stops: the reading stops, says so, and the
// other server is not touched.
void ServerLiesTest::anAnswerWithoutEndIsStopped()
{
    QFETCH(QString, prefix);
    QFETCH(QStringList, columns);
    QFETCH(int, entry);
    LyingSide s;
    std::vector<std::string> names;
    LyingServer::Row row;
    for (const QString &c : columns) {
        names.push_back(c.toStdString());
        row.push_back(std::string(1000 / columns.size(), 'v'));
    }
    if (entry == 1)
        row = {std::string("t"), std::string("CREATE TABLE `t` (\n  `v` int(11) DEFAULT NULL\n) ENGINE=InnoDB COMMENT='")
                                     + std::string(1000, 'v') + "'"};
    s.liar.answerWith(prefix.toStdString(), names, {row}, 70000);
    QStringList said;
    if (entry < 0) {
        WindowThroughLiar w(s.one, s.liar);
        typeProfile(w.ui.Text5, w.ui.Text6, w.ui.Text7, w.ui.Text8, w.ui.Text10, s.two.profile());
        input::click(w.ui.PushButton2); // Next >
        w.t.runStarted();
        said = w.t.dialogs.texts();
    } else {
        s.chooseInMenu(entry);
        said = s.t.dialogs.texts();
    }
    const QString all = said.join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("The answer of 127.0.0.1:") + s.first.port + QStringLiteral(" passed 64 MB")),
             qPrintable(all));
    QCOMPARE(s.liar.requestsMade(), 1);
    QCOMPARE(s.two.tables(), QStringList{QStringLiteral("w")});
    QCOMPARE(s.two.query("SELECT v FROM w")[0][0], sandbox::Cell("3"));
}

QTEST_MAIN(ServerLiesTest)
#include "tst_serverlies.moc"
