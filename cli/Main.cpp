// vandrel: the plug-in at work on image files, without a host.
#include <variant>

#include "cli/Batch.h"
#include "cli/CommandLine.h"
#include "cli/ImageLimits.h"
#include "cli/Interrupt.h"

int main(int argc, char** argv) {
    auto parsed = cli::ParseCommandLine(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    cli::InstallInterruptHandlers();
    cli::KeepAllocatorPoolsCountable();
    return cli::RunBatch(std::get<cli::SToolOptions>(parsed));
}
