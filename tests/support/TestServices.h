#pragma once

#include "app/OperationLock.h"
#include "platform/EventYield.h"
#include "platform/QSettingsBackend.h"
#include "platform/QtKeychainKeyring.h"
#include "app/Services.h"
#include "support/Fakes.h"
#include "connect/Form1.h"
#include "tables/Form2.h"

#include <QTemporaryDir>

#include <memory>

// Everything the windows need, with doubles for boxes, clipboard, shell and the draw, a real
// settings file in a temporary configuration folder, and a program folder of its own.
class TestServices {
public:
    // How operations yield: counted by the double, or serving the windows as the program does.
    enum class Yield { Counted, ServeWindows };

    // configHome: reuse another run's settings folder, as a restarted program would.
    explicit TestServices(const QString &configHome = {}, Yield yieldKind = Yield::Counted);
    ~TestServices();

    QString configHome() const { return configHome_; }
    // Buttons and menu entries start their operation after the event that asked for it:
    // this lets every start asked for run to its end.
    void runStarted();

    QTemporaryDir ownConfigHome;
    QTemporaryDir programFolder;
    FakeDialogs dialogs;
    FakeClipboard clipboard;
    FakeShell shell;
    FakeYield yield;
    FixedRandom random;
    app::OperationLock lock;
    platform::QtKeychainKeyring keyring; // the desktop's, where a test starts one

private:
    QString configHome_;
    std::unique_ptr<platform::EventYield> windowsYield_;

public:
    std::unique_ptr<platform::QSettingsBackend> settings;
    int endRequests = 0;
    app::Services services;
};

// The table manager a connection window made at start-up, as the window it is.
inline tableswindow::Form2 *form2Of(const connectwindow::Form1 &form)
{
    return dynamic_cast<tableswindow::Form2 *>(form.tableManager());
}
