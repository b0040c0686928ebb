#include "transfer/compare/RowDiff.h"

#include "platform/DbConnection.h"
#include "platform/SqlQuoting.h"
#include "transfer/compare/CompareAnswers.h"
#include "transfer/compare/KeyRanges.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace transfer {

namespace {

class Narrowing {
public:
    Narrowing(const ComparedTable &here, const ComparedTable &there, bool wholeNumberKey, size_t mostKeys,
              std::optional<Position> after)
        : here_(here), there_(there), wholeNumberKey_(wholeNumberKey), mostKeys_(mostKeys), after_(after),
          questionBytes_(std::min(here.questionBytes, there.questionBytes))
    {
    }

    RowComparison run()
    {
        const bool keyed = !here_.position.empty() && !there_.position.empty();
        if (keyed && (wholeNumberKey_ || after_))
            return byKeyRanges();
        const auto whole = [keyed](const ComparedTable &t) {
            std::string s = "SELECT COUNT(*), IFNULL(SUM(" + t.checksum + "), 0)";
            if (keyed)
                s += ", MIN(" + t.position + "), MAX(" + t.position + ")";
            return s + " FROM " + quotedTable(t);
        };
        const auto [a, b] = ask(whole(here_), whole(there_), keyed ? 4 : 2, 1, 1);
        requireOneRow(a, b);
        const Figures here = figuresOf(here_.server, a[0], 0);
        const Figures there = figuresOf(there_.server, b[0], 0);
        result_.rowsHere = here.rows;
        result_.rowsThere = there.rows;
        result_.same = here == there;
        if (result_.same || !keyed)
            return result_;
        const auto [low, high] = bounds(a[0], b[0], 2);
        if (!low)
            unexpectedAnswer(here_.server);
        narrow({{*low, *high, here, there}});
        report();
        return result_;
    }

private:
    using Range = KeyRange;

    void requireOneRow(const Answer &a, const Answer &b) const
    {
        if (a.size() != 1)
            unexpectedAnswer(here_.server);
        if (b.size() != 1)
            unexpectedAnswer(there_.server);
    }

    // The least and greatest position of either side, from cells at and at + 1 of each; none when
    // both are empty.
    std::pair<std::optional<Position>, std::optional<Position>> bounds(const Cells &a, const Cells &b, size_t at) const
    {
        std::optional<Position> low;
        std::optional<Position> high;
        for (const auto &[side, cells] : {std::pair{&here_, &a}, std::pair{&there_, &b}}) {
            if (!(*cells)[at] && !(*cells)[at + 1])
                continue; // no rows there
            const Position least = positionOf(side->server, (*cells)[at]);
            const Position most = positionOf(side->server, (*cells)[at + 1]);
            if (least > most)
                unexpectedAnswer(side->server);
            low = low ? std::min(*low, least) : least;
            high = high ? std::max(*high, most) : most;
        }
        return {low, high};
    }

    // A whole-number key: its least and greatest values come from the index at no cost, and the
    // parts of the first level, asked at once, stand for the whole table, so it is read once.
    RowComparison byKeyRanges()
    {
        const bool whole = !after_ && here_.small && there_.small;
        const auto ends = [this, whole](const ComparedTable &t) {
            std::string s = "SELECT MIN(" + t.position + "), MAX(" + t.position + ")";
            if (whole)
                s += ", COUNT(*), IFNULL(SUM(" + t.checksum + "), 0)";
            s += " FROM " + quotedTable(t);
            if (after_)
                s += " WHERE " + t.position + " > " + positionText(*after_);
            return s;
        };
        const auto [a, b] = ask(ends(here_), ends(there_), whole ? 4 : 2, 1, 1);
        requireOneRow(a, b);
        if (whole) {
            const Figures here = figuresOf(here_.server, a[0], 2);
            const Figures there = figuresOf(there_.server, b[0], 2);
            if (here == there) {
                result_.rowsHere = here.rows;
                result_.rowsThere = there.rows;
                result_.same = true;
                return result_;
            }
        }
        const auto [low, high] = bounds(a[0], b[0], 0);
        if (!low) {
            result_.same = true; // both empty
            return result_;
        }
        const Figures unknown{-1, {}};
        std::vector<Range> level;
        split({{*low, *high, unknown, unknown}}, 0, level);
        result_.rowsHere = partRowsHere_;
        result_.rowsThere = partRowsThere_;
        result_.same = level.empty();
        narrow(std::move(level));
        report();
        return result_;
    }

    // A key as read from either side.
    struct Found {
        Position position = 0;
        std::string shown;
        Cells key;
        int onHere = 0;
        int onThere = 0;
        std::string checksumHere;
        std::string checksumThere;
    };

    static bool differs(const Found &f) { return !(f.onHere == 1 && f.onThere == 1 && f.checksumHere == f.checksumThere); }

    static std::string quotedTable(const ComparedTable &t)
    {
        std::string s;
        platform::appendBackquoted(s, t.table);
        return s;
    }

