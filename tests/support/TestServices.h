#pragma once

#include "app/OperationLock.h"
#include "platform/QSettingsBackend.h"
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
    // configHome: reuse another run's settings folder, as a restarted program would.
    explicit TestServices(const QString &configHome = {});
    ~TestServices();

    QString configHome() const { return configHome_; }

    QTemporaryDir ownConfigHome;
    QTemporaryDir programFolder;
    FakeDialogs dialogs;
    FakeClipboard clipboard;
    FakeShell shell;
    FakeYield yield;
    FixedRandom random;
    app::OperationLock lock;

private:
    QString configHome_;

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
