#include "cli/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "cli/ImageError.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using InputFile = ToolTest;

// A name checked as a file may be a pipe by the time the reader opens it:
// the open must refuse it at once rather than wait for a writer that never
// comes. Should it block, the test lets it go by writing to the pipe.
TEST_F(InputFile, APipePutInPlaceOfTheFileIsRefusedWithoutBlocking) {
    WriteBytes(Path("page.png"), "not read");
    cli::CheckInputFile(Path("page.png"));
    ::unlink(Path("page.png").c_str());
    ASSERT_EQ(::mkfifo(Path("page.png").c_str(), 0600), 0);

    auto opening = std::async(std::launch::async, [&]() -> std::string {
        try {
            ::close(cli::OpenInputFile(Path("page.png")));
            return "opened";
        } catch (const cli::CImageError& e) {
            return e.what();
        }
    });
    if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ::close(::open(Path("page.png").c_str(), O_WRONLY | O_NONBLOCK));
        FAIL() << "opening a pipe blocked";
    }
    EXPECT_EQ(opening.get().rfind("is a pipe, not a file", 0), 0u);
}

// What the readers get is an ordinary descriptor: a large file read through
// it must not stop short with EAGAIN.
TEST_F(InputFile, ARegularFileIsHandedOverBlockingAndReadable) {
    WriteBytes(Path("page.png"), std::string(100000, 'x'));
    const int fd = cli::OpenInputFile(Path("page.png"));
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    char buffer[100000];
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), ssize_t(sizeof buffer));
    ::close(fd);
    EXPECT_THROW(cli::OpenInputFile(Path("missing.png")), cli::CImageError);
    ASSERT_EQ(::mkdir(Path("folder.png").c_str(), 0700), 0);
    EXPECT_THROW(cli::OpenInputFile(Path("folder.png")), cli::CImageError);
}

}  // namespace
