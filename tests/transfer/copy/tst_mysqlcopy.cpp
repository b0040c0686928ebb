// Copies between MariaDB and a stock MySQL 9.7, each way, and between two databases of the one
// MySQL: every cell arrives, and the complete copy's check, which both makes work out on their
// own side, finds the copy whole (a FLOAT or DOUBLE is written with other digits by each make).
#include "support/CopyHarness.h"
#include "support/Sandbox.h"
#include "support/SlowLink.h"
#include "transfer/copy/CompleteCopy.h"
#include "transfer/compare/TableCompare.h"

#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

using namespace transfer;
using sandbox::MySqlServer;
using sandbox::ScratchDatabase;

namespace {

QString serverName(int server) { return server == MySqlServer ? QStringLiteral("MySQL 9.7") : QStringLiteral("MariaDB 10.11"); }

// Each table, its rows, and how its cells are read back alike on both makes.
struct Table {
    const char *name;
    const char *create;
    const char *rows;
    const char *read;
    std::vector<size_t> doubles{}; // columns of read whose text each make writes its own way
};

// The rows with each double's text as the exact value it stands for ("%a"): the makes' digits
// differ, the numbers must not.
sandbox::Rows exactly(sandbox::Rows rows, const std::vector<size_t> &doubles)
{
    for (auto &row : rows)
        for (const size_t c : doubles)
            if (row.at(c)) {
                char text[64];
                std::snprintf(text, sizeof text, "%a", std::strtod(row[c]->c_str(), nullptr));
                row[c] = text;
            }
    return rows;
}

const Table Corpus[] = {
    // The values whose text the makes write differently: FLOAT widened, DOUBLE at its edges.
    {"t_num",
     "CREATE TABLE t_num (id INT PRIMARY KEY, f FLOAT, d DOUBLE, m DECIMAL(30,10), u BIGINT UNSIGNED, b BIT(13))",
     "INSERT INTO t_num VALUES (1, -1.17549e-38, 1e-300, -12345678901234567890.0123456789, 18446744073709551615, "
     "b'1010101010101'), (2, 3.4028234e38, 1.7976931348623157e308, 0, 0, b'0'), (3, 1.4e-45, 4.9e-324, NULL, NULL, NULL), "
     "(4, 0.3, 0.30000000000000004, 0.0000000001, 1, b'1111111111111'), (5, -0.0, -2.5, -1, 2, b'1'), "
     "(6, NULL, NULL, NULL, NULL, NULL)",
     "SELECT id, f + 0e0, d, m, u, b + 0 FROM t_num ORDER BY id", {1, 2}},
    {"t_text",
     "CREATE TABLE t_text (id INT PRIMARY KEY, a VARCHAR(40), l VARCHAR(20) CHARACTER SET latin1, t TEXT, "
     "bin VARBINARY(16), e ENUM('x','y z'), s SET('p','q','r'))",
     "INSERT INTO t_text VALUES (1, 'Zoë 日本語 😀', 'café', 'line\\nbreak\\ttab\\\\', X'00FF275C0A', 'y z', 'p,r'), "
     "(2, '', '', '', '', NULL, ''), (3, NULL, NULL, NULL, NULL, 'x', NULL)",
     "SELECT id, HEX(a), HEX(CONVERT(l USING utf8mb4)), HEX(t), HEX(bin), e, s FROM t_text ORDER BY id"},
    {"t_time",
     "CREATE TABLE t_time (id INT PRIMARY KEY, d DATE, dt DATETIME(6), ts TIMESTAMP(3) NULL, tm TIME(4), y YEAR)",
     "INSERT INTO t_time VALUES (1, '1000-01-01', '9999-12-31 23:59:59.999999', '2038-01-18 03:14:07.499', "
     "'-838:59:59.0000', 1901), (2, '2024-02-29', '2021-03-28 01:30:00.000001', NULL, '12:34:56.7891', 2155), "
     "(3, NULL, NULL, NULL, NULL, NULL)",
     "SELECT id, d, dt, UNIX_TIMESTAMP(ts), tm, y FROM t_time ORDER BY id"},
    {"t_geo", "CREATE TABLE t_geo (id INT PRIMARY KEY, g GEOMETRY, p POINT)",
     "INSERT INTO t_geo VALUES (1, ST_GeomFromText('POLYGON((0 0,1 0,1 1,0 0))'), POINT(1.5, -2)), (2, NULL, NULL)",
     "SELECT id, HEX(g), HEX(p) FROM t_geo ORDER BY id"},
    {"t_nokey", "CREATE TABLE t_nokey (v DOUBLE, w VARCHAR(5))",
     "INSERT INTO t_nokey VALUES (0.1, 'a'), (0.1, 'a'), (1e308, NULL)", "SELECT HEX(w), v FROM t_nokey ORDER BY w, v", {1}},
};

// The tables the box's "Made to fit" names before a change, sorted.
QStringList tablesMadeToFit(const QString &box, const QString &change)
{
    const QString head = QStringLiteral("Made to fit the destination: ");
    const qsizetype at = box.indexOf(QStringLiteral(": ") + change);
    if (at < 0)
        return {};
    const qsizetype from = std::max(box.lastIndexOf(QStringLiteral("; "), at) + 2, box.lastIndexOf(head, at) + head.size());
    QStringList tables = box.mid(from, at - from).split(QStringLiteral(", "));
    tables.sort();
    return tables;
}

// A text value as a literal no server reads its own way: UTF-8 bytes in hex.
std::string asText(const std::string &utf8)
{
    std::string hex;
    for (const unsigned char c : utf8) {
        hex += "0123456789ABCDEF"[c >> 4];
        hex += "0123456789ABCDEF"[c & 15];
    }
    return "CONVERT(X'" + hex + "' USING utf8mb4)";
}

QString shown(const sandbox::Rows &rows)
{
    QStringList out;
    for (const auto &row : rows) {
        QStringList cells;
        for (const auto &cell : row)
            cells << (cell ? QString::fromStdString(*cell) : QStringLiteral("NULL"));
        out << u'(' + cells.join(u',') + u')';
    }
    return out.join(u' ');
}

} // namespace

