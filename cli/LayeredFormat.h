// The layered file a page may be written as, instead of a flat picture:
// the line art on top, multiplied over its flats.
#pragma once

#include <string>

namespace cli {

enum class ELayeredFormat { None, Psd, Ora };

// ".psd", ".ora"; "" for None.
inline std::string LayeredExtension(ELayeredFormat format) {
    return format == ELayeredFormat::Psd ? ".psd" : format == ELayeredFormat::Ora ? ".ora" : "";
}

}  // namespace cli
