// stdout carries the path of each file written, one per line, for
// scripts. It is read by another program that may fail or go away; the
// pages go on regardless.
#pragma once

#include <string>

namespace cli {

// As it is, unless it holds a control character (a line break would split
// it into two entries) or begins with a double quote: then in double
// quotes, with C escapes for the control characters, quotes and backslashes.
std::string QuotedName(const std::string& name);

// The path's line on stdout.
std::string ListLine(const std::string& path);

// Writes the path's line to stdout. The first failure is reported on
// stderr; later ones are not.
void ListWritten(const std::string& path);

// Whether some path could not be written to stdout.
bool WrittenListFailed();

}  // namespace cli
