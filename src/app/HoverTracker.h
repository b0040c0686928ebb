#pragma once

#include "app/HoverRule.h"

#include <QHash>
#include <QObject>

class QWidget;

namespace app {

class PointerControl;

// Applies the hover rule as the pointer moves over the controls it watches.
class HoverTracker : public QObject {
    Q_OBJECT
public:
    HoverTracker(PointerControl &pointer, QObject *parent) : QObject(parent), pointer_(pointer) {}
    void watch(QWidget *widget, HoverTarget target);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PointerControl &pointer_;
    QHash<QObject *, HoverTarget> targets_;
};

} // namespace app
