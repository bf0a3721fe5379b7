// The preferences file through the real plug-in: which selectors read and
// write it, what it does to the record, and that no failure around it ever
// reaches the host.
#include <unistd.h>

#include <cstdlib>
#include <locale>
#include <optional>
#include <set>
#include <string>

#include "tests/params/ParamsTesting.h"
#include "params/PrefsFolder.h"

using namespace params_testing;
namespace fs = std::filesystem;

namespace {

class PrefsFileRuns : public ParamsTest {
protected:
    // Prepare and Start with nothing but the file to go by: what the
    // plug-in then recorded.
    std::optional<SRecorded> RunFromFile() {
        host.Descriptors().Clear();
        SetPlayInfo(host::plugInDialogDontDisplay);
        if (PrepareAndStart() != host::noErr) return std::nullopt;
        auto recorded = Recorded(host);
        host.Call(host::filterSelectorFinish);
        return recorded;
    }
    void Write(const std::string& text) { WriteFile(PrefsFile(host), text); }
};

TEST_F(PrefsFileRuns, NoFileMeansDefaultsAndAConfirmedDialogCreatesIt) {
    ASSERT_FALSE(fs::exists(PrefsFile(host)));
    EXPECT_EQ(RunFromFile(), (SRecorded{kDefaultMaxDepth, false}));
    EXPECT_FALSE(fs::exists(PrefsFile(host))) << "only a confirmed dialog writes the file";

    SetPlayInfo(host::plugInDialogDisplay);
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(kDefaultMaxDepth, kLeaveBlack));
}

TEST_F(PrefsFileRuns, ConfirmedValuesAreWrittenExactly) {
    SetPlayInfo(host::plugInDialogDisplay);
    host.Descriptors().Give({Depth(42), White(true)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(ReadFile(PrefsFile(host)), std::to_string(kPluginCode) + " 1 42 W ");
}

TEST_F(PrefsFileRuns, SavingReplacesTheWholeOldContent) {
    Write(PrefsLine(7, kPaintWhite) + " and a long tail that must not survive the next save");
    SetPlayInfo(host::plugInDialogDisplay);
    host.Descriptors().Give({Depth(3)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(3, kPaintWhite));
}

// The names in a folder, to see what a save left there.
std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// The new content is written beside the old file and put in its place
// whole: a link to the old file still reads the old content, so nothing was
// written into it, and nothing else is left in the folder.
TEST_F(PrefsFileRuns, SavingPutsAWholeNewFileInPlaceOfTheOld) {
    Write(PrefsLine(7, kPaintWhite));
    const fs::path old = fs::path(host.prefsFolder) / "old";
    fs::create_hard_link(PrefsFile(host), old);
    SetPlayInfo(host::plugInDialogDisplay);
    host.Descriptors().Give({Depth(3)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(3, kPaintWhite));
    EXPECT_EQ(ReadFile(old), PrefsLine(7, kPaintWhite));
    EXPECT_EQ(Names(host.prefsFolder), (std::set<std::string>{kPrefsFileName, "old"}));
}

TEST_F(PrefsFileRuns, PrepareReadsTheFile) {
    Write(PrefsLine(42, kPaintWhite));
    EXPECT_EQ(RunFromFile(), (SRecorded{42, true}));
}

TEST_F(PrefsFileRuns, ParametersReadsTheFileBeforeTheDescriptor) {
    Write(PrefsLine(42, kPaintWhite));
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(8)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->depth, 8);                // the descriptor came second
    EXPECT_EQ(block->remainder, kPaintWhite);  // the file filled the rest
}

// Prepare loads the file again after Parameters: what the descriptor set in
// Parameters survives into Start only through the handle, when the dialog
// rule calls for it.
TEST_F(PrefsFileRuns, PrepareReloadsTheFileOverParametersValues) {
    Write(PrefsLine(42, kLeaveBlack));
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(8), White(true)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{42, false}));
}

TEST_F(PrefsFileRuns, StartNeverReadsTheFile) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    Write(PrefsLine(42, kPaintWhite));
    ASSERT_EQ(host.Call(host::filterSelectorStart), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{kDefaultMaxDepth, false}));
}

