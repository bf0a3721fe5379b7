// The preferences file: the user's last confirmed parameters, kept between
// runs and across restarts of the host as one line of text. Every failure
// to find, read or write it is silent.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "resources/PluginInfo.h"
#include "params/VandrelParams.h"

constexpr char kPrefsFileName[] = VANDREL_PRODUCT_NAME " Prefs";

// Signature, version, depth and remainder, each followed by one space:
// "1449423468 1 256 B " for the defaults. Numbers in the classic locale,
// whatever locale the host process runs in.
void WritePrefs(std::ostream& out, const _SVandrelParams& params);

// Formatted extraction straight into the record: a field without a number
// becomes 0 and stops the fields after it, which keep their values; a
// stream with nothing but white space changes nothing. A record that then
// fails the validity test is reset.
void ReadPrefs(std::istream& in, CVandrelParams& params);

// The file in the preferences folder; false when there is no folder.
bool PrefsFilePath(std::string& path);
// Another file of ours in the same folder.
bool PrefsFilePathFor(const char* fileName, std::string& path);

// `text` as the whole content of the file at `path`, replacing it in one
// step; nothing escapes.
void SavePrefsText(const std::string& path, const std::string& text) noexcept;

// The file `fileName` in the preferences folder, handed to `read` when it
// can be opened, or made of what `write` writes and put in place whole.
// Every failure, of the folder, the file or the record, is silent: the file
// is a convenience and never decides whether a run goes ahead.
void LoadNamedPrefsFile(const char* fileName, const std::function<void(std::istream&)>& read) noexcept;
void SaveNamedPrefsFile(const char* fileName, const std::function<void(std::ostream&)>& write) noexcept;

// Whole operations on the file at `path`; nothing escapes them.
void LoadPrefsFile(const std::string& path, CVandrelParams& params) noexcept;
void SavePrefsFile(const std::string& path, const _SVandrelParams& params) noexcept;
