// A PNG made row by row as the rows come, for the members of an archive:
// nothing of the picture is held but the row being coded and zlib's window.
#pragma once

#include <functional>

#include "layered/LayerStack.h"

namespace layered {

struct SPngRows {
    int width = 0;
    int height = 0;
    bool alpha = false;  // RGBA rather than RGB
    double xDpi = 0;     // 0: no resolution chunk
    double yDpi = 0;
    std::function<const uint8_t*(int y)> row;  // RGB(A), 8 bits a sample
};

// Throws std::runtime_error when libpng fails, and whatever `write` throws.
void WritePngRows(const SPngRows& picture, const FWrite& write);

}  // namespace layered
