// Ctrl-C, a closed terminal or a polite kill: the first asks the run to
// stop at the next safe point (the plug-in's abort test, or between
// files); a second ends the program at once, removing its temporary file.
// A file-size limit, or a closed pipe, makes writes fail instead of ending
// the program.
#pragma once

#include <signal.h>

#include <string>

namespace cli {

void InstallInterruptHandlers();
bool InterruptRequested();
// 128 + the number of the first signal, as shells report a killed program.
int InterruptExitStatus();

// A file to remove when the program has to end at once: returns its slot,
// or -1 when every slot is taken. Dropping the slot forgets the file.
int AddCleanupFile(const std::string& path);
void DropCleanupFile(int slot);
// The folder to remove then; "" forgets it.
void SetCleanupFolder(const std::string& path);

// The lines stdout owes for files already in place and not yet listed: a
// program ending at once writes them first, so that stdout names every
// file written. Each is paid, in order, as it is listed. Both are called
// inside a held step.
void OweListing(const std::string& lines);
void PaidListing(const std::string& line);
// Some file was listed: "nothing written" would no longer be true.
void NoteListed();

// Putting a file in place and owing its line, or paying it, is one step a
// second signal must not split: it waits for the step to end. The signals
// are blocked in the thread taking the step meanwhile, so that the wait
// is never the step's own thread.
class CStopHeld {
public:
    CStopHeld();
    ~CStopHeld();
    CStopHeld(const CStopHeld&) = delete;
    CStopHeld& operator=(const CStopHeld&) = delete;

private:
    sigset_t previous_;
};

}  // namespace cli
