// "Send Complete Table(s)" of a 1,000,000-row table from MariaDB into the sandbox's stock MySQL
// 9.7, whose local_infile is off as shipped (as on many hosted servers), so the rows go as INSERTs,
// against mariadb-dump --single-transaction | mariadb into the same server, in the same run. Each
// runs twice and the second counts, so both meet warm pages; each starts once the destination has
// written out what the one before left. Prints the times and their ratio against the target.
//   TABULINK_BENCH_ROWS=100000 bench_mysql   (a quicker run)
#include "BenchTools.h"
#include "BenchWindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (const QString missing = sandbox::missingServer(sandbox::MySqlServer); !missing.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(missing));
        return 0;
    }
    const long long n = benchRowsAndUser(1000000);
    createBenchUser(sandbox::MySqlServer);
    sandbox::ScratchDatabase source(1, QStringLiteral("cm_src"));
    fillBenchTable(source, n);
    std::printf("%lld rows from MariaDB into MySQL %s (local_infile %s)\n", n,
                sandbox::ScratchDatabase(sandbox::MySqlServer, QStringLiteral("cm_v")).query("SELECT VERSION()")[0][0]->c_str(),
                sandbox::ScratchDatabase(sandbox::MySqlServer, QStringLiteral("cm_v")).query("SELECT @@local_infile")[0][0]->c_str());
    double dump = 0;
    WindowRun copy;
    for (int round = 1; round <= 2; ++round) {
        {
            sandbox::ScratchDatabase to(sandbox::MySqlServer, QStringLiteral("cm_dump"));
            settle(to);
            dump = dumpAndLoad(benchProfile(source), benchProfile(to));
        }
        sandbox::ScratchDatabase to(sandbox::MySqlServer, QStringLiteral("cm_complete"));
        settle(to);
        copy = copyThroughWindow(ProfilesFrom([&](int side) { return benchProfile(side == 1 ? source : to); }),
                                 {QStringLiteral("t")}, true);
        if (*to.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
            std::printf("  the copy is incomplete!\n");
        std::printf("round %d: complete copy %.2f s, dump | load %.2f s: %.2fx%s\n", round, copy.seconds, dump,
                    dump / copy.seconds, round == 1 ? " (not counted: cold pages)" : "");
    }
    std::printf("complete copy into MySQL, verification included: %.2f s (%.0f rows/s)\n", copy.seconds, n / copy.seconds);
    std::printf("  against mariadb-dump --single-transaction | mariadb (%.2f s): %.2fx faster (target at least 1.3x)\n",
                dump, dump / copy.seconds);
    std::printf("  peak memory growth: %.1f MB\n", copy.growthMb);
    return 0;
}
