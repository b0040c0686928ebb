#pragma once

#include "app/ErrorReport.h"
#include "platform/ProgramEnding.h"

#include <QString>

#include <exception>
#include <utility>

namespace app {

// Sees each numbered step just before it runs; a throw from here counts as that step's failure.
// Lets a test fail a step that nothing real can make fail, and read which steps ran.
class StepWatch {
public:
    virtual ~StepWatch() = default;
    virtual void entering(const QString &location, int line) = 0;
};

// Watches every guarded step while it exists; one at a time.
class WatchingSteps {
public:
    explicit WatchingSteps(StepWatch &watch);
    ~WatchingSteps();
    WatchingSteps(const WatchingSteps &) = delete;
    WatchingSteps &operator=(const WatchingSteps &) = delete;

    static StepWatch *current();
};

// Runs the numbered steps of one user operation. A step that fails is reported with the
// operation's location and the step's number, and the operation goes on with its next step:
//
//     Guard g(dialogs, ErrorReport::location("Form1", "Form_Load"));
//     g(100, [&] { applySkin(); });
//     g(102, [&] { setWindowTitle(...); });
//
// Ending the program is not a failure: it passes through.
class Guard {
public:
    Guard(platform::Dialogs &dialogs, QString location) : report_(dialogs), location_(std::move(location)) {}

    template <class Step>
    void operator()(int line, Step &&step)
    {
        attempt(line, std::forward<Step>(step));
    }

    // Like operator(), and tells whether the step went through.
    template <class Step>
    bool attempt(int line, Step &&step)
    {
        try {
            if (StepWatch *watch = WatchingSteps::current())
                watch->entering(location_, line);
            step();
            return true;
        } catch (const platform::ProgramEnding &) {
            throw;
        } catch (const std::exception &e) {
            report(line, QString::fromUtf8(e.what()));
        } catch (...) {
            report(line, QString());
        }
        return false;
    }

    // The test of a conditional block: when the test itself fails, the block's body runs.
    template <class Test>
    bool when(int line, Test &&test)
    {
        bool result = true;
        attempt(line, [&] { result = test(); });
        return result;
    }

    const QString &location() const { return location_; }
    void report(int line, const QString &description) { report_.show(description, location_, line); }

private:
    ErrorReport report_;
    QString location_;
};

} // namespace app
