#pragma once
#include <cstddef>
#include <memory>
#include <vector>

namespace rheo {

// A column of values that grows in fixed chunks: no copying as it grows and at most one chunk
// held beyond what it holds, so a million readings cost what they are and not twice that.
template <typename T>
class ChunkedColumn {
  public:
    static constexpr std::size_t kChunk = std::size_t{1} << 14;

    void PushBack(T value) {
        if (size_ == chunks_.size() * kChunk) {
            chunks_.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
        }
        chunks_[size_ / kChunk][size_ % kChunk] = value;
        ++size_;
    }
    T operator[](std::size_t i) const { return chunks_[i / kChunk][i % kChunk]; }
    std::size_t Size() const { return size_; }
    void Clear() {
        chunks_.clear();
        size_ = 0;
    }
    std::size_t BytesHeld() const {
        return chunks_.size() * kChunk * sizeof(T) + chunks_.capacity() * sizeof(chunks_[0]);
    }

  private:
    std::vector<std::unique_ptr<T[]>> chunks_;
    std::size_t size_ = 0;
};

}  // namespace rheo
