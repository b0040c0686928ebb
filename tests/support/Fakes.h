#pragma once

#include "app/Pointer.h"
#include "platform/Clipboard.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"
#include "platform/RandomSource.h"
#include "platform/Shell.h"
#include "sides/TableList.h"
#include "sides/Windows.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

// Doubles for what a test cannot click: boxes, clipboard, shell, the draw, the event yield.

struct ShownMessage {
    QString text;
    int style;
    QString title;
};

class FakeDialogs : public platform::Dialogs {
public:
    int message(const QString &text, int style, const QString &title) override;
    QString input(const QString &prompt, const QString &defaultAnswer) override;
    QString secret(const QString &prompt) override;
    int choose(const QString &text, const QStringList &buttons) override;
    QString saveFileName(const QString &caption, const QString &suggested, const QString &filter) override;

    std::vector<ShownMessage> messages;
    std::deque<int> choices;       // buttons pressed in choice boxes; the last (the way out) when none is queued
    std::vector<QStringList> buttons; // of each choice box, in order
    std::deque<QString> savePaths; // answers of save boxes; cancelled when none is queued
    std::deque<int> answers;       // results for Yes/No boxes; Yes when none is queued
    std::deque<QString> inputs;    // answers for input boxes; the preset answer when none is queued
    std::deque<QString> secrets;   // answers for secret boxes; cancelled when none is queued
    QStringList prompts;
    QStringList presets;
    std::function<void()> onMessage; // runs while a box is "open"
    QStringList texts() const;
};

class FakeClipboard : public platform::Clipboard {
public:
    bool trySetText(const QString &text) override;
    QString readText() const override { return text; }
    int lockedFor = 0; // attempts refused before one goes through; -1 refuses for ever
    int attempts = 0;
    QString text;
    bool hasText = false;
};

class FakeShell : public platform::Shell {
public:
    void openAddress(const QString &address) override;
    QStringList opened;
    bool fail = false;
};

class FakeYield : public platform::EventYield {
public:
    void yield() override;
    int count = 0;
    std::function<void(int)> hook; // called with the 1-based count
};

class FixedRandom : public platform::RandomSource {
public:
    explicit FixedRandom(double value = 0.5) : value(value) {}
    void seedFromClock() override { ++seeds; }
    double next() override { return value; }
    double value;
    int seeds = 0;
};

class FakePointer : public app::PointerControl {
public:
    int value() const override { return current; }
    void set(int v) override
    {
        current = v;
        history.push_back(v);
    }
    int current = 0;
    std::vector<int> history;
};

class FakeProgress : public transfer::ProgressIndicator {
public:
    void setValue(double percent) override
    {
        current = percent;
        history.push_back(percent);
    }
    double value() const override { return current; }
    double current = 0;
    std::vector<double> history;
};

class MemoryLogPane : public transfer::LogPane {
public:
    void appendEntry(std::string_view utf8) override
    {
        contents += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())) + QStringLiteral("\r\n");
    }
    QString text() const override { return contents; }
    void clear() override { contents.clear(); }
    QString contents;
};

// A table list kept in plain vectors.
class PlainTableList : public sides::TableList {
public:
    PlainTableList() = default;
    explicit PlainTableList(const QStringList &names);
    int count() const override { return static_cast<int>(names.size()); }
    int currentIndex() const override { return current; }
    void setCurrentIndex(int index) override { current = index; }
    QString text(int index) const override { return names.at(index); }
    bool isSelected(int index) const override { return selected.at(static_cast<size_t>(index)); }
    void setSelected(int index, bool s) override { selected.at(static_cast<size_t>(index)) = s; }
    void removeAt(int index) override;
    void append(const QString &name) override;
    void clear() override;
    void select(const QStringList &which);

    QStringList names;
    std::vector<bool> selected;
    int current = -1;
};

// The logins the table manager reads, from a function instead of the connection window's boxes.
class ProfilesFrom : public sides::ProfileSource {
public:
    explicit ProfilesFrom(std::function<sides::ConnectionProfile(int)> profile) : profile_(std::move(profile)) {}
    sides::ConnectionProfile profile(int side) const override { return profile_(side); }

private:
    std::function<sides::ConnectionProfile(int)> profile_;
};
