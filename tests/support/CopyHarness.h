#pragma once

#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/shared/TransferRun.h"

// Doubles for all a copy reaches outside itself through: boxes, yield, pointer, bar and log pane,
// and the table manager's answer to a refused statement.
struct CopyHarness {
    FakeDialogs dialogs;
    FakeYield yield;
    FakePointer pointer;
    FakeProgress progress;
    MemoryLogPane pane;
    int supportEnabled = 0;
    transfer::RuntimeErrorReport report{dialogs, pane, [this] { ++supportEnabled; }};

    PlainTableList destination;

    transfer::TransferUi ui() { return {dialogs, yield, pointer, progress, pane, report}; }

    using Run = std::function<void(const transfer::TransferEnds &, const transfer::TransferUi &)>;
    // Runs a copy of the named tables, selected, top of the list first, from one scratch database
    // into another, the destination list showing what the destination already has.
    void copy(const sandbox::ScratchDatabase &from, const sandbox::ScratchDatabase &to, const QStringList &tables,
              Run run = transfer::runTransfer, const QString &location = QStringLiteral("in test "))
    {
        PlainTableList source(tables);
        source.select(tables);
        destination = PlainTableList(to.tables());
        run({source, destination, from.profile(), to.profile(), location}, ui());
    }
    QString lastLogLine() const { return pane.contents.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last(); }
};

// Tables a copy builds or moves aside while it works: none may be left once a run is over.
inline sandbox::Rows copyLeftovers(const sandbox::ScratchDatabase &db)
{
    return db.query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                    "TABLE_NAME LIKE 'tabulink\\\\_%'");
}
