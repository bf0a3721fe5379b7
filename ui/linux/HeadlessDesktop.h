// The process-wide side of the headless window system: the screen's
// resolution, the fonts and device contexts handed out, the web pages the
// shell was asked to open, the window classes the process registered, and
// every dialog shown so far. Tests read and set it directly.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/linux/Win32StandIn.h"

struct HFONT__ {
    int height = 0;
    int width = 0;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    DWORD charSet = 0;
    std::string face;
    bool deleted = false;
};

struct HDC__ {
    HWND window = nullptr;
    bool released = false;
};

namespace headless {

class CDialogUser;
// The person in front of the screen: acts on one open dialog until it closes.
using DialogUser = std::function<void(CDialogUser&)>;

struct SShellOpen {
    HWND owner;
    std::string verb;  // empty for the default verb
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
};

// One call of DialogBoxParamA, as it went.
struct SDialogSession {
    int templateId = 0;  // 0 when the template was named by a string
    HINSTANCE instance = nullptr;
    HWND owner = nullptr;
    LPARAM init = 0;
    bool created = false;
    bool leftOpen = false;  // the user stopped acting with the dialog still open
    INT_PTR result = 0;
};

class CHeadlessDesktop {
public:
    // Back to a freshly started process with nobody at the screen.
    void Reset();

    int logicalDpiY = 96;
    // The trackbar's window class, which a host process normally registers
    // for its own dialogs before any plug-in runs.
    bool trackbarClassRegistered = false;
    // When set, answers every dialog; otherwise the scripted answer of the
    // environment does (DialogScript.h).
    DialogUser user;

    std::vector<SShellOpen> shellOpens;
    std::vector<SDialogSession> sessions;
    // Every font ever created, deleted ones included, in order of creation.
    std::vector<std::unique_ptr<HFONT__>> fonts;
    int failedFontDeletions = 0;  // DeleteObject of a handle that was not a live font
    int devicesTaken = 0;
    int devicesReleased = 0;
    DWORD lastError = 0;

    int LiveFonts() const;
    // The most recently created font, or null.
    const HFONT__* LastFont() const;

    // Owned by the stand-in's GetDC/ReleaseDC.
    std::vector<std::unique_ptr<HDC__>> devices;
};

CHeadlessDesktop& Desktop();

// Installs the person who answers the dialogs for as long as it lives.
class CScopedUser {
public:
    explicit CScopedUser(DialogUser person);
    ~CScopedUser();
    CScopedUser(const CScopedUser&) = delete;
    CScopedUser& operator=(const CScopedUser&) = delete;

private:
    DialogUser previous_;
};

}  // namespace headless
