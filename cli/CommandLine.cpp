#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>

#include "cli/Batch.h"
#include "cli/ExitStatus.h"
#include "cli/ImageFiles.h"
#include "cli/ManualText.h"
#include "cli/SameFile.h"
#include "cli/WrittenList.h"
#include "resources/PluginInfo.h"

namespace cli {

namespace {

// What --help shows of the manual besides a command's own sections (those
// named after it, "FLAT OPTIONS" for flat); "" is the tool itself.
struct SHelpTopic {
    std::string command;
    std::vector<std::string> shared;
};

const std::vector<SHelpTopic>& HelpTopics() {
    static const std::vector<SHelpTopic> topics = {
        {"", {"NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS"}},
        {"flat",
         {"WHAT COUNTS AS BLACK", "WHAT IS READ", "WHAT IS REFUSED", "LAYERED RESULTS", "EXIT STATUS"}},
        {"autoflat", {"LAYERED RESULTS", "EXIT STATUS"}},
    };
    return topics;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string OptionsSection(const std::string& command) { return Upper(command) + " OPTIONS"; }

int UsageError(const std::string& message, const std::string& command) {
    std::cerr << "vandrel: " << message << "\nRun 'vandrel " << (command.empty() ? "" : command + " ")
              << "--help' for " << (command.empty() ? "the commands" : "the options") << ".\n";
    return kExitUsage;
}

// A number as people write it: 020 is twenty, not sixteen, and 0x14 is not
// a depth at all. CLI11 reads numbers as C literals, so it gets the digits
// without their leading zeros.
CLI::Validator WholeNumber(long long least, long long most) {
    return CLI::Validator(
        [least, most](std::string& text) {
            const std::string words = "takes a whole number from " + std::to_string(least) + " to " +
                                      std::to_string(most) + ", not " + text;
            if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return words;
            text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
            if (text.size() > 18) return words;
            if (const long long value = std::stoll(text); value < least || value > most) return words;
            return std::string();
        },
        "");
}

// Rules across options that CLI11 cannot state by itself.
std::string CheckCombination(const SToolOptions& options, bool suffixGiven) {
    const bool autoflat = options.command == ECommand::Autoflat;
    if (options.inputs.empty())
        return autoflat ? "name at least one line-art page or folder to fill"
                        : "name at least one page or folder to flat";
    if (!options.output.empty()) {
        if (suffixGiven) return "-o names the output itself; --suffix goes with --out-dir or alone";
        if (options.layers != ELayeredFormat::None) {
            const std::string extension = LayeredExtension(options.layers);
            if (Lower(std::filesystem::path(options.output).extension().string()) != extension)
                return "--layers " + extension.substr(1) + " writes a " + extension + " file: name " +
                       QuotedName(options.output) + " so";
        } else if (!FormatForName(options.output)) {
            return "cannot tell the format of " + QuotedName(options.output) +
                   ": name it .png, .tif or .tiff";
        }
    }
    if (options.suffix.find('/') != std::string::npos) return "--suffix cannot hold a /";
    if (suffixGiven && options.suffix.empty() && options.outDir.empty())
        return "an empty --suffix would name each output as its input";
    const SAutoflatOptions& fill = options.autoflat;
    if (!fill.hints.empty() && fill.hints != kEachPage && options.inputs.size() != 1)
        return "--hints goes with one input: its hints page is of that page's size "
               "(--hints each takes every page's NAME-hints.png)";
    if (!fill.like.empty() && fill.like != kEachPage && options.inputs.size() != 1)
        return "--like goes with one input: its earlier flats are of that page's size "
               "(--like each takes every page's NAME-flats.png)";
    if (!fill.like.empty() && fill.like != kEachPage && !options.output.empty() &&
        SameFile(fill.like, options.output))
        return "the earlier flats are an input and cannot be the output: write the new flats elsewhere";
    if (!fill.regions.empty() && fill.regions != kEachPage) {
        if (options.inputs.size() != 1)
            return "--regions writes one map: give one input (--regions each writes every page's "
                   "NAME-map.png)";
        if (FormatForName(fill.regions) != EImageFormat::Png)
            return "the region map is a PNG: name it .png, not " + QuotedName(fill.regions);
        if (!options.output.empty() && SameFile(fill.regions, options.output))
            return "the region map and the output cannot be the same file";
    }
    return {};
}

// The options both commands take: where the results go and how.
void AddFileOptions(CLI::App* command, SToolOptions& options, CLI::Option*& suffix, std::string& layers) {
    command->add_option("INPUT", options.inputs);
    CLI::Option* output = command->add_option("-o,--output", options.output);
    CLI::Option* outDir = command->add_option("--out-dir", options.outDir);
    suffix = command->add_option("--suffix", options.suffix);
    output->excludes(outDir);
    command->add_flag("--overwrite", options.overwrite);
    command->add_flag("-q,--quiet", options.quiet);
    command->add_flag("--smallest", options.smallest);
    command->add_option("--layers", layers)->check(CLI::IsMember({"psd", "ora"}));
}

// Values left out keep the library's defaults, hence the sentinels.
struct SAutoflatWords {
    int gap = 0;
    long long minRegion = -1;
    int threshold = 0;
    std::string spotBlacks;
};

CLI::App* AddAutoflat(CLI::App& app, SToolOptions& options, SAutoflatWords& words, bool& help,
                      CLI::Option*& suffix, std::string& layers) {
    CLI::App* autoflat = app.add_subcommand("autoflat");
    autoflat->set_help_flag();
    autoflat->add_flag("-h,--help", help);
    AddFileOptions(autoflat, options, suffix, layers);
    SAutoflatOptions& o = options.autoflat;
    autoflat->add_option("--gap", words.gap)->transform(WholeNumber(1, 1024));
    autoflat->add_option("--min-region", words.minRegion)->transform(WholeNumber(0, 1LL << 40));
    autoflat->add_option("--threshold", words.threshold)->transform(WholeNumber(1, 255));
    autoflat->add_option("--spot-blacks", words.spotBlacks)->check(CLI::IsMember({"regions", "lines"}));
    autoflat->add_option("--hints", o.hints);
    autoflat->add_option("--like", o.like);
    autoflat->add_option("--palette", o.palette);
    autoflat->add_option("--regions", o.regions);
    autoflat->add_flag("--keep-lines", o.keepLines);
    return autoflat;
}

// The option names a command's parser knows, as the manual spells them.
std::set<std::string> ParsedOptions(const CLI::App& command) {
    std::set<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_positional()) continue;
        for (const std::string& name : option->get_snames()) names.insert("-" + name);
        for (const std::string& name : option->get_lnames()) names.insert("--" + name);
    }
    return names;
}

// The help is the manual, so an option it leaves out would be an option
// nobody can find: the tool refuses to run with such a difference.
std::string ManualMismatch(const CLI::App& command) {
    const std::vector<std::string> listed = ManualOptions(kManualPage, OptionsSection(command.get_name()));
    const std::set<std::string> documented(listed.begin(), listed.end());
    const std::set<std::string> parsed = ParsedOptions(command);
    for (const std::string& name : parsed)
        if (!documented.count(name)) return name + " is missing from the manual";
    for (const std::string& name : documented)
        if (!parsed.count(name)) return "the manual lists " + name + ", which the tool does not take";
    return {};
}

// A ParseError in the words the tool's other messages use.
std::string Reworded(const CLI::ParseError& e) {
    std::string text = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const size_t colon = text.rfind(": ");
        return "unknown option or argument: " + (colon == std::string::npos ? text : text.substr(colon + 2));
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&e)) {
        const size_t space = text.find(' ');
        const size_t excludes = text.find(" excludes ");
        if (space != std::string::npos && excludes != std::string::npos)
            return text.substr(0, space) + " and " + text.substr(excludes + 10) + " cannot go together";
    }
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string HelpText(const std::string& command) {
    const auto topic = std::find_if(HelpTopics().begin(), HelpTopics().end(),
                                    [&](const SHelpTopic& t) { return t.command == command; });
    if (topic == HelpTopics().end()) return {};
    std::vector<std::string> sections = topic->shared;
    if (!command.empty())
        for (const std::string& name : ManualSections(kManualPage))
            if (name.rfind(Upper(command) + " ", 0) == 0) sections.push_back(name);
    std::string text = RenderManualSections(kManualPage, sections);
    text += command.empty()
                ? "\nRun 'vandrel COMMAND --help' for a command's options; the whole manual: man vandrel\n"
                : "\nThe whole manual: man vandrel\n";
    return text;
}