TEST_F(PrefsFileRuns, AnotherVersionOrSignatureGivesTheDefaultsInBothSelectors) {
    const std::string code = std::to_string(kPluginCode);
    for (const std::string& text :
         {PrefsLine(42, kPaintWhite, 2), PrefsLine(42, kPaintWhite, 1, kPluginCode ^ 1),
          std::string("Vdrl 1 42 W ")}) {
        Write(text);
        EXPECT_EQ(RunFromFile(), (SRecorded{kDefaultMaxDepth, false})) << text;

        // Parameters resets what it read, then the descriptor applies.
        SetPlayInfo(host::plugInDialogSilent);
        host.Descriptors().Give({White(true)});
        ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
        ASSERT_TRUE(HandleBlock(host));
        EXPECT_EQ(HandleBlock(host)->depth, kDefaultMaxDepth) << text;
        host.Call(host::filterSelectorFinish);
    }
}

TEST_F(PrefsFileRuns, EmptyOrBlankFilesChangeNothing) {
    for (const std::string& text : {std::string(), std::string("   "), std::string("\r\n\t\n")}) {
        Write(text);
        EXPECT_EQ(RunFromFile(), (SRecorded{kDefaultMaxDepth, false})) << '"' << text << '"';

        // In Parameters the descriptor still applies after such a file.
        SetPlayInfo(host::plugInDialogSilent);
        host.Descriptors().Give({Depth(19)});
        ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
        EXPECT_EQ(HandleBlock(host)->depth, 19);
        host.Call(host::filterSelectorFinish);
    }
}

TEST_F(PrefsFileRuns, ExtraTextAndLineBreaksAreReadAsFourFields) {
    const std::string code = std::to_string(kPluginCode);
    Write(code + " 1 42 W trailing words 7 B");
    EXPECT_EQ(RunFromFile(), (SRecorded{42, true}));
    Write(code + "\n1\n\n42\nW\n");
    EXPECT_EQ(RunFromFile(), (SRecorded{42, true}));
    Write(code + "     1  \t 42    W");
    EXPECT_EQ(RunFromFile(), (SRecorded{42, true}));
}

TEST_F(PrefsFileRuns, AMalformedDepthIsNotDetected) {
    Write(std::to_string(kPluginCode) + " 1 lots W ");
    EXPECT_EQ(RunFromFile(), (SRecorded{0, false}));
}

TEST_F(PrefsFileRuns, ARemainderOtherThanWhiteMeansBlack) {
    Write(PrefsLine(42, 'Q'));
    EXPECT_EQ(RunFromFile(), (SRecorded{42, false}));
}

// Folders where nothing can be read or written: every selector still
// succeeds and the record is what the other sources make it.
TEST_F(PrefsFileRuns, UnusableFoldersAreIgnored) {
    const fs::path own = host.prefsFolder;
    WriteFile(own / "not a folder", "x");
    fs::create_directory(own / "holds a folder");
    fs::create_directory(own / "holds a folder" / kPrefsFileName);

    struct SCase {
        const char* what;
        std::string folder;
    };
    for (const SCase& c :
         {SCase{"below a file", (own / "not a folder" / "sub").string()},
          SCase{"missing parents", (own / "a" / "b" / "c").string()},
          SCase{"the file is a folder", (own / "holds a folder").string()}, SCase{"no folder at all", ""}}) {
        host.prefsFolder = c.folder;
        EXPECT_EQ(RunFromFile(), (SRecorded{kDefaultMaxDepth, false})) << c.what;

        SetPlayInfo(host::plugInDialogDisplay);
        host.Descriptors().Give({Depth(42), White(true)});
        EXPECT_EQ(host.Call(host::filterSelectorParameters), host::noErr) << c.what;
        ASSERT_TRUE(HandleBlock(host)) << c.what;
        EXPECT_EQ(HandleBlock(host)->depth, 42) << c.what;
        host.Call(host::filterSelectorFinish);
    }
    EXPECT_FALSE(fs::exists(own / "a")) << "only the last folder is created, as the shell does";
    EXPECT_TRUE(fs::is_directory(own / "holds a folder" / kPrefsFileName));
    EXPECT_EQ(Names(own / "holds a folder"), std::set<std::string>{kPrefsFileName})
        << "a temporary file left";
}

