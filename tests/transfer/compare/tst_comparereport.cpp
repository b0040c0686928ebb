// Compare's words from its outcomes: what a user reads in the log pane and the box, whichever
// side's tables were selected.
#include "transfer/compare/CompareReport.h"

#include <QtTest>

using namespace transfer;

class CompareReportTest : public QObject {
    Q_OBJECT
private slots:
    void sidesAreNamedAsTheUserSeesThem();
    void definitionAndColumnsArePartOfTheLine();
    void theBoxListsEachOutcomeInItsPlace();
};

namespace {

TableComparison differing(const QString &table)
{
    TableComparison c;
    c.table = table;
    c.result = TableComparison::Result::Differs;
    c.keyed = true;
    c.rows.rowsHere = 3; // on the side whose tables were selected
    c.rows.rowsThere = 5;
    c.rows.rows = {{"1", DifferingRow::Kind::OnlyHere, {}, {}}, {"'b'", DifferingRow::Kind::OnlyThere, {}, {}},
                   {"(3, 'x')", DifferingRow::Kind::Differs, {}, {}}};
    return c;
}

} // namespace

void CompareReportTest::sidesAreNamedAsTheUserSeesThem()
{
    const TableComparison c = differing(QStringLiteral("t"));
    QCOMPARE(comparisonLine(c, 1),
             std::string("-- t: rows differ: 3 of 3 on #1 and 5 on #2 (keys 1 only on #1, 'b' only on #2, (3, 'x') differs)"));
    // Selected on #2: its rows are #2's, the other side's #1's.
    QCOMPARE(comparisonLine(c, 2),
             std::string("-- t: rows differ: 3 of 5 on #1 and 3 on #2 (keys 1 only on #2, 'b' only on #1, (3, 'x') differs)"));

    TableComparison missing;
    missing.table = QStringLiteral("gone");
    missing.result = TableComparison::Result::Missing;
    QCOMPARE(comparisonLine(missing, 2), std::string("-- gone: missing on #1"));

    TableComparison same;
    same.table = QStringLiteral("one");
    same.rows = {1, 1, true, {}, false, 0};
    QCOMPARE(comparisonLine(same, 1), std::string("-- one: same (1 row)"));
    same.rows.rowsHere = same.rows.rowsThere = 1234567;
    QCOMPARE(comparisonLine(same, 2), std::string("-- one: same (1,234,567 rows)"));
}

void CompareReportTest::definitionAndColumnsArePartOfTheLine()
{
    TableComparison c = differing(QStringLiteral("t"));
    c.rows = {2, 2, true, {}, false, 0};
    c.definition = TableComparison::Definition::Lines;
    c.definitionOne = "  `a` int NOT NULL,";
    c.definitionTwo = "";
    c.someColumnsOnOneSide = true;
    c.columnsCompared = 1;
    QCOMPARE(comparisonLine(c, 1), std::string("-- t: definition differs: #1 \"`a` int NOT NULL,\", #2 nothing; rows same "
                                               "(2 rows) (on the 1 columns both have)"));
    c.definition = TableComparison::Definition::Kinds;
    c.definitionOne = "VIEW";
    c.definitionTwo = "BASE TABLE";
    c.someColumnsOnOneSide = false;
    c.keyed = false;
    c.rows.same = false;
    QCOMPARE(comparisonLine(c, 1), std::string("-- t: definition differs: #1 \"VIEW\", #2 \"BASE TABLE\"; rows differ: "
                                               "2 rows, and their digests differ (no key to tell which rows)"));
}

void CompareReportTest::theBoxListsEachOutcomeInItsPlace()
{
    TableComparison same;
    same.table = QStringLiteral("a");
    same.rows.same = true;
    TableComparison missing;
    missing.table = QStringLiteral("m");
    missing.result = TableComparison::Result::Missing;
    TableComparison failed;
    failed.table = QStringLiteral("f");
    failed.result = TableComparison::Result::NotCompared;
    failed.errorNumber = 1146;
    failed.error = "Table 'f' doesn't exist";
    TableComparison ownFailure = failed;
    ownFailure.table = QStringLiteral("g");
    ownFailure.errorNumber = 0;
    ownFailure.error = "the two tables have no column in common";
    const std::vector<TableComparison> run{differing(QStringLiteral("d")), same, missing, failed, ownFailure,
                                           differing(QStringLiteral("e"))};
    QCOMPARE(compareSummary(run, 2),
             QStringLiteral("Same: a.\r\rDiffer: d, e.\r\rMissing on #2: m.\r\rNot compared: f (1146 Table 'f' "
                            "doesn't exist); g (the two tables have no column in common)."));
    QCOMPARE(comparisonLine(failed, 1), std::string("Run-time error: 1146 f: Table 'f' doesn't exist"));
    QCOMPARE(compareSummary({same}, 1), QStringLiteral("Same: a.\r\rDiffer: none.\r\rMissing on #1: none."));
}

QTEST_GUILESS_MAIN(CompareReportTest)
#include "tst_comparereport.moc"
