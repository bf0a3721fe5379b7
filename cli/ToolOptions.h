// What the command line asked for.
#pragma once

#include <string>
#include <vector>

#include "cli/AutoflatOptions.h"
#include "cli/FlatSettings.h"
#include "cli/LayeredFormat.h"

namespace cli {

enum class ECommand { Flat, Autoflat };

struct SToolOptions {
    ECommand command = ECommand::Flat;
    std::vector<std::string> inputs;
    std::string output;  // -o: one input, this output
    std::string outDir;  // --out-dir: each input to a file of the same name here
    // Put before each output's extension; without -o or --out-dir the
    // outputs go beside their inputs, named with it.
    std::string suffix;
    SFlatSettings settings;
    SAutoflatOptions autoflat;
    ELayeredFormat layers = ELayeredFormat::None;  // --layers: the output is this file
    bool overwrite = false;
    bool usePrefs = false;
    bool quiet = false;
    bool smallest = false;   // the smallest files, however long they take to write
    std::string pluginPath;  // empty: the simulator's default
};

}  // namespace cli
