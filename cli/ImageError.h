// Why a file cannot be flatted, in words a user can act on. The message
// never names the file: the caller puts the name in front.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

class CImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace cli
