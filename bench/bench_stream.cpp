// A copy of a table larger than memory should hold (about 2 GB: 2 million rows of 1 KB) and of one
// ten times smaller, through the table manager window with the real event yield. Prints the peak
// memory growth of each, and the longest gap between two handled window events, also while the
// destination holds a global read lock for 5 s in the middle of the copy.
//   TABULINK_BENCH_ROWS=200000 bench_stream   (a quicker run: 200,000 and 20,000 rows)
#include "BenchSupport.h"
#include "app/Services.h"
#include "platform/DbConnection.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace tableswindow;

namespace {

constexpr int RowBytes = 1000;

void fill(const sandbox::ScratchDatabase &db, long long rows)
{
    db.exec("CREATE TABLE big (id INT, v VARCHAR(1000))");
    constexpr long long Chunk = 200000;
    for (long long from = 1; from <= rows; from += Chunk) {
        const long long to = std::min(rows, from + Chunk - 1);
        db.exec("INSERT INTO big SELECT seq, REPEAT(CHAR(65 + seq % 26), " + std::to_string(RowBytes) + ") FROM seq_"
                + std::to_string(from) + "_to_" + std::to_string(to));
    }
}

void copyOnce(long long rows)
{
    sandbox::ScratchDatabase source(1, QStringLiteral("stream_src"));
    sandbox::ScratchDatabase destination(2, QStringLiteral("stream_dst"));
    QElapsedTimer setup;
    setup.start();
    fill(source, rows);
    std::printf("%lld rows of %d bytes (%.2f GB) made in %.0f s\n", rows, RowBytes, rows * RowBytes / 1e9,
                setup.elapsed() / 1000.0);

    ServedServices served;
    TestServices &t = served.t;
    const ProfilesFrom profiles = sandbox::sidesOn(source, destination);
    Form2 form(served.services, profiles, [] {});
    form.show();
    form.ui().List1->addItem(QStringLiteral("big"));
    form.ui().List1->setCurrentRow(0);
    QCoreApplication::processEvents();

    // A fifth of the way in, the destination stops taking writes for 5 s, as a backup's global
    // read lock does.
    platform::Connection lock;
    lock.open(sandbox::serverConnectionString(2));
    GapMeter gaps;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, &form, [&] {
        if (form.progress().value() < 20)
            return;
        watch.stop();
        lock.execute("FLUSH TABLES WITH READ LOCK");
        gaps.skip();
        gaps.setStalled(true);
        QTimer::singleShot(5000, &form, [&] {
            lock.execute("UNLOCK TABLES");
            gaps.skip();
            gaps.setStalled(false);
        });
    });
    watch.start();

    const long long rssBefore = statusKb("VmRSS:");
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    form.PushButton3_Click();
    const double seconds = timer.elapsed() / 1000.0;
    const double growthMb = (statusKb("VmHWM:") - rssBefore) / 1024.0;
    const std::string copied = *destination.query("SELECT COUNT(*) FROM big")[0][0];
    const double limitMb = 100 + 3 * RowBytes / 1e6 * 1.1; // 100 MB and three times the largest row
    std::printf("copied %s rows in %.0f s (%.0f rows/s)%s\n", copied.c_str(), seconds, rows / seconds,
                t.dialogs.messages.empty() ? "" : ", with messages!");
    std::printf("  peak memory growth: %.1f MB (target below %.1f MB)\n", growthMb, limitMb);
    std::printf("  longest gap between window events: %lld ms, %lld ms while the destination was locked "
                "(target below 100 ms); gaps of 100 ms or more: %d\n",
                static_cast<long long>(gaps.longest()), static_cast<long long>(gaps.longestStalled()), gaps.over100());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QByteArray wanted = qgetenv("TABULINK_BENCH_ROWS");
    const long long rows = wanted.isEmpty() ? 2000000 : wanted.toLongLong();
    copyOnce(rows / 10);
    copyOnce(rows);
    return 0;
}
