#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/Batch.h"
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

const char* const kAutoflatFooter =
    "Exit status: 0 every page flatted; 1-63 that many pages failed (63: 63 or more);\n"
    "64 usage error; 69 the output folder could not be used;\n"
    "74 every page written, but their paths could not all be written to stdout;\n"
    "130 interrupted by Ctrl-C (no output is left for the page being flatted).";

int UsageError(const std::string& message, const char* command) {
    std::cerr << "vandrel: " << message << "\nRun 'vandrel " << command << " --help' for the options.\n";
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
    const SAutoflatOptions& autoflat = options.autoflat;
    if (!autoflat.hints.empty() && options.inputs.size() != 1)
        return "--hints goes with one input: its hints page is of that page's size";
    if (!autoflat.regions.empty()) {
        if (options.inputs.size() != 1) return "--regions writes one map: give one input";
        if (FormatForName(autoflat.regions) != EImageFormat::Png)
            return "the region map is a PNG: name it .png, not " + autoflat.regions;
        if (!options.output.empty() && PathKey(autoflat.regions) == PathKey(options.output))
            return "the region map and the output cannot be the same file";
    }
    return {};
}

// The flats and the label map are written to these; the options that only
// one command has are added by that command.
void AddFileOptions(CLI::App* command, SToolOptions& options, const char* inputHelp) {
    command->add_option("INPUT", options.inputs, inputHelp)->required();
    CLI::Option* output =
        command->add_option("-o,--output", options.output,
                            "Output file for a single INPUT; .png, .tif or .tiff picks the format");
    CLI::Option* outDir =
        command->add_option("--out-dir", options.outDir,
                            "Folder for the outputs, each named as its input (created when missing)");
    output->excludes(outDir);
}

CLI::App* AddAutoflat(CLI::App& app, SToolOptions& options, int& gap, long& minRegion, int& threshold,
                      std::string& spotBlacks) {
    CLI::App* autoflat = app.add_subcommand(
        "autoflat",
        "Fill every closed region of line art with its own flat colour and melt the lines into them "
        "(PNG and TIFF: 1-bit, grayscale, grayscale with alpha, palette, RGB, RGB with alpha, CMYK)");
    autoflat->footer(kAutoflatFooter);
    AddFileOptions(autoflat, options,
                   "Line-art pages: dark pixels are lines, light ones paper, coloured ones hints (their "
                   "region takes their colour); they are only read, never changed");
    SAutoflatOptions& o = options.autoflat;
    autoflat
        ->add_option("--gap", gap,
                     "Lines that stop up to N pixels short of each other still close a region (default: "
                     "0.85 mm of the page, its dpi / 30, else its short side / 250, kept within 2-64)")
        ->transform(kDecimal)
        ->check(CLI::Range(1, 1024));
    autoflat
        ->add_option("--min-region", minRegion,
                     "Regions under N pixels (hatching specks) join the neighbour they share the longest "
                     "border with (default: (gap / 2) squared, at least 16)")
        ->transform(kDecimal)
        ->check(CLI::Range(0L, 1L << 40));
    autoflat
        ->add_option("--threshold", threshold,
                     "Line strength (darkness times opacity, 1-255) at which a pixel is line art; lighter "
                     "anti-aliased edges take their region's colour (default 128)")
        ->transform(kDecimal)
        ->check(CLI::Range(1, 255));
    autoflat
        ->add_option("--spot-blacks", spotBlacks,
                     "Solid black areas much wider than a line (hair, shadows): 'regions' keeps them as "
                     "black regions of their own, 'lines' melts them into their neighbours (default regions)")
        ->check(CLI::IsMember({"regions", "lines"}));
    autoflat->add_option("--hints", o.hints,
                         "A second page of the same size whose coloured pixels are hints, as if painted "
                         "on the line art");
    autoflat->add_option("--palette", o.palette,
                         "Take the regions' colours from this file: a GIMP palette (.gpl) or one #rrggbb "
                         "a line; touching regions still differ where it has enough colours");
    autoflat->add_option(
        "--regions", o.regions,
        "Also write each pixel's region number to MAP.png: 16-bit grayscale when there are at most "
        "65536 regions, else 8-bit RGB carrying the number's high, middle and low bytes; MAP.gpl "
        "beside it is a GIMP palette of the regions' colours, entry N (named \"region N\") for region N");
    autoflat->add_flag("--keep-lines", o.keepLines,
                       "Write the filled regions with the line art still on them, to inspect the regions");
    autoflat->add_flag("--overwrite", options.overwrite, "Replace existing output files");
    autoflat->add_flag("-q,--quiet", options.quiet, "No progress, only errors and the paths written");
    autoflat->add_flag("--smallest", options.smallest,
                       "Compress the outputs as far as their format's usual settings go");
    return autoflat;
}

}  // namespace

std::variant<SToolOptions, int> ParseCommandLine(int argc, char** argv) {
    SToolOptions options;
    int depth = -1;
    bool white = false, noWhite = false;
    int gap = 0, threshold = 0;
    long minRegion = -1;
    std::string spotBlacks;

    CLI::App app{"Flats comic pages with the " VANDREL_PRODUCT_NAME
                 " plug-in: every black line-art pixel takes the colour of the nearest non-black pixel.",
                 "vandrel"};
    app.set_version_flag(
        "--version", "vandrel " VANDREL_TOOL_VERSION " (" VANDREL_PRODUCT_NAME " " VANDREL_VERSION_TEXT ")");
    app.require_subcommand(1, 1);
    app.footer(kFooter);

    CLI::App* flat = app.add_subcommand("flat", "Flat PNG and TIFF pages (8-bit RGB, RGB with alpha, CMYK)");
    flat->footer(kFooter);
    AddFileOptions(flat, options, "Pages to flat; they are only read, never changed");
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
    const CLI::App* autoflat = AddAutoflat(app, options, gap, minRegion, threshold, spotBlacks);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what(), autoflat->parsed() ? "autoflat" : "flat");
    }

    if (autoflat->parsed()) options.command = ECommand::Autoflat;
    const char* command = autoflat->parsed() ? "autoflat" : "flat";
    if (const std::string problem = CheckCombination(options); !problem.empty())
        return UsageError(problem, command);
    if (gap > 0) options.autoflat.gap = gap;
    if (minRegion >= 0) options.autoflat.minRegion = minRegion;
    if (threshold > 0) options.autoflat.threshold = threshold;
    if (spotBlacks == "lines") options.autoflat.spotBlacks = ESpotBlackChoice::Lines;
    if (depth >= 0) options.settings.depth = depth;
    if (white || noWhite) options.settings.paintWhite = white;
    return options;
}

}  // namespace cli
