// The numbers an error report gives. Every guarded handler numbers its steps 100, 102, 104, ...:
// one number per step line, in the order the steps are written, a step's sub-steps numbered as
// lines of their own and statements of one step sharing its number. The table below is that
// numbering. Each handler, run for real against both servers, must pass through exactly the
// listed numbers in order, and a failure forced at two of its steps must be reported with that
// step's number while the handler goes on with the step after it.
#include "app/Guard.h"
#include "connect/Form1.h"
#include "support/Lists.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form2.h"

#include <QtTest>

#include <map>
#include <stdexcept>

using connectwindow::Form1;
using sandbox::ScratchDatabase;
using tableswindow::Form2;

namespace {

struct Step {
    int line;
    const char *what;
};

// Steps without a guard of their own (a selection check that only shows its box, an hourglass set
// and cleared by its owner) keep their numbers here so that the ones after them stay in place.
const std::map<std::string, std::vector<Step>> Steps = {
    {"Form1.Form_Load",
     {{100, "optional skin"}, {102, "caption"}, {104, "window icon"}, {106, "application title"},
      {108, "occasional home page"}, {110, "hand pointer"}, {112, "the ten settings into the boxes"},
      {114, "create the table manager"}, {116, "probe profile #1, end when it fails"},
      {118, "probe profile #2, end when it fails"}, {120, "run Next >"}}},
    {"Form1.PushButton2_Click",
     {{100, "hourglass"}, {102, "probe profile #1"}, {104, "probe profile #2"}, {106, "list side #1"},
      {108, "list side #2"}, {110, "show the table manager"}, {112, "hide the connection window"},
      {114, "default pointer"}}},
    // The rest of a test has its own failure path: "Could not connect."
    {"Form1.PushButton3_Click", {{100, "create the connection object"}}},
    {"Form1.PushButton1_Click", {{100, "create the connection object"}}},
    {"Form1.PushButton4_Click", {{100, "help message"}}},
    {"MySQL.AddTablesToMySQLList",
     {{100, "create the connection object"}, {102, "client-side cursor"}, {104, "open"},
      {106, "SHOW TABLES;"}, {108, "empty the list"}, {110, "row count"},
      {112, "per name: serve the windows, add the name, next row"}, {114, "close the rows, close the connection"},
      {116, "first entry current when there is one"}}},
    {"Form2.Form_Load",
     {{100, "system colours"}, {102, "window icon"}, {104, "hand pointer"}, {106, "caption"}}},
    {"Form2.PushButton1_Click", {{100, "select every entry of List1"}}},
    {"Form2.PushButton2_Click", {{100, "deselect every entry of List1"}}},
    {"Form2.PushButton6_Click", {{100, "select every entry of List2"}}},
    {"Form2.PushButton7_Click", {{100, "deselect every entry of List2"}}},
    {"Form2.PushButton3_Click",
     {{100, "selection check (its own box)"}, {102, "hourglass"}, {104, "time-outs of both connections"},
      {106, "open source, then destination"}, {108, "sending starts"}, {110, "walk the list upwards"},
      {112, "empty the column lists"}, {114, "skip an entry that is not selected"}, {116, "take its name"},
      {118, "overwrite: ask, move the old table aside"}, {120, "table definition"}, {122, "rows"},
      {124, "into the destination list"}, {126, "close source, then destination"},
      {128, "default pointer, bar at 0"}}},
    {"Form2.PushButton4_Click",
     {{100, "create the connection object"}, {102, "no current entry: message, end"}, {104, "hourglass"},
      {106, "walk the list upwards, selected entries only"}, {108, "open"}, {110, "DROP TABLE"},
      {112, "close, remove the entry"}, {114, "default pointer"}}},
    {"Form2.PushButton5_Click",
     {{100, "create the connection object"}, {102, "no current entry: message, end"},
      {104, "find the selected entries"}, {106, "not exactly one: message, end"}, {108, "ask the new name"},
      {110, "empty answer: end"}, {112, "hourglass"}, {114, "RENAME TABLE statement"}, {116, "open"},
      {118, "execute"}, {120, "close"}, {122, "remove the old entry"}, {124, "append the new name"},
      {126, "default pointer"}}},
    {"Form2.PushButton11_Click", {{100, "show the connection window"}, {102, "hide the table manager"}}},
    {"Form2.PushButton12_Click", {{100, "read the pane"}, {102, "onto the clipboard"}}},
    {"Form2.PushButton13_Click", {{100, "empty the pane"}}},
    {"Form2.PushButton14_Click", {{100, "new e-mail to support"}}},
};

// The second side's buttons are the first side's steps on the other list.
const std::vector<Step> &stepsOf(const QString &handler)
{
    static const std::map<std::string, std::string> sameAs = {{"Form2.PushButton8_Click", "Form2.PushButton3_Click"},
                                                      {"Form2.PushButton9_Click", "Form2.PushButton4_Click"},
                                                      {"Form2.PushButton10_Click", "Form2.PushButton5_Click"}};
    const auto alias = sameAs.find(handler.toStdString());
    return Steps.at(alias == sameAs.end() ? handler.toStdString() : alias->second);
}

QString locationOf(const QString &handler) { return QStringLiteral("in Tabulink2021/08/31.") + handler + u' '; }

// Records the steps each guard enters, and fails one of them once when asked.
class StepRecorder : public app::StepWatch {
public:
    void entering(const QString &location, int line) override
    {
        if (!armed_)
            return;
        entered.emplace_back(location, line);
        if (!failed && location == failLocation && line == failLine) {
            failed = true;
            failedAt = entered.size() - 1;
            throw std::runtime_error("Forced failure");
        }
    }
    void arm() { armed_ = true; }

