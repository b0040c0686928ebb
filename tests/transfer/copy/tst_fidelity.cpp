// Every value arrives exactly as it left: a table per family of types, copied from server one to
// server two and back again through the real copy code, compared cell by cell.
#include "tableops/TableListing.h"
#include "platform/SqlQuoting.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "transfer/copy/CompleteCopy.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/compare/TableCompare.h"
#include "transfer/shared/TransferRun.h"

#include <QtTest>

#include <algorithm>
#include <map>

using namespace app;
using namespace sides;
using namespace tableops;
using namespace transfer;

using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

std::string hex(std::string_view bytes)
{
    static const char *digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A text value written so the test's own SQL cannot get it wrong.
std::string text(std::string_view utf8) { return "CONVERT(X'" + hex(utf8) + "' USING utf8mb4)"; }

std::string allBytes()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

const std::vector<std::string> TrickyTexts = {
    "", "O'Brien", "C:\\dir", "a\\'b", "line1\r\nline2\ttab\rend", "🦊 emoji 漢字 ü", "x|myseparaterz|y",
    "trailing  ", std::string("nul\0inside", 10), "\\", "'", "''", "\\\\n", "%_", "\"double\""};

// 0 to 9 as a derived table: MySQL has no seq_1_to_n.
std::string digits(const char *name)
{
    std::string s = "(SELECT 0 AS d";
    for (int i = 1; i < 10; ++i)
        s += " UNION ALL SELECT " + std::to_string(i);
    return s + ") " + name;
}

void createSources(ScratchDatabase &db)
{
    db.exec("SET time_zone = '+00:00'");
    db.exec("CREATE TABLE ints (t TINYINT, ut TINYINT UNSIGNED, s SMALLINT, m MEDIUMINT, i INT, "
            "z INT(10) UNSIGNED ZEROFILL, b BIGINT, ub BIGINT UNSIGNED)");
    db.exec("INSERT INTO ints VALUES (-128, 0, -32768, -8388608, -2147483648, 0, -9223372036854775808, 0), "
            "(127, 255, 32767, 8388607, 2147483647, 4294967295, 9223372036854775807, 18446744073709551615), "
            "(0, 1, 0, 0, 0, 42, 0, 1), (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");

    db.exec("CREATE TABLE decimals (d DECIMAL(30,10), u DECIMAL(5,0) UNSIGNED, n DECIMAL(65,30))");
    db.exec("INSERT INTO decimals VALUES (-12345678901234567890.0123456789, 99999, "
            "12345678901234567890123456789012345.123456789012345678901234567890), (0.0000000001, 0, -0.5), "
            "(NULL, NULL, NULL)");

    db.exec("CREATE TABLE floats (f FLOAT, d DOUBLE)");
    db.exec("INSERT INTO floats VALUES (0.1, 0.1), (1.2345678, 3.141592653589793), (3.4028234e38, 1.7976931348623157e308), "
            "(-1.1754944e-38, 5e-324), (16777216, 2.718281828459045), (1e-45, -2.2250738585072014e-308), (NULL, NULL)");

    db.exec("CREATE TABLE bits (b1 BIT(1), b17 BIT(17), b64 BIT(64))");
    db.exec("INSERT INTO bits VALUES (b'0', b'0', 0), (b'1', b'11111111111111111', 18446744073709551615), "
            "(b'1', b'10000000000000001', 1), (NULL, NULL, NULL)");

    db.exec("CREATE TABLE times (d DATE, dt DATETIME(6), ts TIMESTAMP NULL, tm TIME, tm6 TIME(6), y YEAR)");
    db.exec("INSERT INTO times VALUES ('0000-00-00', '0000-00-00 00:00:00', '1970-01-01 00:00:01', '-838:59:59', "
            "'00:00:00', 1901), ('9999-12-31', '9999-12-31 23:59:59.999999', '2038-01-19 03:14:07', '838:59:59', "
            "'12:34:56.789012', 2155), ('2024-02-29', '2024-02-29 12:00:00.5', '2024-03-31 01:30:00', '-00:00:01', "
            "'-12:00:00.000001', 0), ('2024-00-15', '1000-01-01 00:00:00', NULL, NULL, NULL, NULL), "
            "(NULL, NULL, NULL, NULL, NULL, NULL)");

    db.exec("CREATE TABLE texts (c CHAR(10), v VARCHAR(255), t TEXT, mt MEDIUMTEXT, lat VARCHAR(20) CHARACTER SET latin1)");
    for (const std::string &s : TrickyTexts) {
        const std::string shortOne = s.size() <= 10 ? text(s) : "NULL";
        db.exec("INSERT INTO texts VALUES (" + shortOne + ", " + text(s) + ", " + text(s) + ", " + text(s)
                + ", " + text("café") + ")");
    }
    db.exec("INSERT INTO texts VALUES (NULL, NULL, NULL, NULL, NULL)");

    db.exec("CREATE TABLE binaries (bn BINARY(4), vb VARBINARY(300), bl BLOB, lb LONGBLOB)");
    db.exec("INSERT INTO binaries VALUES (X'00000000', X'" + hex(allBytes()) + "', X'" + hex(allBytes()) + "', X'"
            + hex(allBytes() + allBytes()) + "'), (X'FF', X'', X'', X''), (NULL, NULL, NULL, NULL), "
            "(X'27275C00', X'5C27', X'00', X'7C6D79736570617261746572737A7C')");

    db.exec("CREATE TABLE choices (e ENUM('apple','Banana','cherry pie'), s SET('red','Green','blue'))");
    db.exec("INSERT INTO choices VALUES ('apple', ''), ('Banana', 'red,Green'), ('cherry pie', 'red,Green,blue'), "
            "(NULL, NULL)");

    db.exec("CREATE TABLE docs (j JSON)");
    db.exec("INSERT INTO docs VALUES (" + text("{\"k\": \"v\", \"n\": [1, 2.5, null], \"q\": \"it's \\\"quoted\\\" \\\\ ok\"}")
            + "), ('[]'), ('{\"b\":1,\"a\":[true,false,1.50,-0.0,1e2]}'), (NULL)"); // the last compact, as MySQL never writes it

    db.exec("CREATE TABLE shapes (p POINT, g GEOMETRY)");
    db.exec("INSERT INTO shapes VALUES (ST_GeomFromText('POINT(1 2)'), ST_GeomFromText('LINESTRING(0 0,1 1,2 5)')), "
            "(ST_GeomFromText('POINT(-0.5 1e10)'), ST_GeomFromText('POLYGON((0 0,4 0,4 4,0 0))')), (NULL, NULL)");

    db.exec("CREATE TABLE `Odd Name` (`col one` INT, `c``q` VARCHAR(5))");
    db.exec("INSERT INTO `Odd Name` VALUES (1, 'a'), (NULL, '')");
    db.exec("CREATE TABLE MixedCase (v VARCHAR(5))");
    db.exec("INSERT INTO MixedCase VALUES ('Mixed')");
    db.exec("CREATE TABLE `tick``name` (v INT)");
    db.exec("INSERT INTO `tick``name` VALUES (1)");
    db.exec("CREATE TABLE `empty` (v INT)"); // a word MySQL reserves
    db.exec("CREATE TABLE onecol (v VARCHAR(5))");
    db.exec("INSERT INTO onecol VALUES (''), (NULL), ('x')");
    // Twenty of the copy's 1,000-row batches: every row sent through each way of copying.
    db.exec("CREATE TABLE big (id INT, v VARCHAR(40), d DECIMAL(12,3))");
    db.exec("INSERT INTO big SELECT seq, IF(seq % 10 = 0, NULL, CONCAT('row ', seq, IF(seq % 7 = 0, ' O''Brien\\\\', ''))), "
            "seq / 3 FROM (SELECT 1 + a.d + 10 * b.d + 100 * c.d + 1000 * e.d + 10000 * f.d AS seq FROM " + digits("a")
            + ", " + digits("b") + ", " + digits("c") + ", " + digits("e") + ", " + digits("f") + ") n WHERE seq <= 20000");
}

std::string quoted(const std::string &name)
{
    std::string out = "`";
    for (char c : name)
        out += c == '`' ? std::string("``") : std::string(1, c);
    return out + "`";
}

// Rows as comparable text: binary and spatial columns as hex, FLOAT widened so every bit shows.
std::vector<std::string> comparableRows(const ScratchDatabase &db, const std::string &table)
{
    const Rows columns = db.query("SELECT COLUMN_NAME, DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '"
                                  + db.name().toStdString() + "' AND TABLE_NAME = " + text(table)
                                  + " ORDER BY ORDINAL_POSITION");
    std::string select;
    for (const auto &c : columns) {
        const std::string &type = *c[1];
        const std::string col = quoted(*c[0]);
        std::string expr = col;
        if (type.find("blob") != std::string::npos || type.find("binary") != std::string::npos || type == "bit"
            || type == "point" || type == "geometry")
            expr = "HEX(" + col + ")";
        else if (type == "float")
            expr = "CAST(" + col + " AS DOUBLE)";
        select += (select.empty() ? "" : ", ") + expr;
    }
    std::vector<std::string> out;
    for (const auto &row : db.query("SELECT " + select + " FROM " + quoted(table))) {
        std::string line;
        for (const auto &cell : row)
            line += (cell ? "[" + hex(*cell) + "]" : std::string("NULL")) + "|";
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A column type as both makes would write it: MySQL writes no display width but ZEROFILL's, and
// MariaDB's JSON is a LONGTEXT.
std::string spelledByBoth(std::string type)
{
    static const QRegularExpression width(QStringLiteral("^(tinyint|smallint|mediumint|int|bigint|year)\\(\\d+\\)"));
    if (type.find("zerofill") == std::string::npos)
        type = QString::fromStdString(type).replace(width, QStringLiteral("\\1")).toStdString();
    return type == "json" ? "longtext" : type;
}

std::vector<std::string> columnTypes(const ScratchDatabase &db, const std::string &table, bool acrossMakes)
{
    std::vector<std::string> out;
    for (const auto &c : db.query("SELECT COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '"
                                  + db.name().toStdString() + "' AND TABLE_NAME = " + text(table)
                                  + " ORDER BY ORDINAL_POSITION"))
        out.push_back(*c[0] + " " + (acrossMakes ? spelledByBoth(*c[1]) : *c[1]));
    return out;
}

QStringList tablesOf(const ScratchDatabase &db)
{
    PlainTableList list;
    FakeDialogs dialogs;
    FakeYield yield;
    addTablesToMySQLList(list, db.profile(), dialogs, yield);
    return list.names;
}

// Copies every table of from into to, as the table manager does after Select All; what boxes it
// showed go to boxes, or there must be none.
using Run = std::function<void(const TransferEnds &, const TransferUi &)>;

void copyAll(const ScratchDatabase &from, const ScratchDatabase &to, const ConnectionProfile &toProfile,
             Run run = runTransfer, QStringList *boxes = nullptr)
{
    PlainTableList source(tablesOf(from));
    source.select(source.names);
    PlainTableList destination;
    FakeDialogs dialogs;
    FakeYield yield;
    FakePointer pointer;
    FakeProgress progress;
    MemoryLogPane pane;
    const RuntimeErrorReport report(dialogs, pane, [] {});
    run({source, destination, from.profile(), toProfile, QStringLiteral("in test ")},
        {dialogs, yield, pointer, progress, pane, report});
    if (boxes)
        *boxes = dialogs.texts();
    else
        QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.texts().join(QStringLiteral("\n"))));
    QStringList expected = source.names;
    QStringList copied = destination.names;
    expected.sort();
    copied.sort();
    QCOMPARE(copied, expected);
    QCOMPARE(to.tables(), expected);
}

void compareAll(const ScratchDatabase &a, const ScratchDatabase &b, bool acrossMakes = false)
{
    for (const QString &table : a.tables()) {
        const std::string t = table.toStdString();
        QCOMPARE(columnTypes(b, t, acrossMakes), columnTypes(a, t, acrossMakes));
        const auto left = comparableRows(a, t);
        const auto right = comparableRows(b, t);
        QCOMPARE(right.size(), left.size());
        for (size_t i = 0; i < left.size(); ++i)
            QVERIFY2(left[i] == right[i], qPrintable(table + QStringLiteral(": ") + QString::fromStdString(left[i])
                                                     + QStringLiteral(" became ") + QString::fromStdString(right[i])));
    }
}

// The whole definition, as each server writes it.
void compareDefinitions(const ScratchDatabase &a, const ScratchDatabase &b)
{
    for (const QString &table : a.tables()) {
        const std::string show = "SHOW CREATE TABLE " + platform::backquoted(table).toStdString();
        QCOMPARE(b.query(show)[0][1], a.query(show)[0][1]);
    }
}

} // namespace

class FidelityTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyValueSurvivesBothDirections();
    void destinationReadingBackslashesLiterallyGetsTheSameValues();
    void completeCopyKeepsEveryValueAndDefinition();
    void everyValueSurvivesBetweenVersions_data();
    void everyValueSurvivesBetweenVersions();
    void everyValueSurvivesIntoMySql_data();
    void everyValueSurvivesIntoMySql();
    void everyValueSurvivesBetweenMySqlDatabases_data();
    void everyValueSurvivesBetweenMySqlDatabases();
    void everyValueSurvivesOutOfMySql_data();
    void everyValueSurvivesOutOfMySql();

private:
    void copyBetweenServers(int from, int to, bool complete);

    std::unique_ptr<ScratchDatabase> source_;
    std::map<int, std::unique_ptr<ScratchDatabase>> versionSources_;
};

void FidelityTest::initTestCase()
{
    source_ = std::make_unique<ScratchDatabase>(1, QStringLiteral("fid_src"));
    createSources(*source_);
}

void FidelityTest::everyValueSurvivesBothDirections()
{
    ScratchDatabase there(2, QStringLiteral("fid_there"));
    there.exec("SET time_zone = '+00:00'");
    copyAll(*source_, there, there.profile());
    compareAll(*source_, there);

    ScratchDatabase back(1, QStringLiteral("fid_back"));
    back.exec("SET time_zone = '+00:00'");
    copyAll(there, back, back.profile());
    compareAll(*source_, back);
}

