// "Send Complete Table(s)" of a 1,000,000-row table between the sandbox servers, started through
// the table manager window, against the mariadb tools on the same rows in the same run: LOAD DATA
// LOCAL INFILE of the rows as a tab-separated file (the bulk load's own limit here) and
// mariadb-dump --single-transaction | mariadb. Each runs twice and the second counts, so every one
// meets warm pages; each starts once the destination has written out what the one before left.
// Prints the times, their ratios against the targets, the statements the destination received,
// memory growth and the longest gap between two handled window events.
//   TABULINK_BENCH_ROWS=100000 bench_complete   (a quicker run)
#include "BenchTools.h"
#include "BenchWindow.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long long n = benchRowsAndUser(1000000);
    sandbox::ScratchDatabase source(1, QStringLiteral("cb_src"));
    fillBenchTable(source, n);
    source.exec("ANALYZE TABLE t");
    const double mb = std::stod(*source.query("SELECT DATA_LENGTH FROM information_schema.TABLES WHERE "
                                              "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 't'")[0][0]) / 1e6;
    std::printf("%lld rows (%.0f MB of InnoDB data); the logins' password: %s\n", n, mb, BenchPassword);
    QTemporaryDir folder;
    const QString rowsFile = folder.filePath(QStringLiteral("t.tsv"));
    if (!exportRows(benchProfile(source), rowsFile))
        return 1;

    double load = 0, dump = 0;
    WindowRun copy;
    long long statements = 0;
    for (int round = 1; round <= 2; ++round) {
        {
            sandbox::ScratchDatabase to(2, QStringLiteral("cb_load"));
            createBenchTable(to);
            settle(to);
            load = loadFile(benchProfile(to), rowsFile);
        }
        {
            sandbox::ScratchDatabase to(2, QStringLiteral("cb_dump"));
            settle(to);
            dump = dumpAndLoad(benchProfile(source), benchProfile(to));
        }
        sandbox::ScratchDatabase to(2, QStringLiteral("cb_complete"));
        settle(to);
        const long long before = serverCounters(to).questions;
        copy = copyThroughWindow(ProfilesFrom([&](int side) { return benchProfile(side == 1 ? source : to); }),
                                 {QStringLiteral("t")}, true);
        // Less the status read itself.
        statements = serverCounters(to).questions - before - 1;
        if (*to.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
            std::printf("  the copy is incomplete!\n");
        std::printf("round %d: complete copy %.2f s, LOAD DATA LOCAL %.2f s, dump | load %.2f s%s\n", round,
                    copy.seconds, load, dump, round == 1 ? " (not counted: cold pages)" : "");
    }
    std::printf("complete copy, verification included: %.2f s (%.0f rows/s)\n", copy.seconds, n / copy.seconds);
    std::printf("  against LOAD DATA LOCAL INFILE by the mariadb client (%.2f s): %.2fx (target at most 1.15x)\n",
                load, copy.seconds / load);
    std::printf("  against mariadb-dump --single-transaction | mariadb (%.2f s): %.2fx faster (target at least 1.3x)\n",
                dump, dump / copy.seconds);
    const double parts = std::ceil(mb / 16.0) + 1;
    std::printf("  statements the destination received: %lld (a LOAD and a check a part of 16 MiB: at most 10 + 2 x %.0f)\n",
                statements, parts);
    std::printf("  peak memory growth: %.1f MB (target below 64 MB)\n", copy.growthMb);
    std::printf("  longest gap between window events: %lld ms (target below 100 ms)\n",
                static_cast<long long>(copy.longestGap));
    return 0;
}
