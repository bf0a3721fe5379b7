#include "winhost/DialogDriver.h"

#include <commctrl.h>

#include <chrono>
#include <vector>

#include "winhost/Check.h"
#include "winhost/ScenarioHost.h"

namespace winhost {

namespace {

constexpr int kAppearMilliseconds = 20000;  // a first window under a fresh wine takes its time
constexpr int kCloseMilliseconds = 5000;
constexpr int kPollMilliseconds = 20;

struct SSearch {
    DWORD process;
    std::string caption;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<SSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search.process || !IsWindowVisible(window)) return TRUE;
    // The class first: asking another thread's window for its text waits
    // for that thread, and only dialogs are worth the wait.
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770") return TRUE;
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (search.caption != caption) return TRUE;
    search.found = window;
    return FALSE;
}

HWND WaitForDialog(const std::string& caption) {
    SSearch search{GetCurrentProcessId(), caption, nullptr};
    for (int waited = 0; waited < kAppearMilliseconds; waited += kPollMilliseconds) {
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(kPollMilliseconds);
    }
    return nullptr;
}

}  // namespace

std::string CScreenUser::Text(int id) const {
    char text[256] = {};
    GetWindowTextA(Item(id), text, sizeof text);
    return text;
}

std::wstring CScreenUser::Text16(int id) const {
    wchar_t text[256] = {};
    GetWindowTextW(Item(id), text, 256);
    return text;
}

bool CScreenUser::Checked(int id) const { return Send(id, BM_GETCHECK) == BST_CHECKED; }

LRESULT CScreenUser::Send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendMessageA(Item(id), message, wParam, lParam);
}

void CScreenUser::SelectAll(int id) const { Send(id, EM_SETSEL, 0, -1); }

void CScreenUser::Type(int id, const std::string& characters) const {
    for (char c : characters) Send(id, WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
}

void CScreenUser::Click(int id) const { Send(id, BM_CLICK); }

void CScreenUser::ControlKey(int id, UINT virtualKey) const {
    Send(id, WM_KEYDOWN, virtualKey, 1);
    Send(id, WM_KEYUP, virtualKey, LPARAM(0xC0000001));
}

void CScreenUser::DialogKey(int id, UINT virtualKey) const {
    // Posted, as the keyboard does: the dialog's own message loop must see
    // it to turn it into the dialog's command.
    PostMessageA(Item(id), WM_KEYDOWN, virtualKey, 1);
    PostMessageA(Item(id), WM_KEYUP, virtualKey, LPARAM(0xC0000001));
}

void CScreenUser::DragThumb(int sliderId, int position) const {
    HWND slider = Item(sliderId);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    const LPARAM from = reinterpret_cast<LPARAM>(slider);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), from);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), from);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
}

bool CScreenUser::WaitClosed(int milliseconds) const {
    for (int waited = 0; IsOpen(); waited += kPollMilliseconds) {
        if (waited >= milliseconds) return false;
        Sleep(kPollMilliseconds);
    }
    return true;
}

void CScreenUser::Screenshot(const std::string& name) const {
    if (Options().shotsFolder.empty()) return;
    // Shown as the user sees it: the active window, freshly painted.
    SetForegroundWindow(dialog_);
    RedrawWindow(dialog_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // What was drawn must reach the display before it is read back.
    GdiFlush();
    Sleep(500);
    const std::string path = Options().shotsFolder + "\\" + name + ".bmp";
    WH_CHECK(SaveWindowPicture(dialog_, path));
}

CDialogDriver::CDialogDriver(const char* caption, std::function<void(CScreenUser&)> person)
    : thread_(&CDialogDriver::Run, this, std::string(caption), std::move(person)) {}

CDialogDriver::~CDialogDriver() { thread_.join(); }

void CDialogDriver::Run(std::string caption, std::function<void(CScreenUser&)> person) {
    HWND dialog = WaitForDialog(caption);
    RecordCheck(dialog != nullptr, __FILE__, __LINE__, "no dialog \"" + caption + "\" appeared");
    if (!dialog) return;
    CScreenUser user(dialog);
    person(user);
    if (!user.WaitClosed(kCloseMilliseconds)) {
        RecordCheck(false, __FILE__, __LINE__, "the dialog \"" + caption + "\" was left open");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        user.WaitClosed(kCloseMilliseconds);
    }
}

bool SaveWindowPicture(HWND window, const std::string& path) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) return false;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, picture);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != FALSE;
    SelectObject(memory, previous);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // rows bottom-up, as a BMP file stores them
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD rowBytes = DWORD((width * 3 + 3) & ~3);
    std::vector<BYTE> pixels(size_t(rowBytes) * size_t(height));
    const int rows = copied ? GetDIBits(memory, picture, 0, UINT(height), pixels.data(),
                                        reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS)
                            : 0;
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + DWORD(pixels.size());
    header.biSizeImage = DWORD(pixels.size());
    HANDLE out =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) && written == sizeof file;
    ok = ok && WriteFile(out, &header, sizeof header, &written, nullptr) && written == sizeof header;
    ok = ok && WriteFile(out, pixels.data(), DWORD(pixels.size()), &written, nullptr) &&
         written == pixels.size();
    CloseHandle(out);
    return ok;
}

}  // namespace winhost
