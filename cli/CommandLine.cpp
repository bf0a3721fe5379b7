#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "cli/ExitStatus.h"
#include "cli/ImageFiles.h"
#include "resources/PluginInfo.h"

namespace cli {

namespace {

const char* const kFooter =
    "Exit status: 0 every page flatted; 1-63 that many pages failed (63: 63 or more);\n"
    "64 usage error; 69 the plug-in or the output folder could not be used;\n"
    "74 every page written, but their paths could not all be written to stdout;\n"
    "130 interrupted by Ctrl-C (no output is left for the page being flatted).";

int UsageError(const std::string& message) {
    std::cerr << "vandrel: " << message << "\nRun 'vandrel flat --help' for the options.\n";
    return kExitUsage;
}

// A number as people write it: 020 is twenty, not sixteen, and 0x14 is not
// a depth at all. CLI11 reads numbers as C literals, so it gets the digits
// without their leading zeros.
const CLI::Validator kDecimal(
    [](std::string& text) {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
            return "expects a whole number in decimal, not " + text;
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        return std::string();
    },
    "DECIMAL");

// Rules across options that CLI11 cannot state by itself.
std::string CheckCombination(const SToolOptions& options) {
    if (options.output.empty() && options.outDir.empty())
        return "say where the result goes: -o OUTPUT or --out-dir DIR";
    if (!options.output.empty()) {
        if (options.inputs.size() != 1) return "-o takes one input; use --out-dir DIR for several";
        if (!FormatForName(options.output))
            return "cannot tell the format of " + options.output + ": name it .png, .tif or .tiff";
    }
    return {};
}

}  // namespace

std::variant<SToolOptions, int> ParseCommandLine(int argc, char** argv) {
    SToolOptions options;
    int depth = -1;
    bool white = false, noWhite = false;

    CLI::App app{"Flats comic pages with the " VANDREL_PRODUCT_NAME
                 " plug-in: every black line-art pixel takes the colour of the nearest non-black pixel.",
                 "vandrel"};
    app.set_version_flag(
        "--version", "vandrel " VANDREL_TOOL_VERSION " (" VANDREL_PRODUCT_NAME " " VANDREL_VERSION_TEXT ")");
    app.require_subcommand(1, 1);
    app.footer(kFooter);

    CLI::App* flat = app.add_subcommand("flat", "Flat PNG and TIFF pages (8-bit RGB, RGB with alpha, CMYK)");
    flat->footer(kFooter);
    flat->add_option("INPUT", options.inputs, "Pages to flat; they are only read, never changed")->required();
    CLI::Option* output =
        flat->add_option("-o,--output", options.output,
                         "Output file for a single INPUT; .png, .tif or .tiff picks the format");
    CLI::Option* outDir =
        flat->add_option("--out-dir", options.outDir,
                         "Folder for the outputs, each named as its input (created when missing)");
    output->excludes(outDir);
    flat->add_option(
            "--depth", depth,
            "Black Pixel Depth: how far in pixels the search for a colour may reach; 0-65535 as actions "
            "allow, the dialog's 1-300 being the useful range (default 256)")
        ->transform(kDecimal)
        ->check(CLI::Range(0, 65535));
    CLI::Option* paintWhite = flat->add_flag(
        "--white", white, "Paint black pixels deeper than the depth white (default: leave them black)");
    flat->add_flag("--no-white", noWhite, "Leave black pixels deeper than the depth black")
        ->excludes(paintWhite);
    flat->add_flag("--overwrite", options.overwrite, "Replace existing output files");
    flat->add_flag(
        "--use-prefs", options.usePrefs,
        "Take settings not given here from the plug-in's preferences file (last confirmed in its dialog); "
        "without it that file is neither read nor written");
    flat->add_option("--plugin", options.pluginPath,
                     "The plug-in to run (default: $VANDREL_PLUGIN, else vandrel_pro.so beside this program, "
                     "else ../lib/vandrel/vandrel_pro.so from this program's folder)");
    flat->add_flag("-q,--quiet", options.quiet, "No progress, only errors and the paths written");
    flat->add_flag(
        "--smallest", options.smallest,
        "Compress the outputs as far as their format's usual settings go (PNG: every filter, zlib "
        "level 9; TIFF: deflate level 9): files some percent smaller, several times slower to write");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what());
    }

    if (const std::string problem = CheckCombination(options); !problem.empty()) return UsageError(problem);
    if (depth >= 0) options.settings.depth = depth;
    if (white || noWhite) options.settings.paintWhite = white;
    return options;
}

}  // namespace cli
