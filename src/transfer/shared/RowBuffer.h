#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {
class RecordSet;
}

namespace transfer {

// The rows of one table held in memory, each value kept apart and NULL kept distinct from empty.
// Values live in large shared blocks, so a row costs its bytes plus 16 bytes a value.
class RowBuffer {
public:
    struct Cell {
        const char *data;
        std::int64_t length; // -1 for NULL
        bool isNull() const { return length < 0; }
        std::string_view bytes() const { return {data, static_cast<size_t>(length)}; }
    };

    explicit RowBuffer(int columnCount) : columns_(columnCount) {}

    void appendCurrentRow(const platform::RecordSet &record);
    // Empties the buffer; its memory goes back too.
    void clear();
    size_t byteCount() const { return bytes_; }
    size_t rowCount() const { return columns_ == 0 ? 0 : cells_.size() / static_cast<size_t>(columns_); }
    int columnCount() const { return columns_; }
    Cell cell(size_t row, int column) const
    {
        return cells_[row * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
    }

private:
    const char *store(std::string_view bytes);

    static constexpr size_t BlockSize = 1 << 20;
    int columns_;
    std::vector<Cell> cells_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char *free_ = nullptr;
    size_t freeLeft_ = 0;
    size_t bytes_ = 0;
};

} // namespace transfer
