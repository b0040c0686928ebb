#pragma once
// What the benchmarks measure alike: resident memory and how long the windows go unserved.

#include "app/Services.h"
#include "platform/QtEventYield.h"
#include "support/TestServices.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>

namespace {

// The tests' doubles for boxes, clipboard, shell and draw, with the program's own event yield, so
// the windows are served while a copy waits as they are in use.
struct ServedServices {
    TestServices t;
    platform::QtEventYield yield{[this] { return t.lock.ending(); }};
    app::Services services{t.services.dialogs, t.services.clipboard,    t.services.shell,
                           yield,              t.services.random,       t.services.settings,
                           t.services.lock,    t.services.keyring,      t.services.programFolder,
                           t.services.endProgram};
};

inline long long statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<int>(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

inline void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// The longest time between two runs of a 5 ms timer: how long the windows went unserved.
class GapMeter {
public:
    GapMeter()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            const qint64 gap = now - last_;
            last_ = now;
            longest_ = std::max(longest_, gap);
            over100_ += gap >= 100 ? 1 : 0;
            if (stalled_)
                longestStalled_ = std::max(longestStalled_, gap);
        });
        clock_.start();
        timer_.start();
    }
    void setStalled(bool stalled) { stalled_ = stalled; }
    // The benchmark's own blocking call just now is not the program's gap.
    void skip() { last_ = clock_.elapsed(); }
    qint64 longest() const { return longest_; }
    qint64 longestStalled() const { return longestStalled_; }
    int over100() const { return over100_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0, longestStalled_ = 0;
    bool stalled_ = false;
    int over100_ = 0;
};

} // namespace
