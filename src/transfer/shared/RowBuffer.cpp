#include "transfer/shared/RowBuffer.h"

#include "platform/RecordSet.h"

#include <cstring>

namespace transfer {

const char *RowBuffer::store(std::string_view bytes)
{
    if (bytes.empty())
        return "";
    if (bytes.size() > BlockSize / 4) {
        // Large values get a block of their own, so the shared block's tail is not wasted.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(bytes.size()));
        std::memcpy(blocks_.back().get(), bytes.data(), bytes.size());
        return blocks_.back().get();
    }
    if (bytes.size() > freeLeft_) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(BlockSize));
        free_ = blocks_.back().get();
        freeLeft_ = BlockSize;
    }
    char *at = free_;
    std::memcpy(at, bytes.data(), bytes.size());
    free_ += bytes.size();
    freeLeft_ -= bytes.size();
    return at;
}

void RowBuffer::clear()
{
    cells_.clear();
    blocks_.clear();
    free_ = nullptr;
    freeLeft_ = 0;
    bytes_ = 0;
}

void RowBuffer::appendCurrentRow(const platform::RecordSet &record)
{
    for (int c = 0; c < columns_; ++c) {
        const platform::FieldValue v = record.value(c);
        if (v.isNull)
            cells_.push_back({nullptr, -1});
        else
            cells_.push_back({store(v.bytes), static_cast<std::int64_t>(v.bytes.size())});
        bytes_ += v.bytes.size();
    }
}

} // namespace transfer
