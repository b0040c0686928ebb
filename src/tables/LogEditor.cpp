#include "tables/LogEditor.h"

#include <algorithm>

namespace tableswindow {

void LogEditor::append(std::string_view utf8)
{
    log_.append(utf8);
    log_.append("\r\n");
}

void LogEditor::setText(const std::string &utf8)
{
    log_.clear();
    log_.append(utf8);
    undo_ = {};
    caret_ = anchor_ = 0;
}

std::string LogEditor::selected() const { return log_.range(std::min(caret_, anchor_), std::max(caret_, anchor_)); }

void LogEditor::place(size_t offset, bool keepAnchor)
{
    caret_ = std::min(offset, log_.size());
    if (!keepAnchor)
        anchor_ = caret_;
}

void LogEditor::select(size_t anchor, size_t caret)
{
    anchor_ = std::min(anchor, log_.size());
    caret_ = std::min(caret, log_.size());
}

void LogEditor::selectAll() { select(0, log_.size()); }

std::optional<LogEditor::Change> LogEditor::replaceSelection(const std::string &utf8, Edit kind)
{
    const size_t start = std::min(caret_, anchor_);
    const size_t end = std::max(caret_, anchor_);
    if (start == end && utf8.empty())
        return std::nullopt;
    const bool goesOnTyping = kind == Edit::Typing && undo_.possible && undo_.typing && start == end
                              && start == undo_.offset + undo_.inserted;
    if (goesOnTyping)
        undo_.inserted += utf8.size();
    else
        undo_ = {true, kind == Edit::Typing, start, log_.stretch(start, end), utf8.size()};
    log_.erase(start, end);
    log_.insert(start, utf8);
    caret_ = anchor_ = start + utf8.size();
    return Change{start, end, utf8.size()};
}

std::optional<LogEditor::Change> LogEditor::eraseBackward()
{
    if (!hasSelection())
        anchor_ = log_.previousCharacter(caret_);
    return replaceSelection({});
}

std::optional<LogEditor::Change> LogEditor::eraseForward()
{
    if (!hasSelection())
        anchor_ = log_.nextCharacter(caret_);
    return replaceSelection({});
}

std::optional<LogEditor::Change> LogEditor::undo()
{
    if (!undo_.possible)
        return std::nullopt;
    // What the edit put in goes, what it took out comes back.
    const size_t start = std::min(undo_.offset, log_.size());
    const size_t end = std::min(start + undo_.inserted, log_.size());
    const LogText::Stretch inserted = log_.stretch(start, end);
    size_t restored = 0;
    for (const LogText::Piece &p : undo_.removed)
        restored += p.length;
    log_.erase(start, end);
    log_.insertStretch(start, undo_.removed);
    undo_ = {true, false, start, inserted, restored};
    anchor_ = start;
    caret_ = start + restored;
    return Change{start, end, restored};
}

} // namespace tableswindow
