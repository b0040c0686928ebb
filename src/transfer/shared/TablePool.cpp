#include "transfer/shared/TablePool.h"

#include "platform/ProgramEnding.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace transfer {

QString HeldLog::text() const
{
    QString all;
    for (const std::string &entry : entries_)
        all += QString::fromStdString(entry) + QStringLiteral("\r\n");
    return all;
}

void HeldLog::passTo(LogPane &log)
{
    for (const std::string &entry : entries_)
        log.appendEntry(entry);
    entries_.clear();
}

void TablePool::LaneYield::whileWaiting()
{
    if (cut_)
        throw platform::ProgramEnding();
}

bool TablePool::takeJob(size_t &job)
{
    std::lock_guard lock(mutex_);
    if (stopTaking_ || cut_ || nextJob_ >= jobs_)
        return false;
    job = nextJob_++;
    inHand_[job] = true;
    return true;
}

void TablePool::lane(size_t index, const Start &start, const Work &work, LaneProgress &progress)
{
    try {
        if (start(index)) {
            size_t job = 0;
            while (takeJob(job)) {
                progress.setValue(0);
                progress.setRows(0, 0);
                Finish finish = work(index, job, laneYield_, progress, logs_[job]);
                std::lock_guard lock(mutex_);
                progress.setValue(0); // the table counts as done from now on: both at once, for the bar
                finished_[job] = std::move(finish);
                ready_[job] = true;
                inHand_[job] = false;
                changed_.notify_all();
            }
        }
    } catch (const platform::ProgramEnding &) {
        // The run was given up; the calling thread knows.
    } catch (...) {
        std::lock_guard lock(mutex_);
        if (!laneFailure_)
            laneFailure_ = std::current_exception();
        stopTaking_ = true;
    }
    std::lock_guard lock(mutex_);
    --lanesRunning_;
    changed_.notify_all();
}

namespace {

// A table's share of the bar, when tables go one after another.
class ShareOfBar : public ProgressIndicator {
public:
    ShareOfBar(ProgressIndicator &bar, size_t jobs) : bar_(bar), jobs_(static_cast<double>(jobs)) {}
    void setJob(size_t job) { job_ = static_cast<double>(job); }
    void setValue(double percent) override { bar_.setValue((job_ * 100.0 + percent) / jobs_); }
    double value() const override { return bar_.value(); }
    void setRows(long long done, long long expected) override { bar_.setRows(done, expected); }

private:
    ProgressIndicator &bar_;
    double jobs_;
    double job_ = 0;
};

} // namespace

void TablePool::oneAfterAnother(size_t jobs, const Start &start, const Work &work, platform::EventYield &yield,
                                ProgressIndicator &bar, LogPane &log)
{
    if (!start(0))
        return;
    ShareOfBar share(bar, jobs);
    for (size_t job = 0; job < jobs && !stopTaking_; ++job) {
        share.setJob(job);
        share.setValue(0);
        const Finish finish = work(0, job, yield, share, log);
        share.setValue(100);
        if (!finish())
            break;
    }
}

void TablePool::run(size_t lanes, size_t jobs, const Start &start, const Work &work, platform::EventYield &yield,
                    ProgressIndicator &bar, LogPane &log)
{
    if (lanes <= 1) {
        oneAfterAnother(jobs, start, work, yield, bar, log);
        return;
    }
    jobs_ = jobs;
    nextJob_ = 0;
    finished_.assign(jobs, {});
    logs_.assign(jobs, {});
    ready_.assign(jobs, false);
    inHand_.assign(jobs, false);
    lanesRunning_ = lanes;
    std::vector<std::unique_ptr<LaneProgress>> progress;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < lanes; ++i)
        progress.push_back(std::make_unique<LaneProgress>());
    for (size_t i = 0; i < lanes; ++i)
        threads.emplace_back([this, i, &start, &work, p = progress[i].get()] { lane(i, start, work, *p); });
    // However the calling thread leaves, the lanes are stopped and joined first.
    struct Joined {
        std::atomic<bool> &cut;
        std::vector<std::thread> &threads;
        ~Joined()
        {
            cut = true;
            for (std::thread &t : threads)
                t.join();
        }
    } joined{cut_, threads};

    size_t told = 0; // jobs whose outcome was done here, in order
    bool goOn = true;
    for (;;) {
        Finish next;
        bool lanesDone = false;
        size_t ready = 0;
        double share = 0;
        {
            std::unique_lock lock(mutex_);
            if (told >= jobs || !ready_[told])
                changed_.wait_for(lock, std::chrono::milliseconds(20));
            lanesDone = lanesRunning_ == 0;
            // A lane that failed leaves its table without an outcome: once every lane is done,
            // the outcomes after it are still done.
            while (lanesDone && told < jobs && !ready_[told])
                ++told;
            if (told < jobs && ready_[told])
                next = std::move(finished_[told]);
            for (bool r : ready_)
                ready += r ? 1 : 0;
            share = static_cast<double>(ready);
            for (size_t i = 0; i < lanes; ++i)
                share += progress[i]->value() / 100.0;
        }
        if (next) {
            logs_[told].passTo(log);
            ++told;
            // A table done is told even after another said to stop: it was done all the same.
            if (!next() && goOn) {
                goOn = false;
                stopTaking();
            }
        } else if (lanesDone) {
            break;
        }
        bar.setValue(jobs ? std::min(100.0, 100.0 * share / static_cast<double>(jobs)) : 0);
        if (next)
            continue;
        yield.yield();
        yield.whileWaiting(); // may throw: the lanes stop at their next wait
    }
    // Every lane has ended on its own by now; join them before a failure is passed on.
    cut_ = true;
    for (std::thread &t : threads)
        t.join();
    threads.clear();
    if (laneFailure_)
        std::rethrow_exception(laneFailure_);
}

} // namespace transfer
