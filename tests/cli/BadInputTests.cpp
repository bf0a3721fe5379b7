// Files the plug-in cannot take: one line naming the file and the reason,
// a failure in the exit status, and nothing written.
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <tuple>

#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using BadInput = ToolTest;

TEST_F(BadInput, EachKindIsRefusedWithItsReasonAndNoOutput) {
    struct SCase {
        const char* file;
        std::function<void(const std::string&)> make;
        const char* reason;
    };
    const std::string page = Path("good.png");
    SavePng(page, Picture({"r#", "#b"}, kRgb));
    const std::string pageBytes = ReadBytes(page);
    const std::vector<SCase> cases = {
        {"deep.png", [](auto& p) { SavePngKind(p, 4, 4, PNG_COLOR_TYPE_RGB, 16); },
         "16-bit samples are not supported"},
        {"gray.png", [](auto& p) { SavePngKind(p, 4, 4, PNG_COLOR_TYPE_GRAY, 8); },
         "grayscale images are not supported"},
        {"index.png", [](auto& p) { SavePngKind(p, 4, 4, PNG_COLOR_TYPE_PALETTE, 8); },
         "palette (indexed-colour) images"},
        {"wide.png", [](auto& p) { SavePngKind(p, 32768, 1, PNG_COLOR_TYPE_RGB, 8); },
         "32768 x 1 pixels is more than 32767"},
        {"deep.tif", [](auto& p) { SaveTiffKind(p, 4, 4, PHOTOMETRIC_RGB, 16, 3); },
         "16-bit samples are not supported"},
        {"gray.tif", [](auto& p) { SaveTiffKind(p, 4, 4, PHOTOMETRIC_MINISBLACK, 8, 1); },
         "grayscale images"},
        {"index.tif", [](auto& p) { SaveTiffKind(p, 4, 4, PHOTOMETRIC_PALETTE, 8, 1); },
         "palette (indexed-colour) images"},
        {"lab.tif", [](auto& p) { SaveTiffKind(p, 4, 4, PHOTOMETRIC_CIELAB, 8, 3); },
         "Lab images are not supported"},
        {"tall.tif", [](auto& p) { SaveTiffKind(p, 1, 40000, PHOTOMETRIC_RGB, 8, 3); },
         "1 x 40000 pixels is more than 32767"},
        {"pages.tif", [](auto& p) { SaveTiffKind(p, 4, 4, PHOTOMETRIC_RGB, 8, 3, 2); }, "holds 2 pages"},
        {"premultiplied.tif",
         [](auto& p) {
             SaveTiff(p, Picture({"r"}, {{'r', {255, 0, 0, 255}}}), {.extraKind = EXTRASAMPLE_ASSOCALPHA});
         },
         "premultiplied (associated) alpha"},
        // A fourth channel of unknown meaning, made all zeros, would
        // otherwise make the page wholly transparent.
        {"unspecified.tif",
         [](auto& p) {
             SaveTiff(p, Picture({"r"}, {{'r', {255, 0, 0, 0}}}), {.extraKind = EXTRASAMPLE_UNSPECIFIED});
         },
         "extra channel that the file does not call alpha"},
        {"unnamed-extra.tif", [](auto& p) { SaveTiffKind(p, 4, 4, PHOTOMETRIC_RGB, 8, 4); },
         "extra channel that the file does not call alpha"},
        {"cut.png", [&](auto& p) { WriteBytes(p, pageBytes.substr(0, pageBytes.size() - 20)); },
         "truncated or damaged PNG"},
        {"cut.tif",
         [&](auto& p) {
             SaveTiff(p, Picture({"r#", "#b"}, kRgb));
             WriteBytes(p, ReadBytes(p).substr(0, 20));
         },
         "truncated or damaged TIFF"},
        {"notes.png", [](auto& p) { WriteBytes(p, "not a picture at all\n"); }, "not a PNG or TIFF image"},
        {"missing.png", [](auto&) {}, "cannot open: No such file or directory"},
        {"folder.png", [](auto& p) { std::filesystem::create_directory(p); },
         "a folder with no PNG or TIFF file"},
    };
    for (const SCase& c : cases) {
        const std::string in = Path(c.file);
        c.make(in);
        const std::string before = std::filesystem::is_regular_file(in) ? ReadBytes(in) : "";
        const SToolRun run = RunTool({"flat", in, "-o", Path("out.tif")});
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_EQ(run.err.rfind("vandrel: " + in + ": ", 0), 0u) << c.file << ": " << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.file << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.file << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.file;
        EXPECT_FALSE(std::filesystem::exists(Path("out.tif"))) << c.file;
        if (!before.empty()) {
            EXPECT_EQ(ReadBytes(in), before) << c.file;
        }
    }
    // Nothing but the inputs: no temporary file was left behind either.
    EXPECT_EQ(Listing().size(), cases.size());  // good.png is there, missing.png is not
}

