#pragma once

// Growable decode target. Block headers announce their size, but a hostile
// stream can announce 4 GiB and deliver a few bytes, so memory is only
// reserved up to what the caller allows and what the input could plausibly
// produce; beyond that the buffer grows as data actually arrives.
//
// The underlying vector always carries kSlack spare bytes past the capacity
// so that copy loops may overwrite a few bytes beyond the data they produce.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qv::lzfse::detail {

class OutputBuffer {
public:
    static constexpr std::size_t kSlack = 64;

    OutputBuffer(std::vector<std::uint8_t>& storage, std::size_t maxOutput)
        : v_(storage), max_(maxOutput) {
        v_.clear();
    }

    std::size_t size() const { return size_; }
    std::size_t maxOutput() const { return max_; }
    std::uint8_t* data() { return v_.data(); }
    std::size_t capacity() const { return v_.size() < kSlack ? 0 : v_.size() - kSlack; }

    // Makes room for `extra` more bytes. False when that would pass the output limit.
    bool reserve(std::size_t extra) {
        if (extra > max_ - size_) return false;
        if (capacity() - size_ < extra) grow(size_ + extra);
        return true;
    }

    // Pre-sizes for what a block is expected to produce; the caller bounds
    // `bytes` by what the block's input could really yield.
    void expect(std::size_t bytes) {
        if (bytes > max_ - size_) bytes = max_ - size_;
        if (capacity() - size_ < bytes) grow(size_ + bytes);
    }

    void setSize(std::size_t n) { size_ = n; }

    // Keeps only the last `window` bytes, moved to the front (decoding a
    // stream piece by piece).
    void keepLast(std::size_t window) {
        if (size_ <= window) return;
        std::memmove(v_.data(), v_.data() + (size_ - window), window);
        size_ = window;
    }

    void finish() { v_.resize(size_); }
    void fail() {
        v_.clear();
        v_.shrink_to_fit();
        size_ = 0;
    }

private:
    // Doubling keeps the copies of a many-block stream linear in its size.
    void grow(std::size_t minCapacity) {
        std::size_t want = capacity() * 2;
        if (want > max_) want = max_;
        if (want < minCapacity) want = minCapacity;
        v_.resize(want + kSlack);
    }

    std::vector<std::uint8_t>& v_;
    std::size_t size_ = 0;
    std::size_t max_;
};

} // namespace qv::lzfse::detail