std::variant<SToolOptions, int> ParseCommandLine(int argc, char** argv) {
    SToolOptions options;
    int depth = -1;
    bool white = false, noWhite = false, help = false, flatHelp = false, autoflatHelp = false;
    SAutoflatWords words;
    std::string layers;

    // Words a user may put first by mistake: a file name, or a command
    // the tool does not have. The commands are what they need to see.
    if (argc > 1 && argv[1][0] != '-' && std::string(argv[1]) != "flat" &&
        std::string(argv[1]) != "autoflat") {
        const std::string word = argv[1];
        const bool isFile = std::filesystem::exists(word) || FormatForName(word);
        std::cerr << "vandrel: "
                  << (isFile ? "a command comes first; to flat " + word + ": vandrel flat " + word
                             : "unknown command: " + word)
                  << "\n\n"
                  << RenderManualSections(kManualPage, {"COMMANDS"});
        return kExitUsage;
    }

    CLI::App app{"", "vandrel"};
    app.set_help_flag();
    app.add_flag("-h,--help", help);
    app.set_version_flag(
        "--version", "vandrel " VANDREL_TOOL_VERSION " (" VANDREL_PRODUCT_NAME " " VANDREL_VERSION_TEXT ")");
    app.require_subcommand(0, 1);

    CLI::App* flat = app.add_subcommand("flat");
    flat->set_help_flag();
    flat->add_flag("-h,--help", flatHelp);
    CLI::Option* flatSuffix = nullptr;
    AddFileOptions(flat, options, flatSuffix, layers);
    flat->add_option("--depth", depth)->transform(WholeNumber(0, 65535));
    CLI::Option* paintWhite = flat->add_flag("--white", white);
    flat->add_flag("--no-white", noWhite)->excludes(paintWhite);
    flat->add_flag("--use-prefs", options.usePrefs);
    flat->add_option("--plugin", options.pluginPath);
    CLI::Option* autoflatSuffix = nullptr;
    const CLI::App* autoflat = AddAutoflat(app, options, words, autoflatHelp, autoflatSuffix, layers);

    const CLI::App& tool = app;
    for (const CLI::App* command : tool.get_subcommands([](const CLI::App*) { return true; }))
        if (const std::string mismatch = ManualMismatch(*command); !mismatch.empty()) {
            std::cerr << "vandrel: this build is broken: " << mismatch << "\n";
            return kExitNotStarted;
        }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (help || flatHelp || autoflatHelp) {
            std::cout << HelpText(autoflatHelp ? "autoflat" : flatHelp ? "flat" : "");
            return kExitOk;
        }
        return UsageError(Reworded(e), autoflat->parsed() ? "autoflat" : flat->parsed() ? "flat" : "");
    }
    if (help || flatHelp || autoflatHelp) {
        std::cout << HelpText(autoflatHelp ? "autoflat" : flatHelp ? "flat" : "");
        return kExitOk;
    }
    if (!flat->parsed() && !autoflat->parsed())
        return UsageError("say what to do: vandrel flat PAGE... or vandrel autoflat LINEART...", "");

    if (autoflat->parsed()) options.command = ECommand::Autoflat;
    const char* command = autoflat->parsed() ? "autoflat" : "flat";
    const bool suffixGiven = (autoflat->parsed() ? autoflatSuffix : flatSuffix)->count() > 0;
    if (layers == "psd") options.layers = ELayeredFormat::Psd;
    if (layers == "ora") options.layers = ELayeredFormat::Ora;
    if (const std::string problem = CheckCombination(options, suffixGiven); !problem.empty())
        return UsageError(problem, command);
    // Outputs beside their inputs need a name of their own; auto flats are
    // named apart from flats, so that one folder may hold both.
    if (!suffixGiven && options.output.empty() && options.outDir.empty())
        options.suffix = autoflat->parsed() ? "-flats" : "-flat";
    if (words.gap > 0) options.autoflat.gap = words.gap;
    if (words.minRegion >= 0) options.autoflat.minRegion = long(words.minRegion);
    if (words.threshold > 0) options.autoflat.threshold = words.threshold;
    if (words.spotBlacks == "lines") options.autoflat.spotBlacks = ESpotBlackChoice::Lines;
    if (depth >= 0) options.settings.depth = depth;
    if (white || noWhite) options.settings.paintWhite = white;
    return options;
}

}  // namespace cli
