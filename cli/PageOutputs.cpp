#include "cli/PageOutputs.h"

#include "cli/Interrupt.h"
#include "cli/WrittenList.h"

namespace cli {

int CPageOutputs::Add(const std::string& target) {
    files_.push_back(std::make_unique<CSafeOutput>(target, overwrite_));
    return files_.back()->Fd();
}

void CPageOutputs::Commit() {
    for (const auto& file : files_) file->Flush();
    {
        const CStopHeld held;
        std::string lines;
        for (size_t i = 0; i < files_.size(); ++i) {
            try {
                files_[i]->PutInPlace();
            } catch (...) {
                for (size_t j = 0; j < i; ++j) files_[j]->Withdraw();
                throw;
            }
        }
        // Listed as the page's report lists them: its flats first.
        if (!files_.empty()) lines = ListLine(files_.back()->Target());
        for (size_t i = 0; i + 1 < files_.size(); ++i) lines += ListLine(files_[i]->Target());
        OweListing(lines);
    }
    for (const auto& file : files_) file->SyncFolder();
}

}  // namespace cli