void FidelityTest::destinationReadingBackslashesLiterallyGetsTheSameValues()
{
    ScratchDatabase literal(1, QStringLiteral("fid_nbe"));
    literal.exec("SET time_zone = '+00:00'");
    ConnectionProfile asNbe = literal.profile();
    asNbe.user = QStringLiteral("nbe");
    asNbe.password = QStringLiteral("sandbox-nbe");
    copyAll(*source_, literal, asNbe);
    compareAll(*source_, literal);
}

void FidelityTest::completeCopyKeepsEveryValueAndDefinition()
{
    ScratchDatabase there(2, QStringLiteral("fidc_there"));
    there.exec("SET time_zone = '+00:00'");
    copyAll(*source_, there, there.profile(), runCompleteTransfer);
    compareAll(*source_, there);
    compareDefinitions(*source_, there);

    ScratchDatabase back(1, QStringLiteral("fidc_back"));
    back.exec("SET time_zone = '+00:00'");
    ConnectionProfile asNbe = back.profile(); // and into a session that reads backslashes literally
    asNbe.user = QStringLiteral("nbe");
    asNbe.password = QStringLiteral("sandbox-nbe");
    copyAll(there, back, asNbe, runCompleteTransfer);
    compareAll(*source_, back);
    compareDefinitions(*source_, back);
}

