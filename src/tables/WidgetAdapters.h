#pragma once

#include "tables/DebugLog.h"
#include "tables/TableList.h"
#include "transfer/Progress.h"

class QListWidget;
class QPlainTextEdit;
class QProgressBar;

// A table list over a multi-selection list widget.
class ListWidgetTableList : public TableList {
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

// The log pane over a plain-text box. Entries are gathered and handed to the box in batches
// (the next time events are handled, or when the text is read), so an append costs the same
// however long the log has grown. The text reads back with CR LF after every line.
class PlainTextLogPane : public LogPane {
public:
    explicit PlainTextLogPane(QPlainTextEdit *widget) : widget_(widget) {}
    void appendEntry(const QString &entry) override;
    QString text() const override;
    void clear() override;
    void flush() const;

private:
    QPlainTextEdit *widget_;
    mutable QString pending_;
    mutable bool flushScheduled_ = false;
};

// The progress bar: keeps the exact percentage, shows whole percents.
class ProgressBarAdapter : public ProgressIndicator {
public:
    explicit ProgressBarAdapter(QProgressBar *widget) : widget_(widget) {}
    void setValue(double percent) override;
    double value() const override { return value_; }

private:
    QProgressBar *widget_;
    double value_ = 0;
};
