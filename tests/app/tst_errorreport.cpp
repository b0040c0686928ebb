// The common error report and how a guarded operation goes on after a failure.
#include "app/ErrorReport.h"
#include "app/Guard.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "support/Fakes.h"

#include <QtTest>

#include <stdexcept>

using namespace app;
using namespace sides;
using namespace transfer;

class ErrorReportTest : public QObject {
    Q_OBJECT
private slots:
    void textHasEveryPieceInOrder();
    void emptyDescriptionStartsWithTheLineBreak();
    void boxIsAnExclamationWithItsOwnTitle();
    void failingStepIsReportedAndTheNextStepRuns();
    void failingConditionRunsTheBlock();
    void loopGoesOnAfterEveryFailingPass();
    void databaseFailuresShowTheServersText();
    void programEndingIsNotReported();
};

void ErrorReportTest::textHasEveryPieceInOrder()
{
    QCOMPARE(ErrorReport::text(QStringLiteral("Disk full"), QStringLiteral("in Tabulink2021/08/31.Form1.Form_Load "), 124),
             QStringLiteral("Disk full\r\nin Tabulink2021/08/31.Form1.Form_Load at line 124\r\rPlease email screenshot "
                            "of this message to support@quillmarsh.com"));
    QCOMPARE(ErrorReport::location(QStringLiteral("MySQL"), QStringLiteral("AddTablesToMySQLList")),
             QStringLiteral("in Tabulink2021/08/31.MySQL.AddTablesToMySQLList "));
}

void ErrorReportTest::emptyDescriptionStartsWithTheLineBreak()
{
    const QString text = ErrorReport::text({}, QStringLiteral("in Tabulink2021/08/31.Form2.Form_Load "), 100);
    QVERIFY(text.startsWith(QStringLiteral("\r\nin Tabulink2021/08/31.Form2.Form_Load at line 100\r\r")));
}

void ErrorReportTest::boxIsAnExclamationWithItsOwnTitle()
{
    FakeDialogs dialogs;
    ErrorReport(dialogs).show(QStringLiteral("x"), QStringLiteral("in L "), 102);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].style, 48);
    QCOMPARE(dialogs.messages[0].title, QStringLiteral("Application Error"));
}

void ErrorReportTest::failingStepIsReportedAndTheNextStepRuns()
{
    FakeDialogs dialogs;
    Guard g(dialogs, ErrorReport::location(QStringLiteral("Form2"), QStringLiteral("Form_Load")));
    QStringList ran;
    int kept = 1;
    g(100, [&] {
        throw std::runtime_error("first");
        kept = 2;
    });
    g(102, [&] { ran << QStringLiteral("102"); });
    g(104, [&] { throw std::runtime_error("second"); });
    QCOMPARE(kept, 1); // the failing statement's assignment never happened
    QCOMPARE(ran, QStringList{QStringLiteral("102")});
    QCOMPARE(dialogs.texts().size(), 2);
    QVERIFY(dialogs.texts()[0].startsWith(QStringLiteral("first\r\nin Tabulink2021/08/31.Form2.Form_Load at line 100")));
    QVERIFY(dialogs.texts()[1].startsWith(QStringLiteral("second\r\nin Tabulink2021/08/31.Form2.Form_Load at line 104")));
}

void ErrorReportTest::failingConditionRunsTheBlock()
{
    FakeDialogs dialogs;
    Guard g(dialogs, QStringLiteral("in L "));
    bool bodyRan = false;
    if (g.when(110, []() -> bool { throw std::runtime_error("test failed"); }))
        bodyRan = true;
    QVERIFY(bodyRan);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY(!g.when(112, [] { return false; }));
}

void ErrorReportTest::loopGoesOnAfterEveryFailingPass()
{
    FakeDialogs dialogs;
    Guard g(dialogs, QStringLiteral("in L "));
    int passes = 0;
    for (int i = 0; i < 3; ++i) {
        g(120, [&] { throw std::runtime_error("pass " + std::to_string(i)); });
        ++passes;
    }
    QCOMPARE(passes, 3);
    QCOMPARE(dialogs.texts().size(), 3);
    QVERIFY(dialogs.texts()[2].startsWith(QStringLiteral("pass 2\r\n")));
}

void ErrorReportTest::databaseFailuresShowTheServersText()
{
    FakeDialogs dialogs;
    Guard g(dialogs, QStringLiteral("in L "));
    QVERIFY(!g.attempt(130, [] { throw platform::DbError(1146, "Table 'x.y' doesn't exist"); }));
    QVERIFY(dialogs.texts()[0].startsWith(QStringLiteral("Table 'x.y' doesn't exist\r\nin L at line 130")));
}

void ErrorReportTest::programEndingIsNotReported()
{
    FakeDialogs dialogs;
    Guard g(dialogs, QStringLiteral("in L "));
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, g(100, [] { throw platform::ProgramEnding(); }));
    QVERIFY(dialogs.messages.empty());
}

QTEST_GUILESS_MAIN(ErrorReportTest)
#include "tst_errorreport.moc"
