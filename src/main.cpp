#include "Program.h"
#include "cli/CliOptions.h"
#include "cli/CommandLine.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // A subcommand runs without a display: no window system is asked for.
    if (argc > 1 && cli::isCommandLine(QString::fromLocal8Bit(argv[1]))) {
        QCoreApplication application(argc, argv);
        return cli::runCommandLine(QCoreApplication::arguments().mid(1));
    }
    QApplication application(argc, argv);
    return runProgram(application);
}
