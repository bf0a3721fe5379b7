#include "cli/BandedDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <system_error>
#include <new>

namespace cli {

namespace {

constexpr uint8_t kFilterUp = 2;
// Below this a band is not worth a thread of its own. The bands are cut
// by the page's size alone, never by the worker count, so that a file's
// bytes do not depend on the machine that wrote it.
constexpr size_t kMinBandBytes = size_t(4) << 20;

struct SBand {
    int firstRow = 0;
    int endRow = 0;
    std::string deflated;
    uLong adler = 1;  // adler32 of the band's filtered bytes
    uLong length = 0;
    std::atomic<int> rowsDone{0};
    bool stopped = false;
};

// The raw deflate data of one band. A band that others follow ends with a
// sync flush: an empty stored block that leaves the stream on a byte
// boundary and open, so that the next band's blocks can follow it.
void DeflateBand(const uint8_t* pixels, size_t rowBytes, bool last, const SDeflateSettings& settings,
                 SBand& band) {
    const int level = settings.level;
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
    struct SEnd {
        z_stream& z;
        ~SEnd() { deflateEnd(&z); }
    } end{z};

    std::vector<uint8_t> filtered(1 + rowBytes);
    std::vector<uint8_t> out(std::max<size_t>(deflateBound(&z, uLong(filtered.size())), size_t(64) << 10));
    filtered[0] = kFilterUp;
    for (int y = band.firstRow; y < band.endRow; ++y) {
        if ((y & 63) == 0 && settings.stopped && settings.stopped()) {
            band.stopped = true;
            return;
        }
        const uint8_t* row = pixels + size_t(y) * rowBytes;
        const uint8_t* above = y > 0 ? row - rowBytes : nullptr;
        if (above) {
            for (size_t i = 0; i < rowBytes; ++i) filtered[1 + i] = uint8_t(row[i] - above[i]);
        } else {
            std::copy(row, row + rowBytes, filtered.begin() + 1);  // the row above the first is zeros
        }
        band.adler = adler32(band.adler, filtered.data(), uInt(filtered.size()));
        band.length += uLong(filtered.size());
        const bool final = y + 1 == band.endRow;
        const int flush = !final ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
        z.next_in = filtered.data();
        z.avail_in = uInt(filtered.size());
        do {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            const int status = deflate(&z, flush);
            if (status == Z_STREAM_ERROR) throw std::bad_alloc();
            band.deflated.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0 || z.avail_in > 0);
        band.rowsDone.store(y + 1 - band.firstRow, std::memory_order_relaxed);
    }
}

std::string ZlibHeader(int level) {
    // Deflate with a 32 KiB window; the level hint as zlib itself gives it.
    const int hint = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    const int cmf = 0x78;
    int flg = hint << 6;
    flg += 31 - (cmf * 256 + flg) % 31;
    return std::string{char(cmf), char(flg)};
}

}  // namespace

std::vector<std::string> DeflateRowsUp(const uint8_t* pixels, size_t rowBytes, int height,
                                       const SDeflateSettings& settings,
                                       const std::function<void(int)>& rowsDone) {
    const size_t total = rowBytes * size_t(height);
    const int count = int(std::clamp<size_t>(total / kMinBandBytes, 1, size_t(height)));
    std::vector<SBand> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bands[size_t(i)].firstRow = int(int64_t(height) * i / count);
        bands[size_t(i)].endRow = int(int64_t(height) * (i + 1) / count);
    }
    // Each worker takes the next band not yet taken.
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            DeflateBand(pixels, rowBytes, i + 1 == count, settings, bands[size_t(i)]);
            if (bands[size_t(i)].stopped) next = count;
        }
    };
    const int workers = std::clamp(settings.threads, 1, count);
    std::vector<std::future<void>> running;
    for (int i = 0; i < workers; ++i) {
        try {
            running.push_back(std::async(std::launch::async, work));
        } catch (const std::system_error&) {
            break;  // no thread to be had: those started, or this one, do the rest
        }
    }
    if (running.empty()) running.push_back(std::async(std::launch::deferred, work));
    for (std::future<void>& worker : running) {
        while (worker.wait_for(std::chrono::milliseconds(40)) == std::future_status::timeout) {
            int done = 0;
            for (const SBand& b : bands) done += b.rowsDone.load(std::memory_order_relaxed);
            if (rowsDone) rowsDone(done);
        }
    }
    for (std::future<void>& worker : running) worker.get();  // rethrows what a band threw
    for (const SBand& band : bands)
        if (band.stopped) return {};

    std::vector<std::string> pieces;
    uLong adler = 1;
    for (SBand& band : bands) {
        adler = adler32_combine(adler, band.adler, z_off_t(band.length));
        pieces.push_back(std::move(band.deflated));
    }
    pieces.front().insert(0, ZlibHeader(settings.level));
    pieces.push_back(std::string{char(adler >> 24), char(adler >> 16), char(adler >> 8), char(adler)});
    if (rowsDone) rowsDone(height);
    return pieces;
}

}  // namespace cli