TEST_F(PrefsFileRuns, TheFolderIsCreatedWhenMissing) {
    host.prefsFolder = (fs::path(host.prefsFolder) / "fresh").string();
    SetPlayInfo(host::plugInDialogDisplay);
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(kDefaultMaxDepth, kLeaveBlack));
}

TEST_F(PrefsFileRuns, TheHostsLocaleDoesNotReachTheFile) {
    struct SGrouping : std::numpunct<char> {
        char do_thousands_sep() const override { return ' '; }
        std::string do_grouping() const override { return "\1"; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new SGrouping));
    SetPlayInfo(host::plugInDialogDisplay);
    host.Descriptors().Give({Depth(123), White(true)});
    const int16_t result = host.Call(host::filterSelectorParameters);
    host.Call(host::filterSelectorFinish);
    const auto recorded = RunFromFile();
    std::locale::global(previous);
    ASSERT_EQ(result, host::noErr);
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(123, kPaintWhite));
    EXPECT_EQ(recorded, (SRecorded{123, true}));
}

// Where the Linux build looks for the folder.
class PrefsFolderChoice : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        scratch_ = fs::temp_directory_path() / ("vandrel-folder-test-" + std::to_string(getpid()));
        fs::create_directories(scratch_);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        fs::remove_all(scratch_);
    }
    std::optional<std::string> Folder() {
        std::string path;
        if (!PrefsFolderPath(path)) return std::nullopt;
        return path;
    }
    static constexpr const char* kNames[] = {"VANDREL_PREFS_DIR", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    fs::path scratch_;
};

TEST_F(PrefsFolderChoice, TheXdgConfigFolderFirst) {
    setenv("HOME", (scratch_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch_ / "config").c_str(), 1);
    EXPECT_EQ(Folder(), (scratch_ / "config").string() + "/");
    EXPECT_TRUE(fs::is_directory(scratch_ / "config"));
}

TEST_F(PrefsFolderChoice, ElseDotConfigInTheHomeFolder) {
    fs::create_directories(scratch_ / "home");
    setenv("HOME", (scratch_ / "home").c_str(), 1);
    EXPECT_EQ(Folder(), (scratch_ / "home" / ".config").string() + "/");
    // A relative XDG_CONFIG_HOME is not a folder the rules accept.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(Folder(), (scratch_ / "home" / ".config").string() + "/");
}

TEST_F(PrefsFolderChoice, TheVariableOverridesBoth) {
    setenv("HOME", (scratch_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch_ / "config").c_str(), 1);
    setenv("VANDREL_PREFS_DIR", (scratch_ / "mine/").c_str(), 1);
    EXPECT_EQ(Folder(), (scratch_ / "mine").string() + "/");
    EXPECT_FALSE(fs::exists(scratch_ / "config"));
}

TEST_F(PrefsFolderChoice, NoFolderWhenNothingNamesOne) {
    EXPECT_EQ(Folder(), std::nullopt);
    setenv("HOME", "not/absolute", 1);
    EXPECT_EQ(Folder(), std::nullopt);
    // Set but empty: deliberately no folder, even with a home folder.
    setenv("HOME", (scratch_ / "home").c_str(), 1);
    setenv("VANDREL_PREFS_DIR", "", 1);
    EXPECT_EQ(Folder(), std::nullopt);
}

}  // namespace
