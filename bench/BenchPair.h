#pragma once
// The benchmarks' table t of so many rows on both MariaDB servers, and #2 also behind a far link.

#include "BenchTools.h"
#include "support/SlowLink.h"

#include <chrono>
#include <cstdio>

namespace {

struct FarPair {
    sandbox::ScratchDatabase one;
    sandbox::ScratchDatabase two;
    SlowLink link;

    FarPair(const QString &prefix, long long rows)
        : one(1, prefix + QStringLiteral("_one")), two(2, prefix + QStringLiteral("_two")),
          link(two.profile().server, two.profile().port.toInt(),
               std::chrono::microseconds(static_cast<long long>(FarOneWayMs * 1000)), FarBitsPerSecond)
    {
        fillBenchTable(one, rows);
        fillBenchTable(two, rows);
        std::printf("%lld rows on both servers; far: #2 behind a link of %.0f ms each way and %.0f Mbit/s\n", rows,
                    FarOneWayMs, FarBitsPerSecond / 1e6);
    }
    // #2's profile, through the link when far.
    sides::ConnectionProfile second(bool far) const { return benchProfile(two, far ? link.port() : 0); }
};

} // namespace
