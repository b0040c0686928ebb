#pragma once

#include "platform/EventYield.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace transfer {

// A table's log lines, kept until the lines of the tables before it are out: the log pane reads
// as if the tables had gone one after another.
class HeldLog : public LogPane {
public:
    void appendEntry(std::string_view utf8) override { entries_.emplace_back(utf8); }
    QString text() const override;
    void clear() override { entries_.clear(); }
    void passTo(LogPane &log);

private:
    std::vector<std::string> entries_;
};

// A lane's share of the bar: its table's percentage, read by the windows' thread.
class LaneProgress : public ProgressIndicator {
public:
    void setValue(double percent) override { percent_ = percent; }
    double value() const override { return percent_; }
    void setRows(long long done, long long expected) override
    {
        done_ = done;
        expected_ = expected;
    }
    long long rowsDone() const { return done_; }
    long long rowsExpected() const { return expected_; }

private:
    std::atomic<double> percent_{0};
    std::atomic<long long> done_{0};
    std::atomic<long long> expected_{0};
};

// Several tables of one run at once: each lane is a thread with sessions of its own, taking the
// next table as it finishes one, so the round trips of one table overlap those of the others.
// What a table's work returns is done on the calling thread, in the tables' order, while the
// windows are served; a close of the window stops every lane at its next wait.
class TablePool {
public:
    // Done on the calling thread with the table's outcome; false takes no further table.
    using Finish = std::function<bool()>;
    // Runs on the lane's thread: what became of table job, and what is done with it. Its sessions
    // wait through yield; its share of the bar goes to progress.
    // Its log lines go to log.
    using Work = std::function<Finish(size_t lane, size_t job, platform::EventYield &yield, ProgressIndicator &progress,
                                      LogPane &log)>;
    // Runs on the lane's thread before its first table: false keeps the lane out of the run.
    using Start = std::function<bool(size_t lane)>;

    TablePool() = default;
    TablePool(const TablePool &) = delete;
    TablePool &operator=(const TablePool &) = delete;

    // The further lanes' sessions wait through this: it gives up (ProgramEnding) once the run is.
    platform::EventYield &laneYield() { return laneYield_; }
    // No lane takes another table (a session was lost); the tables being worked on end.
    void stopTaking() { stopTaking_ = true; }

    // Returns once every lane is done. The bar shows the tables done of jobs, the share of those
    // in hand added. Throws what yield threw (the lanes stopped first), or what a lane did.
    // One lane is the calling thread itself, one table after another, its waits served by yield.
    void run(size_t lanes, size_t jobs, const Start &start, const Work &work, platform::EventYield &yield,
             ProgressIndicator &bar, LogPane &log);

private:
    class LaneYield : public platform::EventYield {
    public:
        explicit LaneYield(const std::atomic<bool> &cut) : cut_(cut) {}
        void yield() override { whileWaiting(); }
        void whileWaiting() override;

    private:
        const std::atomic<bool> &cut_;
    };

    void lane(size_t index, const Start &start, const Work &work, LaneProgress &progress);
    void oneAfterAnother(size_t jobs, const Start &start, const Work &work, platform::EventYield &yield,
                         ProgressIndicator &bar, LogPane &log);
    bool takeJob(size_t &job);

    std::atomic<bool> cut_{false};
    std::atomic<bool> stopTaking_{false};
    LaneYield laneYield_{cut_};
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextJob_ = 0;
    size_t jobs_ = 0;
    std::vector<Finish> finished_;
    std::vector<HeldLog> logs_;
    std::vector<bool> ready_;
    std::vector<bool> inHand_;
    std::exception_ptr laneFailure_;
    size_t lanesRunning_ = 0;
};

} // namespace transfer
