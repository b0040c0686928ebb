#pragma once

#include "support/Lists.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"

#include <QStringList>

#include <memory>

// The table manager as a person uses it, on two scratch databases (prefix1 on #1, prefix2 on #2),
// the operations serving the windows; shown once the lists are filled.
struct ManagerWindow {
    sandbox::ScratchDatabase one;
    sandbox::ScratchDatabase two;
    ProfilesFrom profiles;
    TestServices t{{}, TestServices::Yield::ServeWindows};
    std::unique_ptr<tableswindow::Form2> form;

    explicit ManagerWindow(const QString &prefix);
    // Each list holds its tables, the first selected, and the window is shown.
    void show(const QStringList &onOne, const QStringList &onTwo);
    QString log() const { return form->logPane().text(); }
};
