// Inputs the tool cannot read, or that are cut short anywhere, or that
// declare far more pixels than they carry: a failure with its reason, no
// output, and no attempt to allocate what a file merely claims.
#include <sys/stat.h>
#include <tiff.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/ToolTest.h"

namespace tool_testing {
namespace {

using HostileInput = ToolTest;

TEST_F(HostileInput, AnInputTheUserMayNotReadIsRefused) {
    WriteBytes(Path("secret.png"), PngFile(NoisyPage(8, 8, 1)));
    ::chmod(Path("secret.png").c_str(), 0);
    SToolSetup limits;
    // Root reads every file; another user does not.
    limits.asNobody = ::geteuid() == 0;
    const SToolRun run = RunTool({"flat", Path("secret.png"), "-o", Path("flat.png")}, limits);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"secret.png"});
}

// Cut anywhere: in the signature, the header, the pixels or the end.
TEST_F(HostileInput, AFileCutShortAnywhereIsRefused) {
    const SPicture page = NoisyPage(40, 30, 3);
    for (const auto& [name, whole] : {std::pair<std::string, std::string>{"cut.png", PngFile(page)},
                                      std::pair<std::string, std::string>{"cut.tif", TiffFile(page)}}) {
        WriteBytes(Path("whole-" + name), whole);
        ASSERT_EQ(RunTool({"flat", Path("whole-" + name), "-o", Path("check-" + name)}).status, 0) << name;
        std::filesystem::remove(Path("whole-" + name));
        std::filesystem::remove(Path("check-" + name));
        for (size_t keep : {size_t(0), size_t(4), size_t(20), size_t(60), whole.size() / 4, whole.size() / 2,
                            whole.size() - 200, whole.size() - 13, whole.size() - 1}) {
            WriteBytes(Path(name), whole.substr(0, keep));
            const SToolRun run = RunTool({"flat", Path(name), "-o", Path("flat.png")});
            EXPECT_EQ(run.status, 1) << name << " cut to " << keep << " bytes: " << run.err;
            EXPECT_EQ(Listing(), std::vector<std::string>{name}) << name << " cut to " << keep << " bytes";
        }
        std::filesystem::remove(Path(name));
    }
}

// A few hundred bytes that declare up to 32767 x 32767 pixels, four
// gigabytes: refused as the damaged files they are, without taking the
// memory they ask for.
TEST_F(HostileInput, DeclaredDimensionsAFileCannotHoldAreRefusedWithoutTheMemory) {
    SToolSetup limits;
    // Should the tool try anyway, it fails here rather than take the machine.
    if (!kSanitizerBuild) limits.addressBytes = rlim_t(1) << 31;
    for (auto [w, h] :
         {std::pair<uint32_t, uint32_t>{32767, 32767}, {30000, 20000}, {32767, 1}, {1, 32767}}) {
        for (const auto& [name, bytes] :
             {std::pair<std::string, std::string>{"huge.png", PngDeclaring(w, h)},
              std::pair<std::string, std::string>{"huge.tif", TiffDeclaring(w, h)}}) {
            WriteBytes(Path(name), bytes);
            const SToolRun run = RunTool({"flat", Path(name), "-o", Path("flat.tif")}, limits);
            const std::string what = name + " declaring " + std::to_string(w) + " x " + std::to_string(h);
            EXPECT_EQ(run.status, 1) << what << ": " << run.err;
            EXPECT_NE(run.err.find("truncated or damaged"), std::string::npos) << what << ": " << run.err;
            EXPECT_LT(run.maxRssKb, 256 * 1024) << what << " took " << run.maxRssKb / 1024 << " MB";
            EXPECT_EQ(Listing(), std::vector<std::string>{name}) << what;
            std::filesystem::remove(Path(name));
        }
    }
}

// Each codec has its own bound on how far it can expand a file, and the
// ones that compress best must not let a few kilobytes claim most of a
// gigabyte either; nor may a tile far larger than its image.
TEST_F(HostileInput, CompressedAndTiledTiffsCannotClaimWhatTheFileCannotHold) {
    SToolSetup limits;
    if (!kSanitizerBuild) limits.addressBytes = rlim_t(1) << 31;
    const std::pair<std::string, std::string> files[] = {
        {"zstd", TiffDeclaring(16384, 16384, 50000, 4000)},
        {"lzma", TiffDeclaring(16384, 16384, 34925, 4000)},
        {"jpeg", TiffDeclaring(16384, 16384, 7, 4000)},
        {"webp", TiffDeclaring(16384, 16384, 50001, 4000)},
        {"packbits", TiffDeclaring(1000, 1000, 32773)},
        {"huge tile", TiffWithOneTile(16, 16, 32768)},
        // ZSTD may claim 65536 times its bytes, but no image of one pixel
        // needs a tile of 805 MB.
        {"huge ZSTD tile", TiffWithOneTile(1, 1, 16384, 50000, 13000)},
    };
    for (const auto& [what, bytes] : files) {
        WriteBytes(Path("huge.tif"), bytes);
        const SToolRun run = RunTool({"flat", Path("huge.tif"), "-o", Path("flat.tif")}, limits);
        EXPECT_EQ(run.status, 1) << what << ": " << run.err;
        EXPECT_NE(run.err.find("truncated or damaged"), std::string::npos) << what << ": " << run.err;
        EXPECT_LT(run.maxRssKb, 256 * 1024) << what << " took " << run.maxRssKb / 1024 << " MB";
        EXPECT_EQ(Listing(), std::vector<std::string>{"huge.tif"}) << what;
    }
}