    // The numbers one location entered, a run of the same number counted once.
    QList<int> linesOf(const QString &location) const
    {
        QList<int> lines;
        for (const auto &[where, line] : entered)
            if (where == location && (lines.isEmpty() || lines.back() != line))
                lines << line;
        return lines;
    }
    // The number the same location entered next after the forced failure; 0 when none.
    int lineAfterFailure() const
    {
        for (std::size_t i = failedAt + 1; i < entered.size(); ++i)
            if (entered[i].first == failLocation)
                return entered[i].second;
        return 0;
    }

    std::vector<std::pair<QString, int>> entered;
    QString failLocation;
    int failLine = 0;
    bool failed = false;
    std::size_t failedAt = 0;

private:
    bool armed_ = false;
};

// Both logins stored, tables a and b on each side and c on side #2 only.
struct World {
    ScratchDatabase one{1, QStringLiteral("steps1")};
    ScratchDatabase two{2, QStringLiteral("steps2")};
    TestServices t;
    StepRecorder recorder;
    app::WatchingSteps watching{recorder};
    std::unique_ptr<Form1> form;

    World()
    {
        for (const ScratchDatabase *db : {&one, &two}) {
            db->exec("CREATE TABLE a (v INT)");
            db->exec("INSERT INTO a VALUES (1)");
            db->exec("CREATE TABLE b (v INT)");
        }
        two.exec("CREATE TABLE c (v INT)");
        storeProfile(*t.settings, 1, one.profile());
        storeProfile(*t.settings, 2, two.profile());
    }
    void start()
    {
        form = std::make_unique<Form1>(t.services, Form2::factory(t.services));
        form->Form_Load();
    }
    Form2 &manager() { return *form2Of(*form); }

    // Runs what the scenario names; only what it does after its preparation is recorded.
    void run(const QString &scenario)
    {
        if (scenario == QLatin1String("start-up")) {
            recorder.arm();
            start();
            return;
        }
        start();
        QVERIFY(form2Of(*form));
        Ui::Form2 &ui = manager().ui();
        t.dialogs.inputs = {QStringLiteral("renamed")};
        const std::map<std::string, std::function<void()>> acts = {
            {"next", [&] { form->PushButton2_Click(); }},
            {"test #1", [&] { form->PushButton3_Click(); }},
            {"test #2", [&] { form->PushButton1_Click(); }},
            {"help", [&] { form->PushButton4_Click(); }},
            {"select all #1", [&] { manager().PushButton1_Click(); }},
            {"deselect all #1", [&] { manager().PushButton2_Click(); }},
            {"select all #2", [&] { manager().PushButton6_Click(); }},
            {"deselect all #2", [&] { manager().PushButton7_Click(); }},
            {"send a over a", [&] {
                 selectOnly(ui.List1, QStringLiteral("a"));
                 manager().PushButton3_Click();
             }},
            {"send c", [&] {
                 selectOnly(ui.List2, QStringLiteral("c"));
                 manager().PushButton8_Click();
             }},
            {"delete #1", [&] {
                 selectOnly(ui.List1, QStringLiteral("a"));
                 manager().PushButton4_Click();
             }},
            {"delete #2", [&] {
                 selectOnly(ui.List2, QStringLiteral("a"));
                 manager().PushButton9_Click();
             }},
            {"delete, no current entry", [&] {
                 ui.List1->setCurrentRow(-1);
                 manager().PushButton4_Click();
             }},
            {"rename #1", [&] {
                 selectOnly(ui.List1, QStringLiteral("a"));
                 manager().PushButton5_Click();
             }},
            {"rename #2", [&] {
                 selectOnly(ui.List2, QStringLiteral("a"));
                 manager().PushButton10_Click();
             }},
            {"rename two", [&] {
                 ui.List1->selectAll();
                 manager().PushButton5_Click();
             }},
            {"switch", [&] { manager().PushButton11_Click(); }},
            {"copy log", [&] { manager().PushButton12_Click(); }},
            {"clear log", [&] { manager().PushButton13_Click(); }},
            {"email", [&] { manager().PushButton14_Click(); }},
        };
        QVERIFY2(acts.count(scenario.toStdString()), qPrintable(scenario));
        t.dialogs.messages.clear();
        recorder.arm();
        acts.at(scenario.toStdString())();
    }
};

} // namespace

