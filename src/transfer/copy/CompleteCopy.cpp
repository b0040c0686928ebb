#include "transfer/copy/CompleteCopy.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "transfer/copy/CopyReport.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/Sessions.h"
#include "transfer/copy/CompleteViews.h"
#include "transfer/copy/TableCopier.h"
#include "transfer/shared/LaneLogins.h"
#include "transfer/shared/TablePool.h"

#include <memory>
#include <vector>

namespace transfer {

namespace {

struct CopyJob {
    QString name;
    QString existing; // the destination's entry it replaces
};

class CompleteRunner {
public:
    CompleteRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g)
        : ends_(ends), ui_(ui), g_(g), first_(lanes_.emplace_back(std::make_unique<TableCopier>())->destination()),
          sink_(first_, ui.log, ui.onSendFailure)
    {
    }

    void run()
    {
        if (!connect())
            return;
        std::vector<CopyJob> jobs;
        walkSelectedTables(g_, ends_.source, [&](const QString &name) {
            takeJob(name, jobs);
            return true;
        });
        copyTables(jobs);
        if (!lost_) {
            for (CopiedTable &view : views_.make())
                outcome_.tables.push_back(std::move(view));
            lost_ = views_.lost();
        }
        if (!lost_)
            addForeignKeys();
        if (worthABox(outcome_))
            ui_.dialogs.message(completeCopySummary(outcome_));
    }

    const QStringList &leftAlone() const { return leftAlone_; }
    CompleteCopyOutcome &outcome() { return outcome_; }

private:
    TableCopier &first() { return *lanes_.front(); }

    bool connect()
    {
        g_(step::Timeouts, [&] { first().prepareSessions(ui_.yield); });
        return openRunSessions(g_, ui_.yield,
                               {{&first().source(), &first().rows(), ends_.sourceProfile},
                                {&first().destination(), &first().checker(), ends_.destinationProfile}})
               && g_.attempt(step::Login, [&] {
                      first().setUp();
                      session_ = first().session();
                      sink_.setStatementLimit(session_.maxAllowedPacket);
                  });
    }

    // The overwrite question is asked of every table before any is copied.
    void takeJob(const QString &name, std::vector<CopyJob> &jobs)
    {
        if (session_.sameDatabase) {
            leftAlone_.prepend(name);
            return;
        }
        const QString existing = listedTable(ends_.destination, name, session_.names);
        if (!existing.isEmpty() && !askOverwrite(name))
            return;
        jobs.push_back({name, existing});
    }

    void copyTables(const std::vector<CopyJob> &jobs)
    {
        const size_t lanes = static_cast<size_t>(
            tablesAtOnce(first().source(), first().destination(), ends_.tablesAtOnce, jobs.size(), SessionsPerLane));
        if (!g_.attempt(step::Definition, [&] {
                std::vector<std::string> names;
                for (const CopyJob &job : jobs)
                    names.push_back(job.name.toStdString());
                catalog_ = RunCatalog(first().source(), names);
            })) {
            lost_ = true; // the failure is told; nothing after it is tried
            return;
        }
        first().useCatalog(catalog_);
        LaneLogins logins(ends_, first().source().tlsState(), first().destination().tlsState());
        for (size_t i = 1; i < lanes; ++i) {
            lanes_.push_back(std::make_unique<TableCopier>());
            lanes_.back()->prepareSessions(pool_.laneYield());
            lanes_.back()->useCatalog(catalog_);
        }
        // Asks nothing of the user: a lane's way out may be taken on its own thread.
        for (auto &lane : lanes_)
            lane->reopenDestinationWith(
                [profile = logins.destination](platform::Connection &c) { openForCopy(c, profile); });
        const auto start = [&](size_t lane) {
            if (lane == 0)
                return true;
            try {
                lanes_[lane]->openAndSetUp(logins.source, logins.destination);
                return true;
            } catch (const platform::DbError &) {
                return false; // fewer tables at once: the server or the account allows no more sessions
            }
        };
        const auto work = [&](size_t lane, size_t job, platform::EventYield &yield, ProgressIndicator &progress,
                              LogPane &log) -> TablePool::Finish {
            auto done = std::make_shared<CopiedOnLane>(
                lanes_[lane]->copy(jobs[job].name, jobs[job].existing.toStdString(), yield, progress, log));
            if (done->lost)
                pool_.stopTaking();
            return [this, done, &job = jobs[job]] { return finish(job, *done); };
        };
        pool_.run(lanes, jobs.size(), start, work, ui_.yield, ui_.progress, ui_.log);
        first().waitThrough(ui_.yield);
        ui_.progress.setValue(100);
    }

    // On the windows' thread, in the tables' order. False when the run must end.
    bool finish(const CopyJob &job, CopiedOnLane &done)
    {
        if (done.catalogFailure) {
            g_.attempt(step::Definition, [&] { std::rethrow_exception(done.catalogFailure); });
            return false;
        }
        if (done.view) {
            views_.add(job.name, job.existing); // once the tables it may read are in
            return true;
        }
        for (const auto &[table, change] : done.adapted)
            outcome_.adapted.add(table, change);
        for (PendingForeignKey &key : done.foreignKeys)
            foreignKeys_.push_back(std::move(key));
        if (done.table.result == CopiedTable::Result::Copied) {
            removeListTable(ends_.destination, job.existing, session_.names);
            showListTable(ends_.destination, job.name, session_.names);
        }
        outcome_.tables.push_back(std::move(done.table));
        lost_ = lost_ || done.lost;
        return !done.lost;
    }

    bool askOverwrite(const QString &name)
    {
        const int answer = ui_.dialogs.message(QStringLiteral("Would you like to overwrite ") + name + u'?',
                                               platform::YesNo, QStringLiteral("Overwrite?"));
        return answer == platform::Yes;
    }

    void send(const std::string &statement)
    {
        ui_.log.appendEntry(statement);
        first_.execute(statement);
    }

    void addForeignKeys()
    {
        for (const PendingForeignKey &key : foreignKeys_) {
            try {
                send(key.statement);
            } catch (const platform::DbError &e) {
                // The table is in; only this key is missing from it.
                ui_.log.appendEntry(keyNotAddedLine(e.number(), e.what()));
                outcome_.keysNotAdded.push_back({key.table, key.name, e.what()});
            }
        }
    }

    static constexpr int SessionsPerLane = 2; // on each server

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    std::vector<std::unique_ptr<TableCopier>> lanes_;
    platform::Connection &first_; // the first lane's destination: views and foreign keys
    StatementSink sink_;
    TablePool pool_;
    RunCatalog catalog_;
    DestinationSession session_;
    bool lost_ = false;
    std::vector<PendingForeignKey> foreignKeys_;
    CompleteCopyOutcome outcome_;
    ViewsAfterTables views_{{g_, ui_, ends_.destination, first().source(), first_, sink_, session_,
                             [this](const std::string &statement) { send(statement); }}};
    QStringList leftAlone_;
};

} // namespace

CompleteCopyOutcome runCompleteTransfer(const TransferEnds &ends, const TransferUi &ui)
{
    CompleteCopyOutcome outcome;
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        CompleteRunner runner(ends, ui, g);
        runner.run();
        outcome = std::move(runner.outcome());
        return runner.leftAlone();
    });
    return outcome;
}

} // namespace transfer