// Codecs made for one or two bits a pixel (fax, JBIG, NeXT), for
// log-luminance, or WebP beyond its sides cannot carry a page of 8-bit
// colour: such a file is damaged, whatever size it declares, and is refused
// before the raster is allocated. A codec that can, with data that is not
// what it claims, fails at its first strip, having taken only what it read.
TEST_F(HostileInput, TiffCodecsThatCannotCarryThePageAreRefusedBeforeItsMemory) {
    SToolSetup limits;
    if (!kSanitizerBuild) limits.addressBytes = rlim_t(4) << 30;
    const std::pair<std::string, std::string> files[] = {
        {"NeXT", TiffDeclaring(32767, 32767, 32766, 49 << 10)},
        {"CCITT G3", TiffDeclaring(32767, 32767, 3, 49 << 10)},
        {"JBIG", TiffDeclaring(32767, 32767, 34661, 49 << 10)},
        {"SGI LogLuv", TiffDeclaring(32767, 32767, 34676, 49 << 10)},
        {"WebP", TiffDeclaring(32767, 32767, 50001, 49 << 10)},
        {"LERC", TiffDeclaring(32767, 32767, 34887, 49 << 10)},
        {"deflate, not deflated", TiffDeclaring(20000, 20000, 8, 1200 << 10)},
    };
    for (const auto& [what, bytes] : files) {
        WriteBytes(Path("huge.tif"), bytes);
        const auto started = std::chrono::steady_clock::now();
        const SToolRun run = RunTool({"flat", Path("huge.tif"), "-o", Path("flat.tif")}, limits);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.status, 1) << what << ": " << run.err;
        // A codec that could hold such a page still has to fit in memory.
        const bool said = run.err.find("truncated or damaged") != std::string::npos ||
                          run.err.find("is not supported") != std::string::npos ||
                          run.err.find("not enough memory for this page") != std::string::npos;
        EXPECT_TRUE(said) << what << ": " << run.err;
        // Under the sanitizers the shadow of a page that is allocated but
        // never written counts as resident too.
        if (!kSanitizerBuild) {
            EXPECT_LT(run.maxRssKb, 256 * 1024) << what << " took " << run.maxRssKb / 1024 << " MB";
        }
        EXPECT_LT(seconds, 5) << what;
        EXPECT_EQ(Listing(), std::vector<std::string>{"huge.tif"}) << what;
    }
}

TEST_F(HostileInput, ACompressionTheLibraryCannotDecodeIsNamed) {
    WriteBytes(Path("jp2.tif"), TiffDeclaring(64, 64, 34712));
    const SToolRun run = RunTool({"flat", Path("jp2.tif"), "-o", Path("flat.tif")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("compression 34712 is not supported"), std::string::npos) << run.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"jp2.tif"});
}

