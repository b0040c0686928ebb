// The statements a copy builds, byte for byte.
#include "platform/DbConnection.h"
#include "platform/SqlQuoting.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "transfer/copy/RowCopy.h"
#include "transfer/copy/SchemaCopy.h"
#include "sides/TableStatements.h"
#include "transfer/shared/SqlText.h"
#include "transfer/shared/TableColumns.h"

#include <QtTest>

using namespace app;
using namespace sides;
using namespace transfer;

namespace {

// Reads one table into memory and builds the INSERT for row k, as a copy does.
std::string insertFor(sandbox::ScratchDatabase &db, const std::string &table, size_t row, bool noBackslashEscapes)
{
    platform::Connection c;
    c.open(db.connectionString().toStdString());
    FakeYield noYield;
    RowStream rows(c, table, describeColumns(c, table, noYield), noBackslashEscapes);
    rows.readBatch(noYield);
    std::string out;
    buildInsertStatement(out, insertHead(table), rows.batch(), row, rows.encoding());
    return out;
}

} // namespace

class SqlTextTest : public QObject {
    Q_OBJECT
private slots:
    void typesAreUpperCasedOutsideTheirValues();
    void createTableHasNamesTypesAndNothingElse();
    void namesHaveTheirBackquotesDoubled();
    void valuesAreQuotedAsTheDestinationReadsThem();
    void onlyAPlainNumberGoesUnquoted();
    void binaryValuesTravelAtTheirOwnSize();
    void typesAreRewrittenOnlyWhereTheDestinationNeedsIt();
    void valuesOfARealRow();
    void emptyAndNullInAOneColumnTable();
};

void SqlTextTest::typesAreUpperCasedOutsideTheirValues()
{
    QCOMPARE(upperCaseOutsideQuotes("int(10) unsigned zerofill"), std::string("INT(10) UNSIGNED ZEROFILL"));
    QCOMPARE(upperCaseOutsideQuotes("enum('a','B')"), std::string("ENUM('a','B')"));
    QCOMPARE(upperCaseOutsideQuotes("set('it''s','x y')"), std::string("SET('it''s','x y')"));
    QCOMPARE(upperCaseOutsideQuotes("enum('a\\'b','c')"), std::string("ENUM('a\\'b','c')"));
    QCOMPARE(upperCaseOutsideQuotes("varchar(50)"), std::string("VARCHAR(50)"));
}

void SqlTextTest::createTableHasNamesTypesAndNothingElse()
{
    QCOMPARE(createTableStatement("t", {{"id", "INT(11)"}, {"name", "VARCHAR(50)"}}),
             std::string("CREATE TABLE `t`(`id` INT(11),`name` VARCHAR(50))"));
    QCOMPARE(createTableStatement("one", {{"v", "TEXT"}}), std::string("CREATE TABLE `one`(`v` TEXT)"));
}

void SqlTextTest::namesHaveTheirBackquotesDoubled()
{
    QCOMPARE(createTableStatement("a`b", {{"c`d", "INT"}}), std::string("CREATE TABLE `a``b`(`c``d` INT)"));
    QCOMPARE(describeStatement("x`; DROP TABLE y; --"), std::string("DESCRIBE `x``; DROP TABLE y; --`"));
    QCOMPARE(selectAllStatement("Order Lines"), std::string("SELECT * FROM `Order Lines`"));
    QCOMPARE(selectRowsStatement("t", {{"a", "INT(11)"}, {"b", "DOUBLE"}}), std::string("SELECT `a`, `b` FROM `t`"));
    QCOMPARE(selectRowsStatement("t", {{"a", "INT(11)"}, {"f`", "FLOAT"}}),
             std::string("SELECT `a`, (`f``` + 0e0) FROM `t`"));
    QCOMPARE(dropTableStatement("t"), std::string("DROP TABLE `t`"));
    QCOMPARE(insertHead("q`"), std::string("INSERT INTO `q``` VALUES("));
    QCOMPARE(platform::backquoted(QStringLiteral("a\\b")), QStringLiteral("`a\\b`")); // no backslash escaping in names
}

void SqlTextTest::valuesAreQuotedAsTheDestinationReadsThem()
{
    std::string out;
    platform::appendStringLiteral(out, "O'Brien", false);
    QCOMPARE(out, std::string("'O''Brien'"));
    out.clear();
    platform::appendStringLiteral(out, "C:\\dir", false);
    QCOMPARE(out, std::string("'C:\\\\dir'"));
    out.clear();
    platform::appendStringLiteral(out, "a\\'b", false);
    QCOMPARE(out, std::string("'a\\\\''b'"));
    out.clear();
    platform::appendStringLiteral(out, "a\\'b", true); // NO_BACKSLASH_ESCAPES: backslash is an ordinary character
    QCOMPARE(out, std::string("'a\\''b'"));
    out.clear();
    platform::appendHexLiteral(out, std::string_view("\x00\xff\x10", 3));
    QCOMPARE(out, std::string("X'00FF10'"));
    out.clear();
    platform::appendHexLiteral(out, "");
    QCOMPARE(out, std::string("X''"));
}

