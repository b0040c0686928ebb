#include "transfer/compare/MakeMatch.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "platform/ProgramEnding.h"
#include "platform/SqlQuoting.h"
#include "sides/TableList.h"
#include "transfer/compare/MatchOrder.h"
#include "transfer/compare/MatchPlan.h"
#include "transfer/compare/MatchReport.h"
#include "transfer/compare/MatchScript.h"
#include "transfer/compare/ComparePair.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TableColumns.h"

#include <QDir>

#include <algorithm>
#include <map>
#include <memory>

namespace transfer {

namespace {

class MatchRunner {
public:
    MatchRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g, int fromSide, const MatchLimits &limits)
        : ends_(ends), ui_(ui), g_(g), limits_(limits), pair_(fromSide), hereServer_(pair_.hereServer()),
          thereServer_(pair_.thereServer()), here_(pair_.here()), there_(pair_.there())
    {
    }

    void run()
    {
        if (!pair_.open(g_, ui_.yield, ends_))
            return;
        if (!planTables())
            return;
        if (!g_.attempt(step::Login, [&] { thereServer_.execute("COMMIT"); }))
            return;
        const int target = there_.number;
        if (!anythingToChange(tables_)) {
            ui_.dialogs.message(matchPlanBox(tables_, target));
            return;
        }
        const auto choice = static_cast<MatchChoice>(ui_.dialogs.choose(matchPlanBox(tables_, target), matchButtons(target)));
        if (choice == MatchChoice::Change)
            changeTarget();
        else if (choice == MatchChoice::SaveScript)
            saveScript();
        else
            ui_.log.appendEntry(nothingChangedLine(target));
    }

    std::vector<TableMatch> &tables() { return tables_; }

private:
    // The compare, and what it makes of each table: the first half of the bar.
    bool planTables()
    {
        const QStringList names = selectedTables(g_, ends_.source);
        // Every table's definition, columns and triggers in one question a side, for this first
        // look only: a compare after the change reads them afresh.
        if (!g_.attempt(step::Definition, [&] { pair_.askCatalog(names); }))
            return false;
        for (const QString &name : names) {
            tables_.push_back(planTable(name));
            ui_.log.appendEntry("-- " + matchPlanLine(tables_.back(), there_.number));
            ui_.progress.setValue(50.0 * static_cast<double>(tables_.size()) / static_cast<double>(names.size()));
            if (lost())
                break;
        }
        here_.catalog = nullptr;
        there_.catalog = nullptr;
        return !lost() && !tables_.empty();
    }

    bool lost() const { return pair_.lost() || lost_; }

    TableMatch planTable(const QString &name)
    {
        TableMatch t;
        t.table = name;
        t.compared = pair_.compare(name, limits_.windowRows);
        switch (t.compared.result) {
        case TableComparison::Result::Missing:
            t.plan = TableMatch::Plan::Missing;
            return t;
        case TableComparison::Result::NotCompared:
            t.plan = TableMatch::Plan::NotCompared;
            t.errorNumber = t.compared.errorNumber;
            t.error = t.compared.error;
            return t;
        case TableComparison::Result::Same:
        case TableComparison::Result::Differs:
            break;
        }
        try {
            classify(t, t.compared.table.toStdString());
        } catch (const platform::DbError &e) {
            lost_ = e.isConnectionLost();
            t.plan = TableMatch::Plan::NotCompared;
            t.errorNumber = e.number();
            t.error = e.what();
        } catch (const platform::ProgramEnding &) {
            throw;
        } catch (const std::exception &e) {
            t.plan = TableMatch::Plan::NotCompared;
            t.error = e.what();
        }
        return t;
    }

    void classify(TableMatch &t, const std::string &table)
    {
        if (std::unique_ptr<TableChange> change = planChange(t, table, {hereServer_, catalogOf(here_)},
                                                             {thereServer_, catalogOf(there_)}))
            changes_[t.table] = std::move(change);
    }

    // The target as a copy's destination (strict, UTC), both sides' values as their stored bytes.
    bool readyToChange(std::string *settings)
    {
        return g_.attempt(step::Definition, [&] {
            const DestinationSession session =
                prepareDestinationSession(thereServer_, hereServer_, "character_set_results = binary");
            noBackslashEscapes_ = session.noBackslashEscapes;
            if (settings) {
                *settings = "time_zone = '+00:00', SESSION sql_mode = ";
                platform::appendStringLiteral(*settings, singleValue(thereServer_, "SELECT @@SESSION.sql_mode"),
                                              noBackslashEscapes_);
            }
            hereServer_.execute("SET character_set_results = binary");
            for (auto &[name, change] : changes_)
                change->statements = std::make_unique<MatchStatements>(name.toStdString(), change->columns, change->key,
                                                                       noBackslashEscapes_);
        });
    }