// A strip that starts past the end of the file, in codecs with a predictor
// and without: the reason given is that fault, not a question the reader
// asked of a codec that has no answer for it.
TEST_F(HostileInput, ATiffStripPastTheEndIsTheReasonGiven) {
    for (uint16_t compression : {COMPRESSION_NONE, COMPRESSION_PACKBITS, COMPRESSION_NEXT, COMPRESSION_JBIG,
                                 COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
        WriteBytes(Path("far.tif"), TiffStrip(4, 4, compression, 48, std::string(48, '\0'), 100000));
        const SToolRun run = RunTool({"flat", Path("far.tif"), "-o", Path("flat.tif")});
        EXPECT_EQ(run.status, 1) << compression << ": " << run.err;
        // NeXT and JBIG cannot carry 8-bit colour at all: that is the reason
        // given for them, before any strip is looked at.
        const bool carries = compression != COMPRESSION_NEXT && compression != COMPRESSION_JBIG;
        EXPECT_NE(run.err.find(carries ? "truncated or damaged TIFF file (libtiff: "
                                       : "cannot hold 8-bit RGB or CMYK samples"),
                  std::string::npos)
            << compression << ": " << run.err;
        EXPECT_EQ(run.err.find("Predictor"), std::string::npos) << compression << ": " << run.err;
        EXPECT_EQ(Listing(), std::vector<std::string>{"far.tif"}) << compression;
    }
}

// 4 x 4 RGB pixels take 48 bytes; a StripByteCounts of 10 is damage,
// which libtiff would mend by reading 48 bytes anyway, whatever they are.
TEST_F(HostileInput, AnUncompressedStripShorterThanItsRowsIsRefused) {
    WriteBytes(Path("short.tif"), TiffStrip(4, 4, COMPRESSION_NONE, 10, std::string(48, '\x80')));
    const SToolRun run = RunTool({"flat", Path("short.tif"), "-o", Path("flat.tif")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("truncated or damaged TIFF file (the sizes of its strips do not match its rows)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"short.tif"});
    // The same file with the right size is flatted.
    WriteBytes(Path("short.tif"), TiffStrip(4, 4, COMPRESSION_NONE, 48, std::string(48, '\x80')));
    EXPECT_EQ(RunTool({"flat", Path("short.tif"), "-o", Path("flat.tif")}).status, 0);
}

// libtiff passes over an entry it cannot make sense of with a warning: an
// entry the pixels depend on, passed over, leaves them read from wherever
// its default points (StripOffsets: the file's first bytes).
TEST_F(HostileInput, ATiffWhosePixelEntriesLibtiffDropsIsRefused) {
    const SPicture page = NoisyPage(4, 4, 7);
    WriteBytes(Path("whole.tif"), TiffFile(page));
    ASSERT_EQ(RunTool({"flat", Path("whole.tif"), "-o", Path("check.tif")}).status, 0);
    std::filesystem::remove(Path("whole.tif"));
    std::filesystem::remove(Path("check.tif"));
    for (uint16_t tag : {TIFFTAG_STRIPOFFSETS, TIFFTAG_STRIPBYTECOUNTS}) {
        WriteBytes(Path("dropped.tif"), TiffWithEntryCount(page, tag, 0));
        const SToolRun run = RunTool({"flat", Path("dropped.tif"), "-o", Path("flat.tif")});
        EXPECT_EQ(run.status, 1) << tag << ": " << run.err;
        EXPECT_NE(run.err.find("truncated or damaged TIFF file"), std::string::npos)
            << tag << ": " << run.err;
        EXPECT_EQ(Listing(), std::vector<std::string>{"dropped.tif"}) << tag;
    }
}

// A chunk's length field is read before its data: one that claims nearly
// two gigabytes in a file of a few hundred bytes must not be allocated.
TEST_F(HostileInput, AChunkThatClaimsGigabytesIsNotAllocated) {
    SToolSetup limits;
    if (!kSanitizerBuild) limits.addressBytes = rlim_t(1) << 31;
    WriteBytes(Path("chunk.png"), PngWithChunkClaiming(0x6A000025));
    const SToolRun run = RunTool({"flat", Path("chunk.png"), "-o", Path("flat.png")}, limits);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_LT(run.maxRssKb, 256 * 1024) << "took " << run.maxRssKb / 1024 << " MB";
    EXPECT_EQ(Listing(), std::vector<std::string>{"chunk.png"});
}

// A real page, 27 MB of pixels, with less memory than a run needs: the
// page is refused before it is read, or memory runs out while it is read
// or written, depending on the limit; inside the plug-in, memory runs out
// for a search deeper than its tables may grow. Each failure says so in words (the plug-in's result code
// alone means nothing to a user) and leaves no output; the first limit that fits writes the whole page.
TEST_F(HostileInput, APageTooLargeForTheMemoryFailsCleanly) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' shadow memory leaves no room for an address limit";
    WriteBytes(Path("big.png"), PngFile(NoisyPage(3000, 3000, 5)));
    int failures = 0;
    for (rlim_t megabytes = 48; megabytes <= 512; megabytes += 8) {
        SToolSetup limits;
        limits.addressBytes = megabytes << 20;
        const SToolRun run = RunTool({"flat", Path("big.png"), "-o", Path("flat.png")}, limits);
        if (run.status == 0) {
            EXPECT_EQ(Listing(), (std::vector<std::string>{"big.png", "flat.png"})) << megabytes << " MB";
            break;
        }
        ++failures;
        EXPECT_EQ(run.status, 1) << megabytes << " MB: " << run.err;
        const bool said = run.err.find("not enough memory") != std::string::npos ||
                          run.err.find("ran out of memory") != std::string::npos;
        EXPECT_TRUE(said) << megabytes << " MB: " << run.err;
        EXPECT_EQ(Listing(), std::vector<std::string>{"big.png"}) << megabytes << " MB";
    }
    EXPECT_GT(failures, 0) << "every limit left enough memory: the test shows nothing";
}

}  // namespace
}  // namespace tool_testing
