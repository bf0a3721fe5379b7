// A preferences file as a filter reads it, any bytes at all: what comes out
// is a record the filter can use, and writing it back gives a file that
// reads as the same record, into a record that held other values.
#pragma once

#include <sstream>
#include <string>

#include "fuzz/FuzzChecks.h"

template <typename Params, typename Read, typename Write, typename Alter, typename Same>
void CheckPrefsRoundTrip(const std::string& text, Read read, Write write, Alter alter, Same same) {
    Params first;
    {
        std::istringstream in(text);
        read(in, first);
    }
    FUZZ_CHECK(first.IsValid(), "reading left a record that is not valid");
    std::ostringstream out;
    write(out, first);
    Params again = first;
    alter(again);
    std::istringstream back(out.str());
    read(back, again);
    FUZZ_CHECK(same(first, again), "a written file does not read back as the record it holds");
}