class MySqlCopyTest : public QObject {
    Q_OBJECT
private slots:
    void everyCellArrivesEachWay_data();
    void everyCellArrivesEachWay();
    void mariaDbTablesFitMySql_data();
    void mariaDbTablesFitMySql();
    void mySqlTablesFitMariaDb_data();
    void mySqlTablesFitMariaDb();
    void vectorsArriveWithoutTheirIndex();
    void jsonArrivesByLoadAndByInserts_data();
    void jsonArrivesByLoadAndByInserts();
};

void MySqlCopyTest::everyCellArrivesEachWay_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("complete");
    const std::pair<int, int> directions[] = {{1, MySqlServer}, {MySqlServer, 1}, {MySqlServer, MySqlServer}};
    for (const auto &[from, to] : directions)
        for (const bool complete : {false, true})
            QTest::addRow("%s, %s to %s", complete ? "complete" : "plain", qPrintable(serverName(from)),
                          qPrintable(serverName(to)))
                << from << to << complete;
}

void MySqlCopyTest::everyCellArrivesEachWay()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, complete);
    if (const QString missing = sandbox::missingServer(MySqlServer); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    ScratchDatabase source(from, QStringLiteral("my1"));
    ScratchDatabase destination(to, QStringLiteral("my2"));
    QStringList names;
    for (const Table &t : Corpus) {
        source.exec(t.create);
        source.exec(t.rows);
        names << QString::fromLatin1(t.name);
    }
    CopyHarness h;
    h.copy(source, destination, names, complete ? CopyHarness::Run(runCompleteTransfer) : CopyHarness::Run(runTransfer));
    const QString all = h.dialogs.texts().join(u'\n');
    QVERIFY2(!all.contains(QStringLiteral("Not copied: ")) || all.contains(QStringLiteral("Not copied: none.")), qPrintable(all));
    QVERIFY2(!all.contains(QStringLiteral("does not match")), qPrintable(all));
    for (const Table &t : Corpus) {
        const sandbox::Rows there = exactly(source.query(t.read), t.doubles);
        const sandbox::Rows here = exactly(destination.query(t.read), t.doubles);
        QVERIFY2(here == there, qPrintable(QLatin1String(t.name) + u':' + shown(here) + QStringLiteral(" against ") + shown(there)));
    }
    if (complete) {
        QCOMPARE(copyLeftovers(destination), sandbox::Rows{});
        // Compared afterwards, the copy is the same table as its source, whatever each make writes.
        CopyHarness after;
        PlainTableList tables(names);
        tables.select(names);
        PlainTableList there(destination.tables());
        runCompare({tables, there, source.profile(), destination.profile(), QStringLiteral("in test ")}, after.ui(), 1);
        if (from == MySqlServer && to != MySqlServer) {
            // One sentence for the collation all five tables had to change, naming them all.
            const QString sentence = QStringLiteral("collation utf8mb4_0900_ai_ci is not on the destination; "
                                                    "utf8mb4_uca1400_ai_ci used");
            QCOMPARE(all.count(sentence), 1);
            QStringList sorted = names;
            sorted.sort();
            QCOMPARE(tablesMadeToFit(all, sentence), sorted);
        }
        if (to != MySqlServer) {
            // MySQL's default collation is not on MariaDB 10.11: the copy took the closest one, and
            // the compare shows that line, and that line only, with every row the same.
            QCOMPARE(after.dialogs.texts(), QStringList{QStringLiteral("Same: none.\r\rDiffer: ") + names.join(QStringLiteral(", "))
                                                        + QStringLiteral(".\r\rMissing on #2: none.")});
            for (const Table &t : Corpus)
                QVERIFY2(after.pane.contents.contains(QStringLiteral("-- ") + QLatin1String(t.name)
                                                      + QStringLiteral(": definition differs: #1 \") ENGINE=InnoDB DEFAULT "
                                                                       "CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci\", #2 \") "
                                                                       "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=")),
                         qPrintable(after.pane.contents));
        } else {
            QCOMPARE(after.dialogs.texts(), QStringList{QStringLiteral("Same: ") + names.join(QStringLiteral(", "))
                                                        + QStringLiteral(".\r\rDiffer: none.\r\rMissing on #2: none.")});
        }
        for (const Table &t : Corpus)
            QVERIFY2(h.pane.contents.contains(QStringLiteral("-- ") + QLatin1String(t.name) + QStringLiteral(": ")),
                     qPrintable(h.pane.contents.right(800)));
    }
}