    std::pair<Answer, Answer> ask(const std::string &questionHere, const std::string &questionThere, size_t fields, long long mostHere,
                                  long long mostThere)
    {
        ++result_.queries;
        return askBoth(here_.server, questionHere, there_.server, questionThere, fields, mostHere, mostThere);
    }

    static bool few(const Range &r) { return r.low == r.high || (r.here.rows <= FewRows && r.there.rows <= FewRows); }

    // Level by level: the differing ranges of a level are split (or their rows read) in a few
    // questions, as many ranges in each as fit, so a slow link costs a round trip per level.
    void narrow(std::vector<Range> level)
    {
        while (!level.empty()) {
            keepOnlyWhatCanBeListed(level);
            std::vector<Range> leaves;
            std::vector<Range> wide;
            for (const Range &r : level)
                (few(r) ? leaves : wide).push_back(r);
            for (size_t at = 0; at < leaves.size();)
                at = readRows(leaves, at);
            std::vector<Range> next;
            for (size_t at = 0; at < wide.size();)
                at = split(wide, at, next);
            level = std::move(next);
        }
    }

    // Each range of a level (in key order) holds at least one differing row; a range after more
    // than can be listed is not looked into.
    void keepOnlyWhatCanBeListed(std::vector<Range> &level)
    {
        std::vector<Position> known;
        for (const auto &[match, f] : found_)
            if (differs(f))
                known.push_back(f.position);
        std::sort(known.begin(), known.end());
        for (size_t i = 0; i < level.size(); ++i) {
            const auto below = std::lower_bound(known.begin(), known.end(), level[i].low) - known.begin();
            if (mostKeys_ > 0 && static_cast<size_t>(below) + i >= mostKeys_) {
                cutFrom_ = cutFrom_ ? std::min(*cutFrom_, level[i].low) : level[i].low;
                level.resize(i);
                result_.more = true;
                return;
            }
        }
    }

    // How many ranges from at on go into one question.
    size_t batchEnd(const std::vector<Range> &ranges, size_t at, size_t bytesEach) const
    {
        return std::min(ranges.size(), at + std::max<size_t>(1, questionBytes_ / bytesEach));
    }

    // Splits ranges [at, …) into parts, in one question; the parts whose figures differ go to next,
    // in order. Returns where the next question starts.
    size_t split(const std::vector<Range> &ranges, size_t at, std::vector<Range> &next)
    {
        const size_t checksum = std::max(here_.checksum.size(), there_.checksum.size());
        const size_t position = std::max(here_.position.size(), there_.position.size());
        const size_t partBytes = wholeNumberKey_ ? checksum + position + 96 : 24;
        const size_t rangeBytes = position + 64;
        // Few differing ranges get more parts each, as many as the level's ranges still fit one
        // question with: scattered rows are then not read again in every part of the first levels,
        // and a level fewer is asked.
        const Position each = partsEach(questionBytes_, ranges.size(), partBytes, rangeBytes);
        const size_t end = batchEnd(ranges, at, static_cast<size_t>(each) * partBytes + rangeBytes);
        std::vector<size_t> firstPart; // of each range
        std::vector<Range> parts = partsOf(ranges, at, end, each, firstPart);
        const auto question = [&](const ComparedTable &t) {
            const std::string table = quotedTable(t);
            return partsQuestion({t.position, t.checksum, table}, wholeNumberKey_, parts, ranges, at, end);
        };
        const auto most = static_cast<long long>(parts.size());
        const auto [a, b] = ask(question(here_), question(there_), 3, most, most);
        take(here_, a, parts, &Range::here);
        take(there_, b, parts, &Range::there);
        for (size_t i = at; i < end; ++i) {
            long long rowsHere = 0;
            long long rowsThere = 0;
            for (size_t p = firstPart[i - at]; p < firstPart[i - at + 1]; ++p) {
                rowsHere += parts[p].here.rows;
                rowsThere += parts[p].there.rows;
                if (!(parts[p].here == parts[p].there))
                    next.push_back(parts[p]);
            }
            partRowsHere_ += rowsHere;
            partRowsThere_ += rowsThere;
            // Together the parts must make their range, where its figures are known.
            if (ranges[i].here.rows >= 0 && rowsHere != ranges[i].here.rows)
                unexpectedAnswer(here_.server);
            if (ranges[i].there.rows >= 0 && rowsThere != ranges[i].there.rows)
                unexpectedAnswer(there_.server);
        }
        return end;
    }

    static void take(const ComparedTable &side, const Answer &answer, std::vector<Range> &parts, Figures Range::*figures)
    {
        std::vector<bool> seen(parts.size());
        for (const Cells &cells : answer) {
            const Position part = positionOf(side.server, cells[0]) - 1;
            if (part < 0 || part >= static_cast<Position>(parts.size()) || seen[static_cast<size_t>(part)])
                unexpectedAnswer(side.server);
            seen[static_cast<size_t>(part)] = true;
            parts[static_cast<size_t>(part)].*figures = figuresOf(side.server, cells, 1);
        }
    }

