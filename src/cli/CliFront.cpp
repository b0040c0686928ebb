#include "cli/CliFront.h"

#include "cli/CliReport.h"
#include "platform/QtDialogs.h"

#include <QByteArray>

#include <algorithm>
#include <string>

#include <stdexcept>

#include <unistd.h>

namespace cli {

namespace {

void toStandardError(const QString &text)
{
    const QByteArray bytes = platform::QtDialogs::displayText(text).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

} // namespace

NameList::NameList(const QStringList &names, bool selected)
{
    for (const QString &n : names)
        entries_.emplace_back(n, selected);
    if (!entries_.empty())
        current_ = 0;
}

void NameList::removeAt(int index)
{
    entries_.erase(entries_.begin() + index);
    if (current_ >= count())
        current_ = count() - 1;
}

void NameList::clear()
{
    entries_.clear();
    current_ = -1;
}

int TerminalDialogs::message(const QString &text, int style, const QString &title)
{
    if (style == platform::YesNo) {
        toStandardError((title.isEmpty() ? QString() : title + u' ') + text + u' ' + overwriteAnswerText(answers_.replace));
        return answers_.replace ? platform::Yes : platform::No;
    }
    ++told_;
    toStandardError(text);
    return platform::Ok;
}

QString TerminalDialogs::input(const QString &, const QString &defaultAnswer) { return defaultAnswer; }
// Nobody is there to type one: the login says what it lacked.
QString TerminalDialogs::secret(const QString &) { return {}; }

int TerminalDialogs::choose(const QString &, const QStringList &buttons)
{
    // The choice is the command's; what the box would have shown is on standard output already.
    return std::min(answers_.choice, static_cast<int>(buttons.size()) - 1);
}

QString TerminalDialogs::saveFileName(const QString &, const QString &, const QString &) { return answers_.saveTo; }

TerminalProgress::TerminalProgress() : terminal_(::isatty(STDERR_FILENO) == 1) { sinceStart_.start(); }

TerminalProgress::~TerminalProgress()
{
    if (drawn_)
        std::fputs("\r\033[K", stderr);
}

void TerminalProgress::setRows(long long done, long long expected)
{
    if (rows_ < 0 || done < rows_)
        rowsSince_ = sinceStart_.elapsed();
    rows_ = done;
    expected_ = expected;
}

void TerminalProgress::setValue(double percent)
{
    percent_ = percent;
    if (!terminal_)
        return;
    const qint64 now = sinceStart_.elapsed();
    if (now - lastDrawn_ < 100 && percent > 0 && percent < 100)
        return;
    lastDrawn_ = now;
    drawn_ = percent > 0;
    if (!drawn_) {
        std::fputs("\r\033[K", stderr);
        return;
    }
    constexpr int Width = 30;
    const int filled = static_cast<int>(Width * std::min(percent, 100.0) / 100.0);
    const double seconds = now / 1000.0;
    const double left = percent > 0 ? seconds * (100.0 - percent) / percent : 0;
    std::string rows;
    if (rows_ >= 0) {
        const double forRows = std::max(1, static_cast<int>(now - rowsSince_)) / 1000.0;
        rows = "  " + std::to_string(rows_) + " of " + std::to_string(expected_) + " rows, "
               + std::to_string(static_cast<long long>(rows_ / forRows)) + " rows/s";
    }
    std::fprintf(stderr, "\r[%s%s] %5.1f%%%s  %.0f s, about %.0f s left\033[K", std::string(filled, '#').c_str(),
                 std::string(Width - filled, ' ').c_str(), percent, rows.c_str(), seconds, left);
    std::fflush(stderr);
}

FileLog::FileLog(const QString &path)
{
    if (path.isEmpty())
        return;
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("The log file " + path.toStdString() + " cannot be written: "
                                 + file_.errorString().toStdString());
}

void FileLog::appendEntry(std::string_view utf8)
{
    if (!file_.isOpen())
        return;
    file_.write(utf8.data(), static_cast<qint64>(utf8.size()));
    file_.write("\n", 1);
    file_.flush();
}

} // namespace cli