// What only MariaDB has, copied complete into MySQL: each change said once, with its tables, and
// every row there. A far MySQL takes each small table's CREATE with its first rows: a refused one
// is fitted by its refusal all the same.
void MySqlCopyTest::mariaDbTablesFitMySql_data()
{
    QTest::addColumn<bool>("far");
    QTest::newRow("near") << false;
    QTest::newRow("far") << true;
}

void MySqlCopyTest::mariaDbTablesFitMySql()
{
    QFETCH(bool, far);
    if (const QString missing = sandbox::missingServer(MySqlServer); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    ScratchDatabase source(1, QStringLiteral("mfit1"));
    ScratchDatabase destination(MySqlServer, QStringLiteral("mfit2"));
    source.exec("CREATE TABLE a (id INT PRIMARY KEY, v VARCHAR(100) COMPRESSED) COLLATE utf8mb4_uca1400_ai_ci");
    source.exec("INSERT INTO a VALUES (1, 'Ünïcode 14'), (2, NULL)");
    source.exec("CREATE TABLE b (id INT PRIMARY KEY, w VARCHAR(10) COLLATE utf8mb4_uca1400_as_cs) "
                "COLLATE utf8mb4_uca1400_ai_ci WITH SYSTEM VERSIONING");
    source.exec("INSERT INTO b VALUES (1, 'Ab')");
    source.exec("UPDATE b SET w = 'aB'");
    source.exec("CREATE SEQUENCE s START WITH 40");
    source.exec("CREATE TABLE c (id INT PRIMARY KEY, a INET6, b INET4 NOT NULL DEFAULT '0.0.0.0', u UUID)");
    source.exec("INSERT INTO c VALUES (1, '::1', '10.0.0.1', '123e4567-e89b-12d3-a456-426614174000'), "
                "(2, '2001:db8::ff00:42:8329', '255.255.255.255', 'FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF'), "
                "(3, '::ffff:1.2.3.4', '0.0.0.0', NULL), (4, NULL, DEFAULT, '00000000-0000-0000-0000-000000000000')");
    source.exec("CREATE TABLE d (id INT PRIMARY KEY, v VARCHAR(5)) ENGINE=Aria PAGE_CHECKSUM=1 TRANSACTIONAL=1");
    source.exec("INSERT INTO d VALUES (1, 'aria')");
    source.exec("CREATE TABLE e (id INT PRIMARY KEY) ENGINE=MyISAM PAGE_CHECKSUM=0");
    source.exec("INSERT INTO e VALUES (7)");
    const QStringList names{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("s"), QStringLiteral("c"),
                            QStringLiteral("d"), QStringLiteral("e")};
    CopyHarness h;
    sides::ConnectionProfile to = destination.profile();
    std::optional<SlowLink> link;
    if (far) {
        link.emplace(to.server, to.port.toInt(), std::chrono::milliseconds(3));
        to.port = QString::number(link->port());
    }
    PlainTableList selected(names);
    selected.select(names);
    runCompleteTransfer({selected, h.destination, source.profile(), to, QStringLiteral("in test ")}, h.ui());
    const QString all = h.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("\r\rNot copied: none.")), qPrintable(all));
    QCOMPARE(copyLeftovers(destination), sandbox::Rows{});
    // Far, the few rows go as INSERTs, the first one asked with the CREATE.
    QCOMPARE(h.pane.contents.contains(QStringLiteral("LOAD DATA")), !far);
    // Each refusal costs one more CREATE, near or far: e's PAGE_CHECKSUM, d's two clauses and engine.
    QCOMPARE(h.pane.contents.count(QStringLiteral("CREATE TABLE `tabulink_new_")), names.size() + 4);
    const std::pair<const char *, QStringList> made[] = {
        {"collation utf8mb4_uca1400_ai_ci is not on the destination; utf8mb4_0900_ai_ci used",
         {QStringLiteral("a"), QStringLiteral("b")}},
        {"collation utf8mb4_uca1400_as_cs is not on the destination; utf8mb4_0900_as_cs used", {QStringLiteral("b")}},
        {"clause COMPRESSED left out: MySQL does not know it", {QStringLiteral("a")}},
        {"system versioning left out: MySQL has none", {QStringLiteral("b")}},
        {"a sequence made a table: MySQL has no sequences", {QStringLiteral("s")}},
        {"type inet6 made varchar(39), its values kept as text: MySQL has no such type", {QStringLiteral("c")}},
        {"type inet4 made varchar(15), its values kept as text: MySQL has no such type", {QStringLiteral("c")}},
        {"type uuid made char(36), its values kept as text: MySQL has no such type", {QStringLiteral("c")}},
        {"engine Aria is not on the destination; its default engine used", {QStringLiteral("d")}},
        {"clause PAGE_CHECKSUM=1 left out: the destination does not know it", {QStringLiteral("d")}}};
    for (const auto &[change, tables] : made) {
        QCOMPARE(all.count(QString::fromUtf8(change)), 1);
        QCOMPARE(tablesMadeToFit(all, QString::fromUtf8(change)), tables);
    }
    QCOMPARE(destination.query("SELECT id, HEX(v) FROM a ORDER BY id"), source.query("SELECT id, HEX(v) FROM a ORDER BY id"));
    QCOMPARE(destination.query("SELECT id, w FROM b"), (sandbox::Rows{{sandbox::Cell("1"), sandbox::Cell("aB")}}));
    const char *addresses = "SELECT id, CAST(a AS CHAR), CAST(b AS CHAR), CAST(u AS CHAR) FROM c ORDER BY id";
    QCOMPARE(destination.query(addresses), source.query(addresses));
    QCOMPARE(destination.query("SELECT v FROM d"), (sandbox::Rows{{sandbox::Cell("aria")}}));
    QCOMPARE(destination.query("SELECT id FROM e"), (sandbox::Rows{{sandbox::Cell("7")}}));
    QCOMPARE(destination.query("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME "
                               "IN ('d', 'e') ORDER BY TABLE_NAME"),
             (sandbox::Rows{{sandbox::Cell("InnoDB")}, {sandbox::Cell("MyISAM")}}));
    const std::string b = *destination.query("SHOW CREATE TABLE b")[0][1];
    QVERIFY2(b.find("utf8mb4_0900_as_cs") != std::string::npos && b.find("COLLATE=utf8mb4_0900_ai_ci") != std::string::npos,
             b.c_str());
}

