#include "layered/PackBits.h"

namespace layered {

size_t PackBits(const uint8_t* row, size_t size, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    auto at = [&](size_t i) { return row[i]; };
    size_t i = 0;
    while (i < size) {
        size_t run = 1;
        while (i + run < size && run < 128 && at(i + run) == at(i)) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(257 - run));  // -(run - 1) as a signed byte
            out.push_back(at(i));
            i += run;
            continue;
        }
        // Literal bytes up to the next run of three, which codes shorter as
        // a run; a run of two inside costs nothing to carry along.
        const size_t first = i;
        while (i < size && i - first < 128) {
            if (i + 2 < size && at(i) == at(i + 1) && at(i) == at(i + 2)) break;
            ++i;
        }
        out.push_back(uint8_t(i - first - 1));
        for (size_t k = first; k < i; ++k) out.push_back(at(k));
    }
    return out.size() - start;
}

}  // namespace layered
