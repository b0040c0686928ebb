#pragma once

#include "transfer/compare/CompareAnswers.h"

#include <cstddef>
#include <string>
#include <vector>

namespace transfer {

// A span of positions in a key's order and what each side holds in it.
struct KeyRange {
    Position low;
    Position high;
    Figures here; // rows -1: not known
    Figures there;
};

// The question text of one side: its position and checksum expressions and its quoted table.
struct RangeTerms {
    const std::string &position;
    const std::string &checksum;
    const std::string &table;
};

// " WHERE" the position lies in ranges [from, to).
std::string withinRanges(const std::string &position, const std::vector<KeyRange> &ranges, size_t from, size_t to);

// How many parts each of a level's ranges is split into: as many as let them all fit one question
// of questionBytes, between RangeParts and MostRangeParts.
Position partsEach(size_t questionBytes, size_t ranges, size_t partBytes, size_t rangeBytes);

// Ranges [from, to) cut into parts of equal span, each at most each parts; firstPart gets the
// index of each range's first part, and one past the last.
std::vector<KeyRange> partsOf(const std::vector<KeyRange> &ranges, size_t from, size_t to, Position each,
                              std::vector<size_t> &firstPart);

// The count and checksum sum of each part, numbered from 1: a range of the key's index each for a
// whole-number key (read once, nothing grouped), else grouped by the part a row's position falls in.
std::string partsQuestion(const RangeTerms &t, bool wholeNumberKey, const std::vector<KeyRange> &parts,
                          const std::vector<KeyRange> &ranges, size_t from, size_t to);

// The position, the key's columns and the checksum of each row of ranges [from, to).
std::string rowsQuestion(const RangeTerms &t, const std::vector<std::string> &keyColumns,
                         const std::vector<KeyRange> &ranges, size_t from, size_t to);

} // namespace transfer
