// The program's own way of ending, run as the real program in a child process: closing the
// connection window, or the table manager, ends the whole program with exit code 0.
#include "Program.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

// In the child: once the named window is on screen, say which windows are and close that one.
int runChildClosing(int argc, char *argv[], const QString &windowName)
{
    QApplication application(argc, argv);
    auto *poll = new QTimer(&application);
    QObject::connect(poll, &QTimer::timeout, [poll, windowName] {
        // One start in a hundred visits the home page; with no browser here that ends in a box.
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
            return;
        }
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() != windowName || !w->isVisible())
                continue;
            poll->stop();
            QStringList shown;
            for (QWidget *other : QApplication::topLevelWidgets())
                if (other->isVisible())
                    shown << other->objectName();
            shown.sort();
            std::printf("shown %s\nclosing %s\n", qPrintable(shown.join(u',')), qPrintable(windowName));
            std::fflush(stdout);
            w->close();
            return;
        }
    });
    poll->start(50);
    const int code = runProgram(application);
    std::printf("ended %d\n", code);
    return code;
}

} // namespace

class ProgramEndingTest : public QObject {
    Q_OBJECT
private slots:
    void closingTheConnectionWindowEndsTheProgram();
    void closingTheTableManagerEndsTheProgram();

private:
    QString runChild(const QString &windowName, const QString &configHome);
    // One settings folder for the whole test: Qt finds the folder once per process.
    QTemporaryDir configHome_;
};

QString ProgramEndingTest::runChild(const QString &windowName, const QString &configHome)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child-closing"), windowName});
    // Only a guard against a program that never ends; it ends within a second.
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("did not end: ") + QString::fromUtf8(child.readAllStandardOutput());
    }
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    if (child.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("crashed: ") + out;
    return out + QStringLiteral("exit ") + QString::number(child.exitCode());
}

void ProgramEndingTest::closingTheConnectionWindowEndsTheProgram()
{
    TestServices t(configHome_.path());
    sides::ConnectionProfile bad = sandbox::serverProfile(1);
    bad.password = QStringLiteral("wrong"); // the start-up stays on the connection window
    storeProfile(*t.settings, 1, bad);
    storeProfile(*t.settings, 2, bad);
    QCOMPARE(runChild(QStringLiteral("Form1"), t.configHome()),
             QStringLiteral("shown Form1\nclosing Form1\nended 0\nexit 0"));
}

void ProgramEndingTest::closingTheTableManagerEndsTheProgram()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("end1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("end2"));
    TestServices t(configHome_.path());
    storeProfile(*t.settings, 1, one.profile());
    storeProfile(*t.settings, 2, two.profile());
    // Both logins work, so the start-up goes straight on to the tables; the connection window,
    // hidden, goes with the table manager.
    QCOMPARE(runChild(QStringLiteral("Form2"), t.configHome()),
             QStringLiteral("shown Form2\nclosing Form2\nended 0\nexit 0"));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--child-closing") == 0)
        return runChildClosing(1, argv, QString::fromLocal8Bit(argv[2]));
    QApplication application(argc, argv);
    ProgramEndingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programending.moc"
