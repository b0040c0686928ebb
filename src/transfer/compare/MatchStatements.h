#pragma once

#include "transfer/compare/CompareAnswers.h"
#include "transfer/shared/TableColumns.h"

#include <string>
#include <vector>

namespace transfer {

// How a key column's value finds its row on the target: as the key's own index compares it.
struct KeyColumn {
    enum class Form {
        Number,   // whole numbers and DECIMAL: checked, written as they are
        Temporal, // dates and times: checked, in quotes
        Bytes,    // binary strings and BIT: the bytes, compared as bytes
        Text,     // character strings, ENUM, SET: the bytes in charset, compared as the column compares
    };
    size_t column = 0; // in the statements' columns
    Form form = Form::Bytes;
    std::string charset; // Text: the character set the value's bytes are in
};
KeyColumn::Form keyFormOf(const StoredColumn &c);

// The statements that make one target table's rows those of the source, one key at a time.
// Values go as the copies send them (appendSentValue); the key is matched exactly. Never REPLACE,
// which deletes and inserts again, firing cascades and triggers no one asked for.
class MatchStatements {
public:
    // Throws platform::DbError for a key no statement can find a row by exactly (FLOAT, DOUBLE),
    // or a character set that is not a plain name.
    MatchStatements(std::string table, std::vector<StoredColumn> columns, std::vector<KeyColumn> key,
                    bool noBackslashEscapes);

    // INSERT INTO `t` (`a`, …) VALUES (…): the source's row, a cell a column.
    std::string insert(const Cells &row) const;
    // The same for several rows in one statement.
    std::string insert(const std::vector<const Cells *> &rows) const;
    // UPDATE `t` SET `c` = … WHERE <key> LIMIT 1: the columns marked changed only; empty when none is.
    std::string update(const Cells &row, const std::vector<bool> &changed, const Cells &keyValues) const;
    // DELETE FROM `t` WHERE <key> LIMIT 1: keyValues in the key's order.
    std::string remove(const Cells &keyValues) const;
    // DELETE FROM `t` WHERE <any of the keys>: each key finds at most its one row.
    std::string remove(const std::vector<const Cells *> &keys) const;
    // `k` = … AND …; throws platform::DbError when a value is not what its column holds.
    std::string keyCondition(const Cells &keyValues) const;
    // Any of the keys: `k` IN (…), or (<key>) OR (<key>) … for a key of several columns.
    std::string keysCondition(const std::vector<const Cells *> &keys) const;
    // The key's values of a whole row.
    Cells keyOf(const Cells &row) const;
    // The key's columns as a select list that reads them in the form the compare gave their values
    // (text in the key's character set), whatever character set the results come in.
    std::string keySelect() const;

private:
    void appendValue(std::string &out, size_t column, const std::optional<std::string> &value) const;
    void appendKeyValue(std::string &out, const KeyColumn &k, const std::optional<std::string> &value) const;

    std::string table_;
    std::vector<StoredColumn> columns_;
    std::vector<KeyColumn> key_;
    std::vector<SentAs> sentAs_;
    bool noBackslashEscapes_;
};

} // namespace transfer