void SqlTextTest::binaryValuesTravelAtTheirOwnSize()
{
    const std::string_view bytes("a'b\\c\0d\xff", 8);
    std::string out;
    platform::appendBinaryLiteral(out, bytes, false);
    QCOMPARE(out, std::string("_binary'a''b\\\\c\\0d\xff'"));
    out.clear();
    platform::appendBinaryLiteral(out, bytes, true); // only quotes are special to such a session
    QCOMPARE(out, std::string("_binary'a''b\\c") + '\0' + std::string("d\xff'"));
    out.clear();
    platform::appendBinaryLiteral(out, "", false);
    QCOMPARE(out, std::string("_binary''"));
}

void SqlTextTest::typesAreRewrittenOnlyWhereTheDestinationNeedsIt()
{
    const std::string listed = "ENUM('x\\\\y','it''s','q\\'r')"; // as the server writes it
    QCOMPARE(destinationType(listed, {}), listed);
    QCOMPARE(destinationType(listed, {.noBackslashEscapes = true}), std::string("ENUM('x\\y','it''s','q''r')"));
    QCOMPARE(destinationType("SET('a\\nb')", {.noBackslashEscapes = true}), std::string("SET('a\nb')"));
    QCOMPARE(destinationType("ENUM('plain','it''s')", {.noBackslashEscapes = true}), std::string("ENUM('plain','it''s')"));
    QCOMPARE(destinationType("TIMESTAMP(6)", {.timestampNeedsNull = true}), std::string("TIMESTAMP(6) NULL"));
    QCOMPARE(destinationType("DATETIME", {.timestampNeedsNull = true}), std::string("DATETIME"));
    QCOMPARE(createTableStatement("t", {{"ts", "TIMESTAMP"}, {"e", "ENUM('a\\\\b')"}},
                                  {.noBackslashEscapes = true, .timestampNeedsNull = true}),
             std::string("CREATE TABLE `t`(`ts` TIMESTAMP NULL,`e` ENUM('a\\b'))"));
}

void SqlTextTest::valuesOfARealRow()
{
    sandbox::ScratchDatabase db(1, QStringLiteral("sqltext"));
    db.exec("CREATE TABLE t (n INT, s VARCHAR(20), b VARBINARY(4), e VARCHAR(5), z VARCHAR(30))");
    db.exec("INSERT INTO t VALUES (7, 'O''Brien', X'00FF', NULL, 'x|myseparaterz|y')");
    QCOMPARE(insertFor(db, "t", 0, false),
             std::string("INSERT INTO `t` VALUES('7', 'O''Brien', _binary'\\0\xff', NULL, 'x|myseparaterz|y')"));
}

void SqlTextTest::emptyAndNullInAOneColumnTable()
{
    sandbox::ScratchDatabase db(2, QStringLiteral("onecol"));
    db.exec("CREATE TABLE t (v VARCHAR(5))");
    db.exec("INSERT INTO t VALUES (''), (NULL)");
    QCOMPARE(insertFor(db, "t", 0, false), std::string("INSERT INTO `t` VALUES('')"));
    QCOMPARE(insertFor(db, "t", 1, false), std::string("INSERT INTO `t` VALUES(NULL)"));
}

// What a server sends as an integer's or a decimal's value is written bare only when it is nothing
// but a number: a server that lies must not get its text run as SQL.
void SqlTextTest::onlyAPlainNumberGoesUnquoted()
{
    StoredColumn number;
    number.name = "n";
    number.dataType = "decimal";
    QCOMPARE(sentAs(number), SentAs::Number);
    const auto sent = [&](const std::string &bytes) {
        std::string out;
        appendSentValue(out, SentAs::Number, number, false, bytes, false);
        return out;
    };
    for (const std::string plain : {"0", "-12", "007", "18446744073709551615", "-12345678901234567890.0123456789"})
        QCOMPARE(sent(plain), plain);
    for (const std::string &odd : std::vector<std::string>{"", "-", "1.", ".5", "1e5", "1)", "1 OR 1=1", "1;DROP TABLE t",
                                                         "--1", "1.2.3", std::string("12\0", 3)}) {
        const std::string out = sent(odd);
        QVERIFY2(out != odd && out.rfind("_binary", 0) == 0, out.c_str());
    }
    std::string null;
    appendSentValue(null, SentAs::Number, number, true, {}, false);
    QCOMPARE(null, std::string("NULL"));
    number.dataType = "varchar";
    QCOMPARE(sentAs(number), SentAs::Bytes);
    number.dataType = "double"; // its text is a make's own: sent as it came, never reparsed
    QCOMPARE(sentAs(number), SentAs::Bytes);
}

QTEST_GUILESS_MAIN(SqlTextTest)
#include "tst_sqltext.moc"
