// The stand-in's calls, each behaving as its Windows namesake does for the
// arguments the dialog procedures pass.
#include "ui/linux/Win32StandIn.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "ui/linux/DialogScript.h"
#include "ui/linux/DialogUser.h"
#include "ui/linux/HeadlessDesktop.h"
#include "ui/linux/HeadlessDialog.h"

using headless::CDialogWindow;
using headless::Desktop;
using headless::EControl;

namespace {

HWND DialogControl(HWND dialog, int id) {
    return dialog && dialog->dialog ? dialog->dialog->Control(id) : nullptr;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) out += unit < 0x80 ? char(unit) : '\x7f';
    return out;
}

// The dialog manager's reading of a number: spaces around it, a sign only
// when signed, and nothing else; a number out of range is a failure.
bool ReadInteger(const std::string& text, bool isSigned, UINT& value) {
    size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos) return false;
    bool negative = false;
    if (isSigned && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    const size_t digits = at;
    uint64_t number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        number = number * 10 + uint64_t(text[at++] - '0');
        if (number > uint64_t(std::numeric_limits<UINT>::max()) + 1) return false;
    }
    if (at == digits || text.find_first_not_of(' ', at) != std::string::npos) return false;
    if (isSigned) {
        const int64_t limit = negative ? int64_t(std::numeric_limits<int>::max()) + 1 : std::numeric_limits<int>::max();
        if (int64_t(number) > limit) return false;
        value = UINT(negative ? -int64_t(number) : int64_t(number));
    } else {
        if (number > std::numeric_limits<UINT>::max()) return false;
        value = UINT(number);
    }
    return true;
}

