// The few Windows user-interface calls the dialog procedures make, for a
// build without Windows. Names, types, values and behaviour follow the real
// calls closely enough that the very same procedures run here headless: the
// dialogs live in memory (HeadlessDialog.h) and a scripted person answers
// them (DialogUser.h).
#pragma once

#include <cstdint>

struct HWND__;
struct HINSTANCE__;
struct HFONT__;
struct HDC__;

using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HFONT = HFONT__*;
using HDC = HDC__*;
using HGDIOBJ = void*;

using BOOL = int;
using UINT = unsigned int;
using WORD = uint16_t;
using DWORD = uint32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
// Windows text is UTF-16 whatever the compiler's wchar_t is.
using WCHAR = char16_t;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

#define CALLBACK
#define WINAPI

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr WORD LOWORD(uintptr_t value) { return WORD(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return WORD((value >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return WPARAM(DWORD(low) | (DWORD(high) << 16)); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return LPARAM(DWORD(low) | (DWORD(high) << 16)); }
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(uintptr_t(id)); }
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }

// Window messages.
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_USER = 0x0400;

// Standard command IDs.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Notifications carried in the high word of WM_COMMAND.
constexpr WORD BN_CLICKED = 0;
constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;
constexpr WORD EN_CHANGE = 0x0300;
constexpr WORD EN_UPDATE = 0x0400;

// Check boxes.
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;

// Trackbar messages and the scroll codes it sends with WM_HSCROLL.
constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

// Common controls registration.
constexpr DWORD ICC_BAR_CLASSES = 0x4;
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};

// GDI.
constexpr int LOGPIXELSY = 90;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD DEFAULT_QUALITY = 0;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr int FW_DONTCARE = 0;

// Text conversion and the shell.
constexpr UINT CP_UTF8 = 65001;
constexpr int SW_SHOW = 5;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM init);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);
int MulDiv(int number, int numerator, int denominator);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR face);
BOOL DeleteObject(HGDIOBJ object);

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int bytes, LPWSTR buffer, int units);
DWORD GetLastError();

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show);