// libpng reads an animated PNG's first frame and passes over the others:
// flatting only that one would drop the rest without a word.
TEST_F(BadInput, AnAnimatedPngIsRefused) {
    const SPicture first = Picture({"r#b"}, kRgb), second = Picture({"b#r"}, kRgb);
    for (const auto& [what, bytes, reason] :
         {std::tuple<std::string, std::string, std::string>{"two frames", AnimatedPng(first, second, 2),
                                                            "is an animated PNG (2 frames)"},
          {"a frame beyond the still image", AnimatedPng(first, second, 1, false),
           "is an animated PNG (APNG)"}}) {
        WriteBytes(Path("moving.png"), bytes);
        const SToolRun run = RunTool({"flat", Path("moving.png"), "-o", Path("out.png")});
        EXPECT_EQ(run.status, 1) << what << ": " << run.err;
        EXPECT_NE(run.err.find(reason + "; only still PNG images can be flatted"), std::string::npos)
            << what << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(Path("out.png"))) << what;
    }
    // The same file without its animation is an ordinary page.
    WriteBytes(Path("still.png"), PngFile(first));
    EXPECT_EQ(RunTool({"flat", Path("still.png"), "-o", Path("out.png")}).status, 0);
}

// A pipe or a device is refused before it is opened: a pipe with no writer
// would block the open for ever, and a TIFF cannot be read from a stream.
TEST_F(BadInput, PipesAndDevicesAreRefusedWithoutWaitingForThem) {
    SavePng(Path("page.png"), Picture({"r#"}, kRgb));
    ASSERT_EQ(::mkfifo(Path("fifo.png").c_str(), 0600), 0);
    struct SCase {
        std::string input;
        SToolSetup setup;
        const char* reason;
    };
    const std::vector<SCase> cases = {
        {Path("fifo.png"), {}, "is a pipe, not a file"},
        {"/dev/stdin", {.stdinBytes = ReadBytes(Path("page.png"))}, "is a pipe, not a file"},
        {"/dev/zero", {}, "is a device, not an image file"},
    };
    for (const SCase& c : cases) {
        CToolChild tool({"flat", c.input, "-o", Path("out.png")}, c.setup);
        const SToolRun run = tool.Wait(20);
        EXPECT_EQ(run.status, 1) << c.input << ": " << run.err;
        EXPECT_EQ(run.err.rfind("vandrel: " + c.input + ": " + c.reason, 0), 0u)
            << c.input << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(Path("out.png"))) << c.input;
    }
}

// A folder stands for its pages: one without any is the input at fault,
// and is named.
TEST_F(BadInput, AFolderWithoutPagesIsNamedAsSuch) {
    std::filesystem::create_directory(Path("d1"));
    WriteBytes(Path("d1/notes.txt"), "not a page\n");
    const SToolRun run = RunTool({"flat", Path("d1/"), "--out-dir", Path("od")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "vandrel: " + Path("d1/") + ": a folder with no PNG or TIFF file in it\n");
}

TEST_F(BadInput, CmykCannotBeWrittenAsPng) {
    SaveTiff(Path("cmyk.tif"), Picture({"#"}, {{'#', {0, 0, 0, 255}}}), {PHOTOMETRIC_SEPARATED});
    const SToolRun run = RunTool({"flat", Path("cmyk.tif"), "-o", Path("out.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("PNG cannot hold CMYK"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
}

}  // namespace
