#pragma once

#include "tables/LogText.h"

#include <QFont>
#include <QTextLayout>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace tableswindow {

// The log laid out in rows: each line wrapped at the pane's width, in stretches of a few
// kilobytes, and only the stretches asked for, so a logged BLOB of megabytes costs no more to
// show than its rows in view. Knows nothing of the widget but its font and width.
class LogLayout {
public:
    struct Metrics {
        std::function<QFont()> font;
        std::function<int()> width; // rows wrap here
        std::function<int()> lineHeight;
    };

    // A stretch of one line laid out as wrapped rows.
    struct Paragraph {
        size_t start = 0, end = 0;         // its bytes in the log
        size_t line = 0;                   // the log line it belongs to
        size_t lineStart = 0, lineEnd = 0; // that line's bytes, without its break
        std::vector<uint32_t> byteOf;      // for each UTF-16 unit of the text, its byte from start
        QTextLayout layout;
        int rows() const { return layout.lineCount(); }
        int unitOf(size_t offset) const; // UTF-16 position of a byte offset
        size_t offsetOf(int unit) const { return start + byteOf[static_cast<size_t>(unit)]; }
    };
    struct RowPosition {
        size_t paragraph; // its start
        int row;
        bool operator<(const RowPosition &o) const
        {
            return paragraph != o.paragraph ? paragraph < o.paragraph : row < o.row;
        }
    };

    LogLayout(const LogText &log, Metrics metrics) : log_(log), metrics_(std::move(metrics)) {}

    Paragraph &paragraphAt(size_t offset);
    // The stretch after or before p; false at either end of the log.
    bool nextParagraph(const Paragraph &p, size_t &start);
    bool previousParagraph(const Paragraph &p, size_t &start);
    // One row down (direction 1) or up; false at either end of the log.
    bool stepRow(RowPosition &at, int direction);
    RowPosition rowOf(size_t offset);

    // Everything is laid out anew when next asked: the text, font or width changed.
    void forget();
    // Only lines from offset on changed (an append to the last line).
    void changedFrom(size_t offset) { staleFrom_ = std::min(staleFrom_, offset); }

private:
    size_t paragraphEnd(size_t start, size_t lineEnd) const;
    Paragraph &paragraphStarting(size_t start, size_t line, size_t lineStart, size_t lineEnd);
    void forgetStale();

    const LogText &log_;
    Metrics metrics_;
    std::map<size_t, std::unique_ptr<Paragraph>> layouts_; // by start
    size_t staleFrom_ = static_cast<size_t>(-1);          // layouts of lines reaching here are old
};

} // namespace tableswindow
