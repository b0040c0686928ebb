// "Send Complete Table(s)" of a 1,000,000-row table into MySQL #2 reached through an SSH tunnel
// (the sandbox's OpenSSH server on loopback, an ed25519 key), against the same copy straight to
// the server, in the same run: each twice, each into a fresh database.
//   TABULINK_BENCH_ROWS=200000 bench_ssh   (a quicker run)
#include "BenchTools.h"
#include "BenchWindow.h"
#include "platform/SshTunnel.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString ssh = qEnvironmentVariable("TABULINK_SSH_DIR");
    if (ssh.isEmpty()) {
        std::printf("no sandbox OpenSSH server (TABULINK_SSH_DIR): nothing measured\n");
        return 0;
    }
    const long long n = benchRowsAndUser(1000000);
    sandbox::ScratchDatabase source(1, QStringLiteral("sb_src"));
    fillBenchTable(source, n);
    QTemporaryDir folder;
    platform::SshRoute route;
    route.host = "127.0.0.1";
    route.port = qEnvironmentVariableIntValue("TABULINK_SSH_PORT");
    route.user = "root";
    route.login = platform::SshRoute::Login::KeyFile;
    route.keyFile = QString(ssh + QStringLiteral("/client_ed25519")).toStdString();
    route.knownHostsFile = folder.filePath(QStringLiteral("known_hosts")).toStdString();
    route.databasePort = sandbox::serverProfile(2).port.toInt();
    platform::SshTunnel tunnel(route, [](const platform::SshHostKey &) { return true; });
    std::printf("%lld rows, MySQL #1 to MySQL #2; %s\n", n, tunnel.description().c_str());
    for (int round = 1; round <= 2; ++round) {
        double straight = 0, tunnelled = 0;
        for (const bool through : {false, true}) {
            sandbox::ScratchDatabase to(2, through ? QStringLiteral("sb_ssh") : QStringLiteral("sb_straight"));
            settle(to);
            sides::ConnectionProfile destination = benchProfile(to, through ? tunnel.localPort() : 0);
            (through ? tunnelled : straight) =
                copyThroughWindow(ProfilesFrom([&](int side) { return side == 1 ? benchProfile(source) : destination; }),
                                  {QStringLiteral("t")}, true)
                    .seconds;
            if (*to.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
                std::printf("  the copy is incomplete!\n");
        }
        std::printf("round %d: straight %.2f s, through SSH %.2f s: %.2fx (target at most 1.15x)\n", round, straight,
                    tunnelled, tunnelled / straight);
    }
    return 0;
}
