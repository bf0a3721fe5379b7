#include "ui/linux/HeadlessDialog.h"

#include <algorithm>
#include <utility>

namespace headless {

namespace {

std::u16string Widen(const char* ascii) {
    std::u16string text;
    for (const char* c = ascii; c && *c; ++c) text += char16_t(static_cast<unsigned char>(*c));
    return text;
}

}  // namespace

CDialogWindow::CDialogWindow(const SDialogTemplate& layout, DLGPROC procedure, HWND owner)
    : layout_(layout), procedure_(procedure), owner_(owner) {
    self_.dialog = this;
    self_.text = Widen(layout.caption);
    for (const SControlTemplate& control : layout.controls) {
        auto window = std::make_unique<HWND__>();
        window->dialog = this;
        window->id = control.id;
        window->kind = control.kind;
        window->digitsOnly = control.digitsOnly;
        window->text = Widen(control.text);
        controls_.push_back(std::move(window));
    }
}

HWND CDialogWindow::Control(int id) {
    for (auto& control : controls_)
        if (control->id == id) return control.get();
    return nullptr;
}

HWND CDialogWindow::FirstTabStop() {
    for (auto& control : controls_)
        if (control->kind != EControl::Static) return control.get();
    return nullptr;
}

INT_PTR CDialogWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure_(&self_, message, wParam, lParam);
}

void CDialogWindow::Notify(HWND control, WORD code) {
    Send(WM_COMMAND, MAKEWPARAM(WORD(control->id), code), reinterpret_cast<LPARAM>(control));
}

void CDialogWindow::Close() {
    if (Send(WM_CLOSE, 0, 0) == FALSE) Cancel();
}

void CDialogWindow::Escape() { Cancel(); }

void CDialogWindow::Cancel() {
    // Sent even when the dialog has no Cancel button, with no control then.
    Send(WM_COMMAND, MAKEWPARAM(WORD(IDCANCEL), BN_CLICKED), reinterpret_cast<LPARAM>(Control(IDCANCEL)));
}

void CDialogWindow::SetText(HWND window, std::u16string text) {
    window->text = std::move(text);
    if (window->kind == EControl::Edit) Notify(window, EN_CHANGE);
}

void CDialogWindow::MoveTrackbar(HWND trackbar, int position) {
    trackbar->position = std::clamp(position, trackbar->rangeMin, std::max(trackbar->rangeMin, trackbar->rangeMax));
}

LRESULT CDialogWindow::ControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT: control->font = reinterpret_cast<HFONT>(wParam); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(control->font);
        default: break;
    }
    if (control->kind != EControl::Trackbar) return 0;
    switch (message) {
        case TBM_GETPOS: return control->position;
        case TBM_GETRANGEMIN: return control->rangeMin;
        case TBM_GETRANGEMAX: return control->rangeMax;
        case TBM_SETPOS: MoveTrackbar(control, int(lParam)); return 0;
        case TBM_SETRANGE:
            control->rangeMin = int16_t(LOWORD(uintptr_t(lParam)));
            control->rangeMax = int16_t(HIWORD(uintptr_t(lParam)));
            // A new range brings its own default page, a fifth of it.
            control->pageSize = std::max(1, (control->rangeMax - control->rangeMin) / 5);
            MoveTrackbar(control, control->position);
            return 0;
        case TBM_GETPAGESIZE: return control->pageSize;
        case TBM_SETPAGESIZE: return std::exchange(control->pageSize, int(lParam));
        case TBM_GETLINESIZE: return control->lineSize;
        case TBM_SETLINESIZE: return std::exchange(control->lineSize, int(lParam));
        default: return 0;
    }
}

void CDialogWindow::End(INT_PTR result) {
    // As on Windows, the last call before the dialog goes away sets its result.
    ended_ = true;
    result_ = result;
}

}  // namespace headless
