// "Make MySQL #2 Match" of a 1,000,000-row table on both servers, with 0, 1, 100 and 10,000 rows
// differing on #2 (a third changed, a third missing, a third extra), started from the window and
// answered "change": its time, the questions #2 was asked, the bytes each server sent and the
// memory it took, on loopback and with #2 behind a link of 25 ms each way and 100 Mbit/s; and
// 50,000 (more than one window of the change) on loopback. Against "Send Complete
// Table(s)" of the same table in the same run, which is what mending it costs without this. Each
// runs twice; both are printed. Each match leaves #2 the same as #1 again, so the next one starts
// from the same rows.
//   TABULINK_BENCH_ROWS=200000 bench_match   (a quicker run)
//   TABULINK_BENCH_DIFFERING=0,100 bench_match   (only these counts)
#include "BenchPair.h"
#include "BenchTools.h"
#include "BenchWindow.h"

#include <QApplication>

#include <cstdio>
#include <map>
#include <vector>

namespace {

// d rows of #2's t made to differ from #1's, spread over the table as edits are.
void spoil(const sandbox::ScratchDatabase &db, long long rows, int d)
{
    const int removed = d / 3;
    const int added = d / 3;
    const int changed = d - removed - added;
    std::string change, remove, add;
    for (int i = 0; i < changed + removed; ++i) {
        std::string &to = i < changed ? change : remove;
        to += (to.empty() ? "" : ", ") + std::to_string(1 + (i * 9973LL + rows / 2) % rows);
    }
    for (int i = 1; i <= added; ++i)
        add += (add.empty() ? "(" : ", (") + std::to_string(rows + i) + ", 1, 'extra', NOW(), 0)";
    if (!change.empty())
        db.exec("UPDATE t SET n = n + 1 WHERE id IN (" + change + ")");
    if (!remove.empty())
        db.exec("DELETE FROM t WHERE id IN (" + remove + ")");
    if (!add.empty())
        db.exec("INSERT INTO t VALUES " + add);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long long n = benchRowsAndUser(1000000);
    FarPair pair(QStringLiteral("mb"), n);
    const sandbox::ScratchDatabase &one = pair.one;
    const sandbox::ScratchDatabase &two = pair.two;
    std::printf("(questions: asked of #2; bytes: sent by #1 / #2)\n");
    const auto print = [](const std::string &what, const Cost &c) {
        std::printf("  %-40s %7.2f s, questions %6lld, sent %9.1f / %9.1f kB  %s\n", what.c_str(), c.seconds,
                    c.questionsTwo, c.kbOne, c.kbTwo, qPrintable(c.said));
    };
    const auto side = [](int round, bool far) {
        return std::string("round ") + std::to_string(round) + (far ? ", far:" : ", loopback:");
    };

    std::map<bool, double> copySeconds; // the second round's
    for (int round = 1; round <= 2; ++round)
        for (const bool far : {false, true}) {
            sandbox::ScratchDatabase to(2, QStringLiteral("mb_copy"));
            settle(to);
            Cost c = measure(one, to, [&] {
                return copyThroughWindow(ProfilesFrom([&](int s) {
                                             return s == 1 ? benchProfile(one) : benchProfile(to, far ? pair.link.port() : 0);
                                         }),
                                         {QStringLiteral("t")}, true)
                    .seconds;
            });
            if (*to.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
                c.said = QStringLiteral("the copy is incomplete!");
            print(side(round, far) + " complete copy", c);
            copySeconds[far] = c.seconds;
        }

    std::map<bool, double> hundred;
    // 50,000: more than a window (20,000) of the change, on loopback: its memory against 10,000's.
    std::vector<int> counts{0, 1, 100, 10000, 50000};
    if (const QByteArray only = qgetenv("TABULINK_BENCH_DIFFERING"); !only.isEmpty()) {
        counts.clear();
        for (const QByteArray &count : only.split(','))
            counts.push_back(count.toInt());
    }
    for (const int d : counts) {
        std::printf("%d rows differing on #2\n", d);
        for (int round = 1; round <= 2; ++round)
            for (const bool far : {false, true}) {
                if (far && d > 10000)
                    continue;
                spoil(two, n, d);
                QString said;
                Cost c = measure(one, two, [&] {
                    const WindowRun r = runThroughWindow(ProfilesFrom([&](int s) {
                                                             return s == 1 ? benchProfile(one)
                                                                           : pair.second(far);
                                                         }),
                                                         {QStringLiteral("t")}, Start::MatchEntry);
                    said = (r.boxes.isEmpty() ? QStringLiteral("no box") : r.boxes.last().section(u'\r', -1))
                           + QStringLiteral("; memory +%1 MB").arg(r.growthMb, 0, 'f', 1);
                    return r.seconds;
                });
                c.said = said;
                print(side(round, far) + " make #2 match", c);
                if (d == 100)
                    hundred[far] = c.seconds;
            }
    }
    for (const auto &[far, seconds] : hundred)
        std::printf("100 differing rows, %s: %.2f s against the complete copy's %.2f s: %.3f of it (target below 0.1)\n",
                    far ? "far" : "loopback", seconds, copySeconds[far], seconds / copySeconds[far]);
    return 0;
}