namespace {

void pairsOfServers(std::initializer_list<std::pair<int, int>> pairs)
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("complete");
    const char *const names[] = {"", "", "10.11", "10.5", "11.8", "MySQL 9.7"};
    for (const auto &[from, to] : pairs)
        for (const bool complete : {false, true})
            QTest::addRow("%s, %s to %s", complete ? "complete" : "plain", names[from], names[to])
                << from << to << complete;
}

} // namespace

// 10.11 (two), 10.5 (three) and 11.8 (four), each way, both copies.
void FidelityTest::everyValueSurvivesBetweenVersions_data()
{
    pairsOfServers({{2, 3}, {3, 2}, {2, 4}, {4, 2}, {3, 4}, {4, 3}});
}

void FidelityTest::everyValueSurvivesBetweenVersions()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, complete);
    copyBetweenServers(from, to, complete);
}

// Each MariaDB into MySQL 9.7 (five).
void FidelityTest::everyValueSurvivesIntoMySql_data() { pairsOfServers({{2, 5}, {3, 5}, {4, 5}}); }

void FidelityTest::everyValueSurvivesIntoMySql()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, complete);
    copyBetweenServers(from, to, complete);
}

// Between two databases of the one MySQL.
void FidelityTest::everyValueSurvivesBetweenMySqlDatabases_data() { pairsOfServers({{5, 5}}); }

void FidelityTest::everyValueSurvivesBetweenMySqlDatabases()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, complete);
    copyBetweenServers(from, to, complete);
}