// What only MySQL writes, copied complete into MariaDB: each change said once, every value there
// (those of columns with a worked-out default too), and what MariaDB can hold (DEFAULT
// expressions, INVISIBLE, enforced checks) kept.
void MySqlCopyTest::mySqlTablesFitMariaDb_data()
{
    QTest::addColumn<int>("to");
    QTest::newRow("MySQL 9.7 to MariaDB 10.11") << 1;
    QTest::newRow("MySQL 9.7 to MariaDB 10.5") << 3;
    QTest::newRow("MySQL 9.7 to MariaDB 11.8") << 4;
}

void MySqlCopyTest::mySqlTablesFitMariaDb()
{
    QFETCH(int, to);
    for (const int server : {MySqlServer, to})
        if (const QString missing = sandbox::missingServer(server); !missing.isEmpty())
            QSKIP(qPrintable(missing));
    ScratchDatabase source(MySqlServer, QStringLiteral("yfit1"));
    ScratchDatabase destination(to, QStringLiteral("yfit2"));
    source.exec("CREATE TABLE f (id INT PRIMARY KEY, a VARCHAR(20) DEFAULT (UPPER('x')), n INT DEFAULT (id * 2), "
                "g POINT NOT NULL SRID 4326, h INT INVISIBLE, t TIMESTAMP DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP, KEY ka ((LOWER(a))), SPATIAL KEY sg (g), "
                "CONSTRAINT c1 CHECK (n >= 0) NOT ENFORCED, CONSTRAINT c2 CHECK (id > 0))");
    // Values of their own in columns whose default is worked out: MySQL calls those "generated".
    source.exec("INSERT INTO f (id, a, n, g, h, t) VALUES (1, 'Ab', -3, ST_SRID(POINT(1, 2), 4326), 5, FROM_UNIXTIME(981173106)), "
                "(2, DEFAULT, DEFAULT, ST_SRID(POINT(-0.5, 3), 4326), NULL, NULL)");
    CopyHarness h;
    h.copy(source, destination, {QStringLiteral("f")}, runCompleteTransfer);
    const QString all = h.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("Copied complete: f.\r\rNot copied: none.")), qPrintable(all));
    for (const char *change : {"functional index `ka` left out: the destination has none",
                               "check CONSTRAINT `c1` left out: not enforced on the source", "clause SRID 4326 left out: MariaDB does not know it"})
        QVERIFY2(all.count(QString::fromUtf8(change)) == 1, qPrintable(all));
    const char *read = "SELECT id, a, n, HEX(g), h, UNIX_TIMESTAMP(t) FROM f ORDER BY id";
    QVERIFY2(destination.query(read) == source.query(read),
             qPrintable(shown(destination.query(read)) + QStringLiteral(" against ") + shown(source.query(read))));
    // Compare reads those columns too: one value changed there is a table that differs.
    destination.exec("UPDATE f SET a = 'aB' WHERE id = 1");
    CopyHarness after;
    PlainTableList here({QStringLiteral("f")});
    here.select({QStringLiteral("f")});
    PlainTableList there(destination.tables());
    runCompare({here, there, source.profile(), destination.profile(), QStringLiteral("in test ")}, after.ui(), 1);
    QVERIFY2(after.dialogs.texts().join(u'\n').contains(QStringLiteral("Differ: f.")), qPrintable(after.dialogs.texts().join(u'\n')));
    QVERIFY2(after.pane.contents.contains(QStringLiteral("1 row differs")) || after.pane.contents.contains(QStringLiteral("rows differ")),
             qPrintable(after.pane.contents));
    destination.exec("INSERT INTO f (id, g) VALUES (3, ST_GeomFromText('POINT(0 0)', 4326))");
    QCOMPARE(destination.query("SELECT a, n, h FROM f WHERE id = 3"),
             (sandbox::Rows{{sandbox::Cell("X"), sandbox::Cell("6"), std::nullopt}}));
    QVERIFY_THROWS_EXCEPTION(std::exception, destination.exec("INSERT INTO f (id, g) VALUES (-1, POINT(0, 0))"));
}

