#include "cli/StripDeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <system_error>
#include <memory>
#include <new>

namespace cli {

namespace {

struct SCompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// TIFF's horizontal predictor for 8-bit samples: each sample less the same
// sample of the pixel to its left, from the end of the row backwards.
void Difference(uint8_t* row, size_t rowBytes, int planes) {
    for (size_t i = rowBytes; i-- > size_t(planes);) row[i] = uint8_t(row[i] - row[i - size_t(planes)]);
}

}  // namespace

std::vector<std::string> DeflateStrips(const SStripDeflate& job,
                                       const std::function<void(uint32_t)>& stripsDone) {
    const uint32_t strips = (uint32_t(job.height) + job.rowsPerStrip - 1) / job.rowsPerStrip;
    std::vector<std::string> out(strips);
    std::atomic<uint32_t> next{0}, done{0};
    std::atomic<bool> stop{false};

    auto work = [&] {
        std::unique_ptr<libdeflate_compressor, SCompressorDeleter> compressor(
            libdeflate_alloc_compressor(job.level));
        if (!compressor) throw std::bad_alloc();
        std::vector<uint8_t> strip(size_t(job.rowsPerStrip) * job.rowBytes);
        std::vector<uint8_t> packed(libdeflate_zlib_compress_bound(compressor.get(), strip.size()));
        for (uint32_t index; !stop && (index = next++) < strips;) {
            if (job.stopped && job.stopped()) {
                stop = true;
                return;
            }
            const uint32_t y = index * job.rowsPerStrip;
            const uint32_t rows = std::min<uint32_t>(job.rowsPerStrip, uint32_t(job.height) - y);
            const size_t bytes = size_t(rows) * job.rowBytes;
            std::memcpy(strip.data(), job.pixels + size_t(y) * job.rowBytes, bytes);
            if (job.predictor)
                for (uint32_t r = 0; r < rows; ++r)
                    Difference(strip.data() + r * job.rowBytes, job.rowBytes, job.planes);
            const size_t size =
                libdeflate_zlib_compress(compressor.get(), strip.data(), bytes, packed.data(), packed.size());
            if (size == 0) throw std::bad_alloc();  // cannot happen within the bound
            out[index].assign(reinterpret_cast<const char*>(packed.data()), size);
            ++done;
        }
    };
    std::vector<std::future<void>> helpers;
    for (int i = 1; i < std::max(job.threads, 1) && uint32_t(i) < strips; ++i) {
        try {
            helpers.push_back(std::async(std::launch::async, work));
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the strips are shared among those there are
        }
    }
    std::exception_ptr failure;
    try {
        work();
    } catch (...) {
        stop = true;
        failure = std::current_exception();
    }
    for (std::future<void>& helper : helpers) {
        while (helper.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            if (stripsDone) stripsDone(done);
        try {
            helper.get();
        } catch (...) {
            stop = true;
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
    if (stop) return {};
    if (stripsDone) stripsDone(strips);
    return out;
}

}  // namespace cli
