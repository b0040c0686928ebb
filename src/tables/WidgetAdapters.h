#pragma once

#include "sides/TableList.h"
#include "transfer/shared/Progress.h"

class QListWidget;
class QProgressBar;

namespace tableswindow {

// A table list over a multi-selection list widget.
class ListWidgetTableList : public sides::TableList {
public:
    explicit ListWidgetTableList(QListWidget *widget) : widget_(widget) {}
    int count() const override;
    int currentIndex() const override;
    void setCurrentIndex(int index) override;
    QString text(int index) const override;
    bool isSelected(int index) const override;
    void setSelected(int index, bool selected) override;
    void removeAt(int index) override;
    void append(const QString &name) override;
    void clear() override;

private:
    QListWidget *widget_;
};

// The progress bar: keeps the exact percentage, shows whole percents.
class ProgressBarAdapter : public transfer::ProgressIndicator {
public:
    explicit ProgressBarAdapter(QProgressBar *widget) : widget_(widget) {}
    void setValue(double percent) override;
    double value() const override { return value_; }

private:
    QProgressBar *widget_;
    double value_ = 0;
};

} // namespace tableswindow