// MariaDB 11.8's vectors into MySQL, which has the type but not its index: every float's bytes there.
void MySqlCopyTest::vectorsArriveWithoutTheirIndex()
{
    for (const int server : {4, MySqlServer})
        if (const QString missing = sandbox::missingServer(server); !missing.isEmpty())
            QSKIP(qPrintable(missing));
    ScratchDatabase source(4, QStringLiteral("vec1"));
    ScratchDatabase destination(MySqlServer, QStringLiteral("vec2"));
    source.exec("CREATE TABLE v (id INT PRIMARY KEY, e VECTOR(3) NOT NULL, VECTOR INDEX (e))");
    source.exec("INSERT INTO v VALUES (1, VEC_FromText('[1,2.5,-3]')), (2, VEC_FromText('[0.0001,340000,-0.5]'))");
    CopyHarness h;
    h.copy(source, destination, {QStringLiteral("v")}, runCompleteTransfer);
    const QString all = h.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("Not copied: none.")) && all.count(QStringLiteral("v: vector index `e` left out: MySQL has none")) == 1,
             qPrintable(all));
    QCOMPARE(destination.query("SELECT id, HEX(e) FROM v ORDER BY id"), source.query("SELECT id, HEX(e) FROM v ORDER BY id"));
}

void MySqlCopyTest::jsonArrivesByLoadAndByInserts_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("localInfile");
    for (const int from : {1, MySqlServer})
        for (const bool local : {false, true})
            QTest::addRow("%s to MySQL 9.7, local_infile %s", qPrintable(serverName(from)), local ? "ON" : "OFF")
                << from << local;
}

