#pragma once

#include "app/Pointer.h"

#include <QCursor>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <utility>
#include <vector>

namespace app {

// A window's pointer setting: 0 the arrow, 11 the hourglass (over this window only, not over the
// boxes its operation opens), 99 the window's custom picture (the arrow when none was loaded).
class WindowPointer : public PointerControl {
public:
    explicit WindowPointer(QWidget *window) : window_(window) {}
    ~WindowPointer() override;

    int value() const override { return value_; }
    void set(int value) override;

    void setCustomPicture(const QCursor &cursor) { custom_ = cursor; }
    bool hasCustomPicture() const { return custom_.has_value(); }

private:
    // Controls with a pointer of their own (a text box's I-beam) show the hourglass too while it
    // is set, and get their own back after.
    void coverOwnPointers();
    void uncoverOwnPointers();

    QPointer<QWidget> window_;
    std::vector<std::pair<QPointer<QWidget>, QCursor>> covered_;
    std::optional<QCursor> custom_;
    int value_ = pointer::Default;
};

} // namespace app
