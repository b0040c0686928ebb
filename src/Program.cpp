#include "Program.h"

#include "app/OperationLock.h"
#include "app/ProductInfo.h"
#include "app/Services.h"
#include "connect/Form1.h"
#include "platform/QSettingsBackend.h"
#include "platform/QtClipboard.h"
#include "platform/QtDialogs.h"
#include "platform/QtEventYield.h"
#include "platform/QtKeychainKeyring.h"
#include "platform/QtShell.h"
#include "platform/RandomSource.h"
#include "tables/Form2.h"

#include <QApplication>

int runProgram(QApplication &app)
{
    app.setWindowIcon(QIcon(QStringLiteral(":/tabulink.svg")));
    app.setQuitOnLastWindowClosed(false); // the program ends when either window is closed, not before

    platform::QtDialogs dialogs;
    platform::QtClipboard clipboard;
    platform::QtShell shell;
    app::OperationLock lock;
    platform::QtEventYield yield([&lock] { return lock.ending(); });
    platform::ClockRandom random;
    platform::QSettingsBackend settings(app::product::SettingsKey, app::product::SettingsSection);

    connectwindow::Form1 *connectionWindow = nullptr;
    platform::QtKeychainKeyring keyring;
    app::Services services{dialogs, clipboard, shell, yield, random, settings, lock, keyring,
                           QCoreApplication::applicationDirPath(), [&] {
                               lock.requestEnd();
                               if (connectionWindow) {
                                   connectionWindow->hide();
                                   if (connectionWindow->tableManager())
                                       connectionWindow->tableManager()->hideManager();
                               }
                               QCoreApplication::quit();
                           }};

    connectwindow::Form1 form1(services, tableswindow::Form2::factory(services));
    connectionWindow = &form1;
    form1.Form_Load();
    if (lock.ending())
        return 0;
    // A start-up that went straight on to the tables leaves the connection window hidden.
    if (!form1.tableManager() || !form1.tableManager()->managerVisible())
        form1.show();
    return app.exec();
}

