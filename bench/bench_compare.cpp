// "Compare Table(s)" of a 1,000,000-row table that is on both servers, with 0, 1 and 100 rows
// changed on #2, started from the window: the questions each server was asked, the bytes each sent
// and the time, on loopback and with #2 behind a link of 25 ms each way and 100 Mbit/s. Against
// the baseline of reading every row of the table from both servers with the mariadb client, which
// is what a comparison that moves the data costs at least. Each runs twice; both are printed.
//   TABULINK_BENCH_ROWS=200000 bench_compare   (a quicker run)
#include "BenchPair.h"
#include "BenchTools.h"
#include "BenchWindow.h"

#include <QApplication>
#include <QRegularExpression>

#include <chrono>
#include <cstdio>

namespace {


// Every row of t, read by the mariadb client and thrown away: seconds.
double readAll(const sides::ConnectionProfile &p)
{
    QProcess client;
    client.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    client.start(QStringLiteral("mariadb"), loginArguments(p) << QStringLiteral("-B") << QStringLiteral("-N")
                                                              << QStringLiteral("-e") << QStringLiteral("SELECT * FROM t")
                                                              << p.database);
    return finished(client, "mariadb -e SELECT") ? timer.elapsed() / 1000.0 : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long long n = benchRowsAndUser(1000000);
    FarPair pair(QStringLiteral("cb"), n);
    const sandbox::ScratchDatabase &one = pair.one;
    const sandbox::ScratchDatabase &two = pair.two;

    const auto compare = [&](bool far) {
        const WindowRun r = runThroughWindow(
            ProfilesFrom([&](int side) { return side == 1 ? benchProfile(one) : pair.second(far); }),
            {QStringLiteral("t")}, Start::CompareEntry);
        static const QRegularExpression line(QStringLiteral("-- t: [^\\r\\n]*"));
        QString said = line.match(r.log).captured(0);
        if (said.size() > 90)
            said = said.left(90) + QStringLiteral("…");
        return std::pair{r.seconds, said};
    };
    const auto baseline = [&](bool far) {
        return measure(one, two, [&] {
            QElapsedTimer timer;
            timer.start();
            readAll(benchProfile(one));
            readAll(pair.second(far));
            return timer.elapsed() / 1000.0;
        });
    };
    const auto print = [](const char *what, const Cost &c) {
        std::printf("  %-34s %7.2f s, questions %5lld / %5lld, received %9.1f / %9.1f kB  %s\n", what, c.seconds,
                    c.questionsOne, c.questionsTwo, c.kbOne, c.kbTwo, qPrintable(c.said));
    };
    std::printf("(questions and bytes: asked of / sent by #1, then #2)\n");
    int changed = 0;
    for (const int target : {0, 1, 100}) {
        // Spread over the table, as edits are.
        for (; changed < target; ++changed)
            two.exec("UPDATE t SET n = n + 1 WHERE id = " + std::to_string(1 + (changed * 9973LL + n / 2) % n));
        std::printf("%d rows changed on #2\n", target);
        for (int round = 1; round <= 2; ++round) {
            for (const bool far : {false, true}) {
                QString said;
                Cost c = measure(one, two, [&] {
                    const auto [seconds, text] = compare(far);
                    said = text;
                    return seconds;
                });
                c.said = said;
                const std::string what = std::string("round ") + std::to_string(round) + (far ? ", far:" : ", loopback:")
                                         + " compare";
                print(what.c_str(), c);
                if (target == 0) {
                    const Cost b = baseline(far);
                    const std::string base = std::string("round ") + std::to_string(round)
                                             + (far ? ", far:" : ", loopback:") + " read every row";
                    print(base.c_str(), b);
                }
            }
        }
    }
    return 0;
}