// MySQL makes a JSON value of text only: the rows' bytes, sent as a LOAD's file or as an INSERT's
// literals, must reach it as text, and the copy's check find them whole.
void MySqlCopyTest::jsonArrivesByLoadAndByInserts()
{
    QFETCH(int, from);
    QFETCH(bool, localInfile);
    if (const QString missing = sandbox::missingServer(MySqlServer); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    sandbox::GlobalSetting local(MySqlServer, "local_infile", localInfile ? "1" : "0");
    ScratchDatabase source(from, QStringLiteral("mjs1"));
    ScratchDatabase destination(MySqlServer, QStringLiteral("mjs2"));
    source.exec("CREATE TABLE docs (id INT PRIMARY KEY, j JSON, k JSON NOT NULL)");
    const std::string first = "{\"b\":1,\"a\":[true,null,\"\\\\ \\\" 😀\"]}", third = "\"tab\\\\t\"";
    source.exec("INSERT INTO docs VALUES (1, " + asText(first) + ", '[]'), (2, NULL, '{}'), (3, " + asText(third) + ", '1.5')");
    CopyHarness h;
    h.copy(source, destination, {QStringLiteral("docs")}, runCompleteTransfer);
    QVERIFY2(h.dialogs.texts().isEmpty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QVERIFY2(h.pane.contents.contains(QStringLiteral("-- docs: 3 rows, ")) && h.pane.contents.contains(QStringLiteral(", verified in "))
                 && h.pane.contents.contains(QStringLiteral("INSERT INTO `")) == !localInfile,
             qPrintable(h.pane.contents));
    const char *read = "SELECT id, CAST(j AS JSON), CAST(k AS JSON) FROM docs ORDER BY id";
    QCOMPARE(destination.query(read),
             (sandbox::Rows{{sandbox::Cell("1"), sandbox::Cell("{\"a\": [true, null, \"\\\\ \\\" 😀\"], \"b\": 1}"), sandbox::Cell("[]")},
                            {sandbox::Cell("2"), std::nullopt, sandbox::Cell("{}")},
                            {sandbox::Cell("3"), sandbox::Cell(third), sandbox::Cell("1.5")}}));
}

QTEST_MAIN(MySqlCopyTest)
#include "tst_mysqlcopy.moc"
