#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

namespace app {

// One operation at a time. While an operation runs (and yields to the window system), clicks and
// keys aimed at the program's windows are dropped, not queued: the hourglass says "busy", and a
// second operation cannot start inside the first. Boxes the operation opens still take input.
class OperationLock : public QObject {
    Q_OBJECT
public:
    OperationLock();
    ~OperationLock() override;

    void watch(QWidget *window);
    bool busy() const { return depth_ > 0; }

    // Runs an operation unless one is already running; returns whether it ran.
    // An operation cut short because the program is ending unwinds quietly here; any other
    // exception passes on, and the lock is free again either way.
    bool run(const std::function<void()> &operation);

    // Runs handler once the widget event that asked for it has been handled to its end. A menu
    // entry, a key or a click must not have its widget's handler on the stack beneath an
    // operation: the operation's waits serve the windows, and may delete that very menu.
    // Dropped with context, if that goes first.
    void startLater(QObject *context, std::function<void()> handler);
    // Starts asked for and not yet run.
    int pending() const { return pending_; }

    // The user closed a window: the program ends, a running operation stops at its next yield.
    void requestEnd() { ending_ = true; }
    bool ending() const { return ending_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isWatched(QObject *object) const;

    int depth_ = 0;
    int pending_ = 0;
    bool ending_ = false;
    std::vector<QPointer<QWidget>> windows_;
};

} // namespace app
