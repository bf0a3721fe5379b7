#include "ui/linux/DialogUser.h"

#include <cctype>

namespace headless {

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::u16string CDialogUser::Text16(int id) {
    HWND control = Control(id);
    return control ? control->text : std::u16string();
}

std::string CDialogUser::Text(int id) { return ToUtf8(Text16(id)); }

bool CDialogUser::IsChecked(int id) {
    HWND control = Control(id);
    return control && control->check == BST_CHECKED;
}

int CDialogUser::SliderPosition(int id) {
    HWND control = Control(id);
    return control ? control->position : 0;
}

HFONT CDialogUser::FontOf(int id) {
    HWND control = Control(id);
    return control ? control->font : nullptr;
}

void CDialogUser::Type(int id, std::string_view keys) {
    for (char key : keys) {
        HWND field = Control(id);
        if (!IsOpen() || !field || field->kind != EControl::Edit) return;
        if (field->digitsOnly && !std::isdigit(static_cast<unsigned char>(key))) continue;
        std::u16string text = selectAllIn_ == id ? std::u16string() : field->text;
        selectAllIn_.reset();
        text += char16_t(static_cast<unsigned char>(key));
        dialog_.SetText(field, std::move(text));
    }
}

void CDialogUser::SelectAll(int id) { selectAllIn_ = id; }

void CDialogUser::Backspace(int id) {
    HWND field = Control(id);
    if (!IsOpen() || !field || field->kind != EControl::Edit) return;
    std::u16string text = field->text;
    if (selectAllIn_ == id)
        text.clear();
    else if (!text.empty())
        text.pop_back();
    selectAllIn_.reset();
    if (text != field->text) dialog_.SetText(field, std::move(text));
}

void CDialogUser::ClearField(int id) {
    SelectAll(id);
    Backspace(id);
}

void CDialogUser::Retype(int id, std::string_view keys) {
    SelectAll(id);
    Type(id, keys);
}

void CDialogUser::Scroll(HWND slider, WORD code, int position) {
    dialog_.Send(WM_HSCROLL, MAKEWPARAM(code, WORD(position)), reinterpret_cast<LPARAM>(slider));
}

void CDialogUser::DragSlider(int id, const std::vector<int>& path, const std::function<void()>& whileDragging) {
    HWND slider = Control(id);
    if (!IsOpen() || !slider || slider->kind != EControl::Trackbar) return;
    for (int position : path) {
        CDialogWindow::MoveTrackbar(slider, position);
        Scroll(slider, TB_THUMBTRACK, slider->position);
        if (whileDragging) whileDragging();
    }
    Scroll(slider, TB_THUMBPOSITION, slider->position);
    Scroll(slider, TB_ENDTRACK, 0);
}

void CDialogUser::PressSliderKey(int id, ESliderKey key) {
    HWND slider = Control(id);
    if (!IsOpen() || !slider || slider->kind != EControl::Trackbar) return;
    // The control moves first, then tells the dialog how; a key that cannot
    // move it any further sends nothing but the end of the move.
    int target = slider->position;
    WORD code = TB_ENDTRACK;
    switch (key) {
        case ESliderKey::Left:
        case ESliderKey::Up: target -= slider->lineSize, code = TB_LINEUP; break;
        case ESliderKey::Right:
        case ESliderKey::Down: target += slider->lineSize, code = TB_LINEDOWN; break;
        case ESliderKey::PageUp: target -= slider->pageSize, code = TB_PAGEUP; break;
        case ESliderKey::PageDown: target += slider->pageSize, code = TB_PAGEDOWN; break;
        case ESliderKey::Home: target = slider->rangeMin, code = TB_TOP; break;
        case ESliderKey::End: target = slider->rangeMax, code = TB_BOTTOM; break;
    }
    const int before = slider->position;
    CDialogWindow::MoveTrackbar(slider, target);
    if (slider->position != before) Scroll(slider, code, 0);
    if (IsOpen()) Scroll(slider, TB_ENDTRACK, 0);
}

void CDialogUser::Click(int id) {
    HWND control = Control(id);
    if (!IsOpen() || !control) return;
    if (control->kind == EControl::CheckBox) control->check = control->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (control->kind == EControl::Button || control->kind == EControl::CheckBox) dialog_.Notify(control, BN_CLICKED);
}

void CDialogUser::PressEnter() {
    if (IsOpen()) Click(IDOK);
}

void CDialogUser::PressEscape() {
    if (IsOpen()) dialog_.Escape();
}

void CDialogUser::ClickCloseBox() {
    if (IsOpen()) dialog_.Close();
}

void CDialogUser::SendCommand(WPARAM wParam, LPARAM lParam) {
    if (IsOpen()) dialog_.Send(WM_COMMAND, wParam, lParam);
}

}  // namespace headless
