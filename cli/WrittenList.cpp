#include "cli/WrittenList.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/Interrupt.h"
#include "cli/WriteAll.h"

namespace cli {

namespace {

bool gFailed = false;

}  // namespace

std::string QuotedName(const std::string& name) {
    bool plain = name.empty() || name[0] != '"';
    for (unsigned char c : name) plain = plain && c >= 0x20 && c != 0x7F;
    if (plain) return name;
    std::string quoted = "\"";
    for (unsigned char c : name) {
        switch (c) {
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02x", c);
                    quoted += escape;
                } else {
                    quoted += char(c);
                }
        }
    }
    return quoted + "\"";
}

std::string ListLine(const std::string& path) { return QuotedName(path) + "\n"; }

void ListWritten(const std::string& path) {
    bool listed = false;
    {
        const CStopHeld held;
        const std::string line = ListLine(path);
        listed = WriteAll(STDOUT_FILENO, line.data(), line.size());
        PaidListing(line);
        NoteListed();
    }
    if (listed || gFailed) return;
    const int error = errno;
    gFailed = true;
    std::cerr << "vandrel: cannot write to stdout (" << std::strerror(error)
              << "): the files written are not all listed there" << std::endl;
}

bool WrittenListFailed() { return gFailed; }

}  // namespace cli
