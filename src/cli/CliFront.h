#pragma once

#include "app/Pointer.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <utility>
#include <vector>

namespace cli {

// A side's tables, as the list widget holds them for the runners.
class NameList : public sides::TableList {
public:
    explicit NameList(const QStringList &names = {}, bool selected = false);
    int count() const override { return static_cast<int>(entries_.size()); }
    int currentIndex() const override { return current_; }
    void setCurrentIndex(int index) override { current_ = index; }
    QString text(int index) const override { return entries_.at(static_cast<size_t>(index)).first; }
    bool isSelected(int index) const override { return entries_.at(static_cast<size_t>(index)).second; }
    void setSelected(int index, bool selected) override { entries_.at(static_cast<size_t>(index)).second = selected; }
    void removeAt(int index) override;
    void append(const QString &name) override { entries_.emplace_back(name, false); }
    void clear() override;

private:
    std::vector<std::pair<QString, bool>> entries_;
    int current_ = -1;
};

// The boxes, with nobody to answer them: what they say goes to standard error; a question is
// answered as the options decided beforehand.
struct BoxAnswers {
    bool replace = false;   // "overwrite?"
    int choice = 0;         // the button of a choice box
    QString saveTo;         // where a save box saves
};

class TerminalDialogs : public platform::Dialogs {
public:
    explicit TerminalDialogs(BoxAnswers answers) : answers_(std::move(answers)) {}
    int message(const QString &text, int style, const QString &title) override;
    QString input(const QString &prompt, const QString &defaultAnswer) override;
    QString secret(const QString &prompt) override;
    int choose(const QString &text, const QStringList &buttons) override;
    QString saveFileName(const QString &caption, const QString &suggested, const QString &filter) override;
    // Boxes that were not questions: the runs' errors and summaries.
    int told() const { return told_; }

private:
    BoxAnswers answers_;
    int told_ = 0;
};

// The bar on standard error when it is a terminal: the share done, the rows and their rate where a
// copy tells them, the time so far and left.
class TerminalProgress : public transfer::ProgressIndicator {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    void setValue(double percent) override;
    double value() const override { return percent_; }
    void setRows(long long done, long long expected) override;

private:
    bool terminal_;
    long long rows_ = -1;
    long long expected_ = 0;
    qint64 rowsSince_ = 0; // when the table's first rows came
    double percent_ = 0;
    QElapsedTimer sinceStart_;
    qint64 lastDrawn_ = -1000;
    bool drawn_ = false;
};

// The statements the log pane would show, into a file when one was given.
class FileLog : public transfer::LogPane {
public:
    // Throws std::runtime_error when the file cannot be made.
    explicit FileLog(const QString &path);
    void appendEntry(std::string_view utf8) override;
    QString text() const override { return {}; }
    void clear() override {}

private:
    QFile file_;
};

class NoPointer : public app::PointerControl {
public:
    int value() const override { return value_; }
    void set(int value) override { value_ = value; }

private:
    int value_ = 0;
};

} // namespace cli