// MySQL 9.7 into each MariaDB.
void FidelityTest::everyValueSurvivesOutOfMySql_data() { pairsOfServers({{5, 2}, {5, 3}, {5, 4}}); }

void FidelityTest::everyValueSurvivesOutOfMySql()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, complete);
    copyBetweenServers(from, to, complete);
}

void FidelityTest::copyBetweenServers(int from, int to, bool complete)
{
    for (const int server : {from, to})
        if (const QString missing = sandbox::missingServer(server); !missing.isEmpty())
            QSKIP(qPrintable(missing));
    std::unique_ptr<ScratchDatabase> &source = versionSources_[from];
    if (!source) {
        source = std::make_unique<ScratchDatabase>(from, QStringLiteral("fidv_src"));
        source->exec("SET sql_mode = ''"); // zero dates are part of it
        createSources(*source);
    }
    ScratchDatabase there(to, QStringLiteral("fidv_there"));
    there.exec("SET time_zone = '+00:00'");
    QStringList boxes;
    copyAll(*source, there, there.profile(), complete ? Run(runCompleteTransfer) : Run(runTransfer), &boxes);
    const bool acrossMakes = (from == sandbox::MySqlServer) != (to == sandbox::MySqlServer);
    compareAll(*source, there, acrossMakes);
    // A default collation the destination lacks: the one box says what was used instead, once for
    // every table, and nothing else.
    const std::map<std::pair<int, int>, std::pair<const char *, const char *>> collations = {
        {{4, 3}, {"uca1400_ai_ci", "unicode_520_ci"}}, {{5, 2}, {"0900_ai_ci", "uca1400_ai_ci"}},
        {{5, 3}, {"0900_ai_ci", "unicode_520_ci"}}, {{4, 5}, {"uca1400_ai_ci", "0900_ai_ci"}}};
    const auto changed = collations.find({from, to});
    if (complete && changed != collations.end()) {
        QCOMPARE(boxes.size(), 1);
        const QString sentence = QStringLiteral(": collation utf8mb4_%1 is not on the destination; utf8mb4_%2 used.")
                                     .arg(QLatin1String(changed->second.first), QLatin1String(changed->second.second));
        const QString head = QStringLiteral("\r\rMade to fit the destination: ");
        QVERIFY2(boxes[0].contains(QStringLiteral("Not copied: none.")) && boxes[0].count(sentence) == 1
                     && boxes[0].endsWith(sentence) && boxes[0].count(head) == 1,
                 qPrintable(boxes[0]));
        const qsizetype start = boxes[0].indexOf(head) + head.size();
        QStringList tables = boxes[0].mid(start, boxes[0].size() - sentence.size() - start).split(QStringLiteral(", "));
        tables.sort();
        QCOMPARE(tables, there.tables());
    } else {
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(u'\n')));
    }
    if (!complete)
        return;
    // Compared afterwards, each copy is its source, or differs in that collation only.
    PlainTableList left(source->tables());
    left.select(left.names);
    PlainTableList right(there.tables());
    FakeDialogs dialogs;
    FakeYield yield;
    FakePointer pointer;
    FakeProgress progress;
    MemoryLogPane pane;
    const RuntimeErrorReport report(dialogs, pane, [] {});
    runCompare({left, right, source->profile(), there.profile(), QStringLiteral("in test ")},
               {dialogs, yield, pointer, progress, pane, report}, 1);
    const QString all = left.names.join(QStringLiteral(", "));
    const QString expected = changed == collations.end()
                                 ? QStringLiteral("Same: ") + all + QStringLiteral(".\r\rDiffer: none.\r\rMissing on #2: none.")
                                 : QStringLiteral("Same: none.\r\rDiffer: ") + all + QStringLiteral(".\r\rMissing on #2: none.");
    QCOMPARE(dialogs.texts(), QStringList{expected});
    for (const QString &line : pane.contents.split(QStringLiteral("\r\n")))
        if (line.contains(QStringLiteral(" differs: ")))
            QVERIFY2(line.contains(QStringLiteral(": definition differs: #1 \") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_")
                                   + QLatin1String(changed->second.first) + u'"'),
                     qPrintable(line));
}

QTEST_GUILESS_MAIN(FidelityTest)
#include "tst_fidelity.moc"