    // Reads the keys and checksums of the rows of ranges [at, …) in one question.
    size_t readRows(const std::vector<Range> &ranges, size_t at)
    {
        const size_t fitting = batchEnd(ranges, at, std::max(here_.position.size(), there_.position.size()) + 64);
        // As many ranges as fit the question, and as hold rows enough to be read at once, not more:
        // the answer is held whole until its rows are counted.
        long long mostHere = 0;
        long long mostThere = 0;
        size_t end = at;
        for (; end < fitting; ++end) {
            const long long rows = std::max(ranges[end].here.rows, ranges[end].there.rows);
            if (end > at && std::max(mostHere, mostThere) + rows > RowsReadAtOnce)
                break;
            mostHere += ranges[end].here.rows;
            mostThere += ranges[end].there.rows;
        }
        const auto question = [&](const ComparedTable &t) {
            const std::string table = quotedTable(t);
            return rowsQuestion({t.position, t.checksum, table}, t.keyColumns, ranges, at, end);
        };
        const size_t fields = here_.keyColumns.size() + 2;
        if (there_.keyColumns.size() + 2 != fields)
            unexpectedAnswer(there_.server);
        const auto [a, b] = ask(question(here_), question(there_), fields, mostHere, mostThere);
        for (const auto &[answer, side] : {std::pair{&a, 1}, std::pair{&b, 2}})
            for (const Cells &cells : *answer) {
                Found &f = found(cells, side == 1 ? here_ : there_);
                (side == 1 ? f.onHere : f.onThere) += 1;
                (side == 1 ? f.checksumHere : f.checksumThere) = cells.back().value_or(std::string());
            }
        // Both sides of these ranges are in, and a key lies in one range on both (else it differs):
        // a row the same on both is done with. Only the differing rows are kept, so memory grows
        // with them, not with the rows read around them.
        std::erase_if(found_, [](const auto &entry) { return !differs(entry.second); });
        return end;
    }

    // The entry of the key in these cells (its position first, then its values).
    Found &found(const Cells &cells, const ComparedTable &side)
    {
        std::string match;
        std::string shown;
        const Position position = positionOf(side.server, cells[0]);
        const size_t keys = cells.size() - 2;
        for (size_t i = 1; i <= keys; ++i) {
            // Each value's bytes (a zero byte as 0 FF), then 0 0: tuples sort as their values do.
            if (!cells[i])
                match += std::string("\0\1", 2);
            else
                for (const char c : *cells[i])
                    match += c == '\0' ? std::string("\0\xff", 2) : std::string(1, c);
            match += std::string("\0\0", 2);
            if (i > 1)
                shown += ", ";
            shown += wholeNumberKey_ ? cells[i].value_or("NULL") : shownKeyValue(cells[i], here_.textKey.at(i - 1));
        }
        if (keys > 1)
            shown = '(' + shown + ')';
        Found &f = found_[match];
        if (f.shown.empty()) {
            f.shown = std::move(shown);
            f.position = position;
            f.key.assign(cells.begin() + 1, cells.end() - 1);
        } else if (f.position != position) {
            f.onHere = f.onThere = 2; // the same key in two places: it differs, whatever else
        }
        return f;
    }

    // The first mostKeys differing rows in the order of their positions, listed in key
    // order.
    void report()
    {
        std::vector<std::pair<Position, const std::pair<const std::string, Found> *>> differing;
        for (const auto &entry : found_)
            if (differs(entry.second))
                differing.emplace_back(entry.second.position, &entry);
        std::stable_sort(differing.begin(), differing.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        // Only rows before the first range left unread are known to be all there are up to them.
        if (cutFrom_)
            while (!differing.empty() && differing.back().first >= *cutFrom_)
                differing.pop_back();
        if (mostKeys_ > 0 && differing.size() > mostKeys_) {
            differing.resize(mostKeys_);
            result_.more = true;
        }
        if (result_.more)
            result_.listedUpTo = differing.empty() ? *cutFrom_ - 1 : differing.back().first;
        if (!wholeNumberKey_)
            std::sort(differing.begin(), differing.end(),
                      [](const auto &a, const auto &b) { return a.second->first < b.second->first; });
        for (const auto &[position, entry] : differing) {
            const Found &f = entry->second;
            result_.rows.push_back({f.shown, f.onThere == 0   ? DifferingRow::Kind::OnlyHere
                                             : f.onHere == 0 ? DifferingRow::Kind::OnlyThere
                                                            : DifferingRow::Kind::Differs,
                                   f.key, f.onThere == 1 ? f.checksumThere : std::string()});
        }
    }

    const ComparedTable &here_;
    const ComparedTable &there_;
    bool wholeNumberKey_;
    size_t mostKeys_;
    std::optional<Position> after_;
    std::optional<Position> cutFrom_; // the least position of a range left unread
    size_t questionBytes_;
    RowComparison result_;
    std::map<std::string, Found> found_;
    long long partRowsHere_ = 0; // in every part asked for, on each side
    long long partRowsThere_ = 0;
};

} // namespace

RowComparison compareRows(const ComparedTable &here, const ComparedTable &there, bool wholeNumberKey, size_t mostKeys,
                          std::optional<Position> after)
{
    return Narrowing(here, there, wholeNumberKey, mostKeys, after).run();
}

} // namespace transfer
