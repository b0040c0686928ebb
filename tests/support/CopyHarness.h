#pragma once

#include "support/Fakes.h"
#include "transfer/TransferRun.h"

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

    transfer::TransferUi ui() { return {dialogs, yield, pointer, progress, pane, report}; }
    QString lastLogLine() const { return pane.contents.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last(); }
};