class StepNumbersTest : public QObject {
    Q_OBJECT
private slots:
    void tableRisesByTwoFrom100();
    void handlersPassThroughTheirNumbers_data();
    void handlersPassThroughTheirNumbers();
    void forcedFailureNamesItsStep_data();
    void forcedFailureNamesItsStep();
};

void StepNumbersTest::tableRisesByTwoFrom100()
{
    for (const auto &[handler, steps] : Steps) {
        int expected = 100;
        for (const Step &step : steps) {
            QVERIFY2(step.line == expected, qPrintable(QString::fromStdString(handler) + u' ' + QString::fromUtf8(step.what)));
            expected += 2;
        }
    }
}

void StepNumbersTest::handlersPassThroughTheirNumbers_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QList<int>>("lines");
    const auto row = [](const char *scenario, const char *handler, QList<int> lines) {
        QTest::addRow("%s: %s", scenario, handler) << QString::fromLatin1(scenario) << QString::fromLatin1(handler) << lines;
    };
    row("start-up", "Form1.Form_Load", {100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 120});
    row("start-up", "Form2.Form_Load", {100, 102, 104, 106});
    row("start-up", "Form1.PushButton2_Click", {100, 102, 104, 106, 108, 110, 112, 114});
    row("next", "Form1.PushButton2_Click", {100, 102, 104, 106, 108, 110, 112, 114});
    row("next", "MySQL.AddTablesToMySQLList", {100, 102, 104, 106, 108, 110, 112, 114, 116,
                                               100, 102, 104, 106, 108, 110, 112, 114, 116});
    row("test #1", "Form1.PushButton3_Click", {100});
    row("test #2", "Form1.PushButton1_Click", {100});
    row("help", "Form1.PushButton4_Click", {100});
    row("select all #1", "Form2.PushButton1_Click", {100});
    row("deselect all #1", "Form2.PushButton2_Click", {100});
    row("select all #2", "Form2.PushButton6_Click", {100});
    row("deselect all #2", "Form2.PushButton7_Click", {100});
    row("send a over a", "Form2.PushButton3_Click", {102, 104, 106, 114, 116, 118, 120, 122, 124, 126, 128});
    // c is the last entry: the walk goes on over b and a after it.
    row("send c", "Form2.PushButton8_Click", {102, 104, 106, 114, 116, 120, 122, 124, 114, 126, 128});
    row("delete #1", "Form2.PushButton4_Click", {100, 102, 104, 106, 108, 110, 112, 114});
    row("delete #2", "Form2.PushButton9_Click", {100, 102, 104, 106, 108, 110, 112, 114});
    row("delete, no current entry", "Form2.PushButton4_Click", {100, 102});
    row("rename #1", "Form2.PushButton5_Click",
        {100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 120, 122, 124, 126});
    row("rename #2", "Form2.PushButton10_Click",
        {100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 120, 122, 124, 126});
    row("rename two", "Form2.PushButton5_Click", {100, 102, 104, 106});
    row("switch", "Form2.PushButton11_Click", {100, 102});
    row("copy log", "Form2.PushButton12_Click", {100, 102});
    row("clear log", "Form2.PushButton13_Click", {100});
    row("email", "Form2.PushButton14_Click", {100});
}

