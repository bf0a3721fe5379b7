// A whole text to a file descriptor, however many writes it takes: the one
// loop for the outputs, stdout's list and the signal handler's last words.
#pragma once

#include <cstddef>

namespace cli {

// Safe in a signal handler: no allocation, no locks. False with errno set
// when a write fails.
bool WriteAll(int fd, const char* text, size_t size);

}  // namespace cli