    // Removals of every table first, children before parents; then changes and additions, parents
    // first. The first refusal stops it all.
    void matchAll(const MatchSend &send)
    {
        std::vector<QString> names;
        for (const TableMatch &t : tables_)
            if (t.plan == TableMatch::Plan::Change)
                names.push_back(t.table);
        std::vector<QString> order = names;
        if (names.size() > 1
            && !g_.attempt(step::Rows, [&] { order = parentsFirst(thereServer_, names, there_.rules.names); }))
            return;
        std::vector<std::pair<QString, MatchPass>> passes;
        if (order.size() == 1 && fitsOneTransaction(tableNamed(order.front()))) {
            // Its removals still go first, inside the one transaction, at half the round trips.
            passes.emplace_back(order.front(), MatchPass::Everything);
        } else {
            for (auto it = order.rbegin(); it != order.rend(); ++it)
                passes.emplace_back(*it, MatchPass::Removals);
            for (const QString &name : order)
                passes.emplace_back(name, MatchPass::ChangesAndAdditions);
        }
        bool stopped = false;
        size_t done = 0;
        for (const auto &[name, pass] : passes) {
            TableMatch &t = tableNamed(name);
            if (stopped) {
                if (t.done == TableMatch::Done::NotStarted
                    || (t.done == TableMatch::Done::Removed && t.matched.removed == 0 && t.matched.leftAlone.empty()))
                    t.done = TableMatch::Done::NotReached;
                continue;
            }
            stopped = !matchTable(t, pass, send);
            ui_.progress.setValue(50.0 + 40.0 * ++done / static_cast<double>(passes.size()));
        }
    }

    bool fitsOneTransaction(const TableMatch &t) const
    {
        return !t.compared.rows.more && t.compared.rows.rows.size() <= std::max<size_t>(limits_.chunks.rows, 1);
    }

    bool matchTable(TableMatch &t, MatchPass pass, const MatchSend &send)
    {
        const TableChange &change = *changes_.at(t.table);
        const std::string table = t.table.toStdString();
        const MatchEnds ends{hereServer_, thereServer_, *change.statements, table, change.select, change.targetChecksum};
        try {
            matchRows(ends, t.compared.rows.rows, pass, limits_.chunks, send, t.matched);
            if (pass != MatchPass::Removals)
                matchLaterWindows(t, ends, send);
            t.done = pass == MatchPass::Removals ? TableMatch::Done::Removed : TableMatch::Done::Changed;
            return true;
        } catch (const platform::ProgramEnding &) {
            throw;
        } catch (const platform::DbError &e) {
            t.done = TableMatch::Done::Failed;
            t.errorNumber = e.number();
            t.error = e.what();
        } catch (const std::exception &e) {
            t.done = TableMatch::Done::Failed;
            t.error = e.what();
        }
        return false;
    }

    // The differing rows after the first window's: compared again past the last one changed (the
    // source still in its snapshot, the target as it now is), changed, and so on to the table's end,
    // a window in memory at a time.
    void matchLaterWindows(TableMatch &t, const MatchEnds &ends, const MatchSend &send)
    {
        const ListedTable listed{t.table, "BASE TABLE"};
        while (t.compared.rows.more && t.compared.rows.listedUpTo) {
            const Position after = *t.compared.rows.listedUpTo;
            resultsAsStoredBytes(false);
            TableComparison next = compareTables(here_, listed, there_, listed, limits_.windowRows, after);
            resultsAsStoredBytes(true);
            if (next.definition != TableComparison::Definition::Same || next.someColumnsOnOneSide)
                throw platform::DbError(0, "the table's definition changed during the change");
            t.compared.rows = std::move(next.rows);
            matchRows(ends, t.compared.rows.rows, MatchPass::Everything, limits_.chunks, send, t.matched);
        }
    }

    // The compare reads keys as text; the change reads and compares values as their stored bytes.
    void resultsAsStoredBytes(bool bytes)
    {
        for (platform::Connection *c : {&hereServer_, &thereServer_})
            c->execute(bytes ? "SET character_set_results = binary" : "SET character_set_results = utf8mb4");
    }