void StepNumbersTest::handlersPassThroughTheirNumbers()
{
    QFETCH(QString, scenario);
    QFETCH(QString, handler);
    QFETCH(QList<int>, lines);
    QList<int> listed;
    for (const Step &step : stepsOf(handler))
        listed << step.line;
    for (int line : lines)
        QVERIFY2(listed.contains(line), qPrintable(QString::number(line)));

    World w;
    w.run(scenario);
    QCOMPARE(w.recorder.linesOf(locationOf(handler)), lines);
    for (const ShownMessage &m : w.t.dialogs.messages)
        QVERIFY2(m.title != QLatin1String("Application Error"), qPrintable(m.text));
}

void StepNumbersTest::forcedFailureNamesItsStep_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("next"); // the step the handler goes on with; 0 when the failing one was its last
    const auto row = [](const char *scenario, const char *handler, int line, int next) {
        QTest::addRow("%s at %d", handler, line) << QString::fromLatin1(scenario) << QString::fromLatin1(handler) << line << next;
    };
    row("start-up", "Form1.Form_Load", 102, 104);
    row("start-up", "Form1.Form_Load", 112, 112); // the other nine boxes still load
    row("next", "Form1.PushButton2_Click", 106, 108);
    row("next", "Form1.PushButton2_Click", 110, 112);
    // A test has one guarded step; the rest reports through its own box.
    row("test #1", "Form1.PushButton3_Click", 100, 0);
    row("test #2", "Form1.PushButton1_Click", 100, 0);
    row("help", "Form1.PushButton4_Click", 100, 0);
    row("next", "MySQL.AddTablesToMySQLList", 104, 108); // nothing to ask without a connection
    row("next", "MySQL.AddTablesToMySQLList", 112, 112); // the first yield; its name is still added
    row("start-up", "Form2.Form_Load", 102, 104);
    row("start-up", "Form2.Form_Load", 104, 106);
    row("select all #1", "Form2.PushButton1_Click", 100, 0);
    row("deselect all #1", "Form2.PushButton2_Click", 100, 0);
    row("select all #2", "Form2.PushButton6_Click", 100, 0);
    row("deselect all #2", "Form2.PushButton7_Click", 100, 0);
    row("send a over a", "Form2.PushButton3_Click", 106, 128); // no source: the run ends
    row("send a over a", "Form2.PushButton3_Click", 120, 124); // the old table goes back
    row("send c", "Form2.PushButton8_Click", 122, 124);
    row("send c", "Form2.PushButton8_Click", 126, 126);
    row("delete #1", "Form2.PushButton4_Click", 104, 106);
    row("delete #1", "Form2.PushButton4_Click", 110, 112);
    row("delete #2", "Form2.PushButton9_Click", 108, 114);
    row("delete #2", "Form2.PushButton9_Click", 112, 112);
    row("rename #1", "Form2.PushButton5_Click", 108, 110);
    row("rename #1", "Form2.PushButton5_Click", 118, 120);
    row("rename #2", "Form2.PushButton10_Click", 112, 114);
    row("rename #2", "Form2.PushButton10_Click", 122, 124);
    row("switch", "Form2.PushButton11_Click", 100, 102);
    row("switch", "Form2.PushButton11_Click", 102, 0);
    row("copy log", "Form2.PushButton12_Click", 100, 102);
    row("copy log", "Form2.PushButton12_Click", 102, 0);
    row("clear log", "Form2.PushButton13_Click", 100, 0);
    row("email", "Form2.PushButton14_Click", 100, 0);
}

void StepNumbersTest::forcedFailureNamesItsStep()
{
    QFETCH(QString, scenario);
    QFETCH(QString, handler);
    QFETCH(int, line);
    QFETCH(int, next);
    World w;
    w.recorder.failLocation = locationOf(handler);
    w.recorder.failLine = line;
    w.run(scenario);
    QVERIFY(w.recorder.failed);
    bool reported = false;
    for (const ShownMessage &m : w.t.dialogs.messages)
        reported = reported
                   || (m.title == QLatin1String("Application Error")
                       && m.text.startsWith(QStringLiteral("Forced failure\r\n") + locationOf(handler)
                                            + QStringLiteral("at line ") + QString::number(line) + u'\r'));
    QVERIFY2(reported, qPrintable(w.t.dialogs.texts().join(QStringLiteral(" | "))));
    QCOMPARE(w.recorder.lineAfterFailure(), next);
}

QTEST_MAIN(StepNumbersTest)
#include "tst_stepnumbers.moc"
