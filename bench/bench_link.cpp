// A hosted server far away: a relay of the project's own in front of the destination delays every
// byte by 25 ms each way and carries at most 100 Mbit/s each way. Through it, in one run: the
// complete copy of a 1,000,000-row table started from the window, uncompressed and compressed,
// against mariadb-dump --single-transaction | mariadb over the same relay and against the time the
// copy's bytes need on the link; and the described copy of a small table against one row per
// round trip. Each runs twice and the second counts.
//   TABULINK_BENCH_ROWS=200000 bench_link   (a quicker run)
#include "BenchTools.h"
#include "BenchWindow.h"
#include "support/SlowLink.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

namespace {

constexpr double OneWayMs = FarOneWayMs;
constexpr double BitsPerSecond = FarBitsPerSecond;
constexpr int SmallRows = 200;

void fill(const sandbox::ScratchDatabase &db, long long rows)
{
    fillBenchTable(db, rows);
    db.exec("CREATE TABLE small (id INT PRIMARY KEY, v VARCHAR(40))");
    db.exec("INSERT INTO small SELECT seq, CONCAT('row ', seq) FROM seq_1_to_" + std::to_string(SmallRows));
}

struct Measured {
    double seconds = 0;
    double mbToServer = 0;
    qint64 longestGap = 0; // between two handled window events
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long long n = benchRowsAndUser(1000000);
    sandbox::ScratchDatabase source(1, QStringLiteral("lk_src"));
    fill(source, n);
    const sides::ConnectionProfile destination = sandbox::serverProfile(2);
    SlowLink link(destination.server, destination.port.toInt(),
                  std::chrono::microseconds(static_cast<long long>(OneWayMs * 1000)), BitsPerSecond);
    std::printf("%lld rows; the destination behind a link of %.0f ms each way and %.0f Mbit/s each way\n", n, OneWayMs,
                BitsPerSecond / 1e6);

    using Compression = platform::ConnectionSecurity::Compression;
    const auto farProfile = [&](const sandbox::ScratchDatabase &db, Compression c) {
        sides::ConnectionProfile p = benchProfile(db, link.port());
        p.security.compression = c;
        return p;
    };
    const auto complete = [&](Compression c) {
        sandbox::ScratchDatabase to(2, QStringLiteral("lk_complete"));
        settle(to);
        const std::uint64_t before = link.bytesToServer();
        const WindowRun r = copyThroughWindow(
            ProfilesFrom([&](int side) { return side == 1 ? benchProfile(source) : farProfile(to, c); }),
            {QStringLiteral("t")}, true);
        if (*to.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
            std::printf("  the copy is incomplete!\n");
        return Measured{r.seconds, static_cast<double>(link.bytesToServer() - before) / 1e6, r.longestGap};
    };
    Measured plain, compressed, dump, described;
    for (int round = 1; round <= 2; ++round) {
        plain = complete(Compression::Off);
        compressed = complete(Compression::On);
        {
            sandbox::ScratchDatabase to(2, QStringLiteral("lk_dump"));
            settle(to);
            const std::uint64_t before = link.bytesToServer();
            dump.seconds = dumpAndLoad(benchProfile(source), farProfile(to, Compression::Off));
            dump.mbToServer = static_cast<double>(link.bytesToServer() - before) / 1e6;
        }
        {
            sandbox::ScratchDatabase to(2, QStringLiteral("lk_small"));
            const WindowRun r = copyThroughWindow(
                ProfilesFrom([&](int side) { return side == 1 ? benchProfile(source) : farProfile(to, Compression::Off); }),
                {QStringLiteral("small")}, false);
            described.seconds = r.seconds;
        }
        std::printf("round %d: complete %.2f s (%.1f MB sent), compressed %.2f s (%.1f MB sent), dump | load %.2f s "
                    "(%.1f MB sent), described copy of %d rows %.2f s%s\n",
                    round, plain.seconds, plain.mbToServer, compressed.seconds, compressed.mbToServer, dump.seconds,
                    dump.mbToServer, SmallRows, described.seconds, round == 1 ? " (not counted)" : "");
    }
    const double byteSeconds = plain.mbToServer * 1e6 * 8 / BitsPerSecond;
    std::printf("complete copy through the link: %.2f s\n", plain.seconds);
    std::printf("  against dump | load over the same link (%.2f s): %.2fx faster (target at least 2.5x)\n", dump.seconds,
                dump.seconds / plain.seconds);
    std::printf("  against the time its %.1f MB need on the link (%.2f s): %.2fx (target at most 1.2x)\n",
                plain.mbToServer, byteSeconds, plain.seconds / byteSeconds);
    std::printf("  compressed: %.2f s, %.1f MB sent: %.2fx the uncompressed bytes' time (target below 1)\n",
                compressed.seconds, compressed.mbToServer, compressed.seconds / byteSeconds);
    std::printf("  longest gap between window events: %lld ms, compressed %lld ms (target below 100 ms)\n",
                static_cast<long long>(plain.longestGap), static_cast<long long>(compressed.longestGap));
    const double perRoundTrip = SmallRows * 2 * OneWayMs / 1000.0;
    std::printf("described copy of %d rows: %.2f s; one row a round trip would take %.2f s: %.2f of it (target at "
                "least 0.9)\n",
                SmallRows, described.seconds, perRoundTrip, perRoundTrip / described.seconds);
    return 0;
}