    void changeTarget()
    {
        if (!readyToChange(nullptr))
            return;
        // Several statements in one question on this session alone, only once a change needs it.
        bool together = false;
        matchAll([&](const std::vector<std::string> &statements) {
            for (const std::string &s : statements)
                ui_.log.appendEntry(s);
            if (statements.size() == 1) {
                thereServer_.execute(statements[0]).close();
                return;
            }
            if (!together)
                thereServer_.setMultiStatements(together = true);
            thereServer_.executeTogether(statements);
        });
        compareAgain(together);
        for (const TableMatch &t : tables_)
            if (t.done != TableMatch::Done::NotStarted)
                ui_.log.appendEntry("-- " + matchDoneLine(t, there_.number));
        ui_.progress.setValue(100);
        ui_.dialogs.message(matchSummary(tables_, there_.number));
    }

    // A fresh snapshot on both sides, the changed tables compared as Compare does. Whatever a
    // failed chunk left open on the target is rolled back, never committed with the snapshot's
    // start. Where the target already takes statements together, that is one round trip.
    void compareAgain(bool targetTakesTogether)
    {
        const bool ready = g_.attempt(step::Close, [&] {
            for (platform::Connection *c : {&hereServer_, &thereServer_}) {
                if (c == &thereServer_ && targetTakesTogether
                    && readInSnapshotTogether(*c, {"ROLLBACK", "SET character_set_results = utf8mb4"}))
                    continue;
                c->execute("ROLLBACK");
                c->execute("SET character_set_results = utf8mb4");
                readInSnapshot(*c);
            }
        });
        if (!ready)
            return;
        const auto changed = [](const TableMatch &t) {
            return t.done != TableMatch::Done::NotStarted && t.done != TableMatch::Done::NotReached;
        };
        QStringList names;
        for (const TableMatch &t : tables_)
            if (changed(t))
                names << t.table;
        // The changed tables' catalog asked afresh, all at once; without it each is asked alone.
        try {
            pair_.askCatalog(names);
        } catch (const platform::DbError &e) {
            if (e.isConnectionLost())
                return; // the change stands; the box says what it did without the second look
        }
        for (TableMatch &t : tables_) {
            if (!changed(t))
                continue;
            const ListedTable listed{t.table, "BASE TABLE"};
            try {
                t.after = compareTables(here_, listed, there_, listed);
            } catch (const platform::ProgramEnding &) {
                throw;
            } catch (const std::exception &) {
                // The change stands; the box says what it did without the second look.
            }
        }
    }

    void saveScript()
    {
        const QString suggested = QDir::home().filePath(ends_.destinationProfile.database + QStringLiteral("-match.sql"));
        const QString path = ui_.dialogs.saveFileName(scriptCaption(), suggested, QStringLiteral("SQL scripts (*.sql)"));
        if (path.isEmpty()) {
            ui_.log.appendEntry(nothingChangedLine(there_.number));
            return;
        }
        std::string settings;
        if (!readyToChange(&settings))
            return;
        MatchScript script(path, scriptHeading(ends_.destinationProfile.database, there_.number), settings);
        matchAll([&](const std::vector<std::string> &statements) {
            for (const std::string &s : statements)
                script.write(s);
        });
        QString why;
        for (const TableMatch &t : tables_)
            if (t.done == TableMatch::Done::Failed) {
                script.finish(why); // nothing half written is left
                ui_.dialogs.message(scriptNotSavedBox(path, QString::fromStdString(t.error)));
                return;
            }
        ui_.progress.setValue(100);
        if (!script.finish(why)) {
            ui_.dialogs.message(scriptNotSavedBox(path, why));
            return;
        }
        ui_.log.appendEntry(scriptSavedLine(path));
        ui_.dialogs.message(scriptSavedBox(path, ends_.destinationProfile.database, there_.number));
    }

    TableMatch &tableNamed(const QString &name)
    {
        return *std::find_if(tables_.begin(), tables_.end(), [&](const TableMatch &t) { return t.table == name; });
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    const MatchLimits &limits_;
    ComparePair pair_;
    platform::Connection &hereServer_;
    platform::Connection &thereServer_;
    CompareSide &here_;
    CompareSide &there_;
    bool lost_ = false; // while planning a table's change
    bool noBackslashEscapes_ = false;
    std::vector<TableMatch> tables_;
    std::map<QString, std::unique_ptr<TableChange>> changes_;
};

} // namespace

std::vector<TableMatch> runMakeMatch(const TransferEnds &ends, const TransferUi &ui, int fromSide,
                                     const MatchLimits &limits)
{
    std::vector<TableMatch> tables;
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        MatchRunner runner(ends, ui, g, fromSide, limits);
        runner.run();
        tables = std::move(runner.tables());
        return QStringList();
    });
    return tables;
}

} // namespace transfer
