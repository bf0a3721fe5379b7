#include "cli/InputList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "cli/ImageFiles.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

bool IsEarlierResult(const fs::path& file, const std::string& suffix) {
    const std::string stem = file.stem().string();
    return !suffix.empty() && stem.size() > suffix.size() &&
           stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsCompanion(const fs::path& file, const std::vector<std::string>& companions) {
    return std::any_of(companions.begin(), companions.end(),
                       [&](const std::string& suffix) { return IsEarlierResult(file, suffix); });
}

}  // namespace

SInputList ListInputs(const std::vector<std::string>& named, const std::string& suffix,
                      const std::vector<std::string>& companions) {
    SInputList list;
    for (const std::string& input : named) {
        std::error_code error;
        if (!fs::is_directory(input, error)) {
            // Anything else is a page, and reading it says what is wrong.
            list.pages.push_back(input);
            continue;
        }
        std::vector<std::string> pages;
        for (fs::directory_iterator entry(input, error), end; !error && entry != end;
             entry.increment(error)) {
            const fs::path name = entry->path().filename();
            std::error_code kind;
            if (name.string().front() == '.' || !FormatForName(name.string()) ||
                !entry->is_regular_file(kind) || IsEarlierResult(name, suffix) ||
                IsCompanion(name, companions))
                continue;
            // Joined by hand: the folder as the user wrote it, "d/" or "d".
            pages.push_back(input + (input.back() == '/' ? "" : "/") + name.string());
        }
        if (error) {
            list.problems.push_back(QuotedName(input) + ": cannot list the folder: " + error.message());
            continue;
        }
        if (pages.empty()) {
            list.problems.push_back(QuotedName(input) + ": a folder with no PNG or TIFF file in it");
            continue;
        }
        std::sort(pages.begin(), pages.end());
        list.pages.insert(list.pages.end(), pages.begin(), pages.end());
    }
    return list;
}

std::string OutputBeside(const std::string& page, const std::string& outDir, const std::string& suffix) {
    const fs::path in(page);
    const std::string name = in.stem().string() + suffix + in.extension().string();
    return ((outDir.empty() ? in.parent_path() : fs::path(outDir)) / name).string();
}

std::string HintsBeside(const std::string& page) {
    const fs::path in(page);
    return (in.parent_path() / (in.stem().string() + kHintsSuffix + ".png")).string();
}

std::string LikeBeside(const std::string& page) {
    const fs::path in(page);
    const std::string stem = in.stem().string() + kFlatsSuffix;
    for (const std::string& extension :
         {in.extension().string(), std::string(".png"), std::string(".tif"), std::string(".tiff")}) {
        const fs::path candidate = in.parent_path() / (stem + extension);
        std::error_code error;
        if (FormatForName(candidate.string()) && fs::is_regular_file(candidate, error))
            return candidate.string();
    }
    return {};
}

std::string MapBeside(const std::string& page, const std::string& output) {
    return (fs::path(output).parent_path() / (fs::path(page).stem().string() + kMapSuffix + ".png")).string();
}

}  // namespace cli
