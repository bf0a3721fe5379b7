// Ctrl-C, a closed terminal or a polite kill: the first asks the run to
// stop at the next safe point (the plug-in's abort test, or between
// files); a second ends the program at once, removing its temporary file.
// A file-size limit, or a closed pipe, makes writes fail instead of ending
// the program.
#pragma once

#include <string>

namespace cli {

void InstallInterruptHandlers();
bool InterruptRequested();
// 128 + the number of the first signal, as shells report a killed program.
int InterruptExitStatus();

// What to remove when the program has to end at once; "" forgets it.
void SetCleanupFile(const std::string& path);
void SetCleanupFolder(const std::string& path);

}  // namespace cli
