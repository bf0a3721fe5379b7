// The writers emit a file a few bytes at a time (a header field, a row's
// run of PackBits); a write to a file, or out of the WebAssembly module into
// the page, costs more than those bytes, so they are gathered into large
// writes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace layered {

class CGatheredWrites {
public:
    using FOut = std::function<void(const uint8_t* bytes, size_t size)>;

    explicit CGatheredWrites(FOut out) : out_(std::move(out)) { buffer_.reserve(kBytes); }

    void Put(const void* bytes, size_t size) {
        const auto* from = static_cast<const uint8_t*>(bytes);
        if (buffer_.size() + size > kBytes) Flush();
        if (size >= kBytes) {
            out_(from, size);
            return;
        }
        buffer_.insert(buffer_.end(), from, from + size);
    }

    void Flush() {
        if (!buffer_.empty()) out_(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    static constexpr size_t kBytes = size_t(1) << 20;
    FOut out_;
    std::vector<uint8_t> buffer_;
};

}  // namespace layered
