#pragma once

#include "tables/LogText.h"

#include <optional>
#include <string>
#include <string_view>

namespace tableswindow {

// The log pane's text as a text box edits it, without the box: the caret, the other end of the
// selection, edits at the selection and one level of undo, as byte offsets into the log.
class LogEditor {
public:
    // What an edit changed: the bytes start..end (as they were) gave way to inserted bytes.
    struct Change {
        size_t start = 0;
        size_t end = 0;
        size_t inserted = 0;
    };
    enum class Edit { Typing, Other }; // typed characters in a row undo as one

    const LogText &log() const { return log_; }
    // A log entry and its line break, at the end; the caret stays where it is.
    void append(std::string_view utf8);
    void setText(const std::string &utf8);

    size_t caret() const { return caret_; }
    size_t anchor() const { return anchor_; }
    bool hasSelection() const { return caret_ != anchor_; }
    std::string selected() const;
    void place(size_t offset, bool keepAnchor);
    void select(size_t anchor, size_t caret);
    void selectAll();

    // The selection gives way to utf8; nothing when both are empty.
    std::optional<Change> replaceSelection(const std::string &utf8, Edit kind = Edit::Other);
    // Backspace and Delete: the selection, else the character before or after the caret.
    std::optional<Change> eraseBackward();
    std::optional<Change> eraseForward();
    // Takes back the last edit, or the last undo; undoing again redoes the edit.
    std::optional<Change> undo();
    bool canUndo() const { return undo_.possible; }

private:
    LogText log_;
    size_t caret_ = 0;
    size_t anchor_ = 0;
    struct Undo {
        bool possible = false;
        bool typing = false;
        size_t offset = 0;
        LogText::Stretch removed; // what the edit took out
        size_t inserted = 0;      // how many bytes it put in at offset
    } undo_;
};

} // namespace tableswindow
