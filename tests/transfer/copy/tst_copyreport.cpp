// The complete copy's words from its outcomes: the box a user reads at the end of a run.
#include "transfer/copy/CopyReport.h"

#include <QtTest>

using namespace transfer;

class CopyReportTest : public QObject {
    Q_OBJECT
private slots:
    void aRunWithNothingToTellShowsNoBox();
    void theBoxSaysWhatFailedAndWhy();
    void aTablesLineSaysHowItWasLoadedAndChecked();
};

void CopyReportTest::aRunWithNothingToTellShowsNoBox()
{
    CompleteCopyOutcome outcome;
    QVERIFY(!worthABox(outcome));
    outcome.tables = {{QStringLiteral("a"), CopiedTable::Result::Copied, 0, {}},
                      {QStringLiteral("v"), CopiedTable::Result::Copied, 0, {}}};
    QVERIFY(!worthABox(outcome));
    // A change made to fit is worth telling even when every table arrived.
    outcome.adapted.add("a", "collation utf8mb4_0900_ai_ci is not on the destination; utf8mb4_uca1400_ai_ci used");
    outcome.adapted.add("b", "collation utf8mb4_0900_ai_ci is not on the destination; utf8mb4_uca1400_ai_ci used");
    QVERIFY(worthABox(outcome));
    QCOMPARE(completeCopySummary(outcome),
             QStringLiteral("Copied complete: a, v.\r\rNot copied: none.\r\rMade to fit the destination: a, b: collation "
                            "utf8mb4_0900_ai_ci is not on the destination; utf8mb4_uca1400_ai_ci used."));
}

void CopyReportTest::theBoxSaysWhatFailedAndWhy()
{
    CompleteCopyOutcome outcome;
    outcome.tables = {{QStringLiteral("a"), CopiedTable::Result::NotCopied, 1146, "Table 'a' doesn't exist"},
                      {QStringLiteral("b"), CopiedTable::Result::Copied, 0, {}},
                      {QStringLiteral("c"), CopiedTable::Result::NotCopied, 0, "the copy does not match the source"},
                      // A view whose copy as a table was refused: the refusal was shown as it came.
                      {QStringLiteral("v"), CopiedTable::Result::NotCopied, 0, {}}};
    outcome.keysNotAdded = {{"b", "fk_b", "Cannot add foreign key constraint"}};
    QVERIFY(worthABox(outcome));
    QCOMPARE(completeCopySummary(outcome),
             QStringLiteral("Copied complete: b.\r\rNot copied: a (1146 Table 'a' doesn't exist), c (the copy does not "
                            "match the source), v.\r\rCopied without these foreign keys, which the destination refused: "
                            "b: fk_b (Cannot add foreign key constraint)."));
    QCOMPARE(notCopiedLine(outcome.tables[0]), std::string("Run-time error: 1146 a: Table 'a' doesn't exist"));
}

void CopyReportTest::aTablesLineSaysHowItWasLoadedAndChecked()
{
    QCOMPARE(copiedLine("t", {1000000, 61234567, 7.84, 4, true}),
             std::string("-- t: 1000000 rows, 61.2 MB, 7.8 s, verified in 4 key ranges (INSERT: the server refuses LOAD "
                         "DATA LOCAL)"));
    QCOMPARE(copiedLine("k", {1, 20, 0.01, 1, false}), std::string("-- k: 1 rows, 0.0 MB, 0.0 s, verified in 1 key range"));
    QCOMPARE(copiedLine("h", {5, 100, 0.2, 0, false}), std::string("-- h: 5 rows, 0.0 MB, 0.2 s, verified"));
}

QTEST_GUILESS_MAIN(CopyReportTest)
#include "tst_copyreport.moc"