// One code point from UTF-8, or U+FFFD for each byte that starts no valid
// sequence (overlong forms, surrogates and values past U+10FFFF included).
char32_t DecodeUtf8(const unsigned char*& at, const unsigned char* end) {
    const unsigned char lead = *at++;
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) extra = 1, code = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0) extra = 2, code = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0) extra = 3, code = lead & 0x07, least = 0x10000;
    else return 0xFFFD;
    const unsigned char* next = at;
    for (int i = 0; i < extra; ++i) {
        if (next == end || (*next & 0xC0) != 0x80) return 0xFFFD;
        code = (code << 6) | (*next++ & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0xFFFD;
    at = next;
    return code;
}

}  // namespace

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM init) {
    auto& desktop = Desktop();
    headless::SDialogSession session;
    session.templateId = IS_INTRESOURCE(templateName) ? LOWORD(reinterpret_cast<uintptr_t>(templateName)) : 0;
    session.instance = instance;
    session.owner = owner;
    session.init = init;
    auto fail = [&] {
        session.result = -1;
        desktop.sessions.push_back(session);
        return INT_PTR(-1);
    };

    const headless::SDialogTemplate* layout = headless::FindDialogTemplate(session.templateId);
    // A control class nobody registered makes the dialog's creation fail.
    if (!layout || !procedure || (layout->UsesTrackbar() && !desktop.trackbarClassRegistered)) return fail();

    headless::DialogUser user = desktop.user;
    if (!user) {
        const headless::SDialogScript script = headless::DialogScriptFromEnvironment();
        if (!script.valid) {
            std::fprintf(stderr, "%s: %s\n", headless::kDialogScriptVariable, script.error.c_str());
            return fail();
        }
        if (script.failCreation) return fail();
        user = [script](headless::CDialogUser& person) { PlayDialogScript(script, person); };
    }

    CDialogWindow dialog(*layout, procedure, owner);
    session.created = true;
    dialog.Send(WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog.FirstTabStop()), init);
    if (!dialog.Ended()) {
        headless::CDialogUser person(dialog);
        user(person);
    }
    // Nobody will ever close a dialog the user walked away from.
    session.leftOpen = !dialog.Ended();
    session.result = dialog.Ended() ? dialog.Result() : -1;
    desktop.sessions.push_back(session);
    return session.result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (!dialog || !dialog->dialog || dialog->kind != EControl::Dialog) return FALSE;
    dialog->dialog->End(result);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) { return DialogControl(dialog, id); }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window || !window->dialog) return 0;
    if (window->kind == EControl::Dialog) return window->dialog->Send(message, wParam, lParam);
    return window->dialog->ControlMessage(window, message, wParam, lParam);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(DialogControl(dialog, id), message, wParam, lParam);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    HWND control = DialogControl(dialog, id);
    if (!control) return FALSE;
    const std::string digits = isSigned ? std::to_string(int(value)) : std::to_string(value);
    control->dialog->SetText(control, std::u16string(digits.begin(), digits.end()));
    return TRUE;
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND control = DialogControl(dialog, id);
    UINT value = 0;
    if (!control || !ReadInteger(Narrow(control->text), isSigned != FALSE, value)) return 0;
    if (translated) *translated = TRUE;
    return value;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = DialogControl(dialog, id);
    if (!control) return FALSE;
    control->check = check;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND control = DialogControl(dialog, id);
    return control ? control->check : BST_UNCHECKED;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    if (!window || !window->dialog) return FALSE;
    std::u16string copy;
    for (LPCWSTR unit = text; unit && *unit; ++unit) copy += *unit;
    window->dialog->SetText(window, std::move(copy));
    return TRUE;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes) {
    if (!classes || classes->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    if (classes->dwICC & ICC_BAR_CLASSES) Desktop().trackbarClassRegistered = true;
    return TRUE;
}

HDC GetDC(HWND window) {
    auto& desktop = Desktop();
    desktop.devices.push_back(std::make_unique<HDC__>());
    desktop.devices.back()->window = window;
    ++desktop.devicesTaken;
    return desktop.devices.back().get();
}

int ReleaseDC(HWND window, HDC dc) {
    auto& devices = Desktop().devices;
    const auto found = std::find_if(devices.begin(), devices.end(), [dc](const auto& d) { return d.get() == dc; });
    if (found == devices.end() || (*found)->released || (*found)->window != window) return 0;
    (*found)->released = true;
    ++Desktop().devicesReleased;
    return 1;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!dc || dc->released) return 0;
    return index == LOGPIXELSY ? Desktop().logicalDpiY : 0;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    // Rounded half away from zero; a result that does not fit is -1.
    int64_t product = int64_t(number) * numerator;
    int64_t divisor = denominator;
    if (divisor < 0) product = -product, divisor = -divisor;
    const int64_t result = product >= 0 ? (product + divisor / 2) / divisor : -((divisor / 2 - product) / divisor);
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min()) return -1;
    return int(result);
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
    auto font = std::make_unique<HFONT__>();
    font->height = height;
    font->width = width;
    font->weight = weight;
    font->italic = italic != 0;
    font->underline = underline != 0;
    font->strikeOut = strikeOut != 0;
    font->charSet = charSet;
    font->face = face ? face : "";
    Desktop().fonts.push_back(std::move(font));
    return Desktop().fonts.back().get();
}

BOOL DeleteObject(HGDIOBJ object) {
    auto& desktop = Desktop();
    for (auto& font : desktop.fonts) {
        if (font.get() == object && !font->deleted) {
            font->deleted = true;
            return TRUE;
        }
    }
    ++desktop.failedFontDeletions;
    return FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int bytes, LPWSTR buffer, int units) {
    if (codePage != CP_UTF8 || !text || bytes == 0 || bytes < -1 || units < 0) return 0;
    const auto* at = reinterpret_cast<const unsigned char*>(text);
    // With -1 the text runs to its terminator, which is converted too.
    const auto* end = at + (bytes == -1 ? std::char_traits<char>::length(text) + 1 : size_t(bytes));
    int written = 0;
    auto put = [&](char16_t unit) {
        if (units != 0 && written < units) buffer[written] = unit;
        ++written;
    };
    while (at != end) {
        const char32_t code = DecodeUtf8(at, end);
        if (code >= 0x10000) {
            put(char16_t(0xD800 + ((code - 0x10000) >> 10)));
            put(char16_t(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            put(char16_t(code));
        }
    }
    // Too small a buffer fails, with what fitted left in it, unterminated.
    if (units != 0 && written > units) {
        Desktop().lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    return written;
}

DWORD GetLastError() { return Desktop().lastError; }

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show) {
    Desktop().shellOpens.push_back(
        {owner, verb ? verb : "", file ? file : "", parameters ? parameters : "", directory ? directory : "", show});
    // Above 32 means the shell took it.
    return reinterpret_cast<HINSTANCE>(uintptr_t(42));
}
