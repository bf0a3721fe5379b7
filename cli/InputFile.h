// Pages are read from regular files only: a pipe or a device would block
// the open itself (a FIFO without a writer), or be read once where a TIFF
// needs to seek.
#pragma once

#include <string>

namespace cli {

// What the file is to be, for the words of a refusal.
enum class EInputKind { Image, Palette };

// Throws CImageError unless `path` names a regular file (a folder, a pipe
// or a device is refused without being opened).
void CheckInputFile(const std::string& path, EInputKind kind = EInputKind::Image);

// Opens `path` for reading, refusing whatever is not a regular file by then:
// the check above and every later open of the same name are separate
// moments, and a pipe put in place of the file between them must not hang
// the run. Returns a blocking descriptor the caller owns. Throws CImageError.
int OpenInputFile(const std::string& path, EInputKind kind = EInputKind::Image);

}  // namespace cli
