// A person at an open headless dialog: reads what it shows and acts on it
// the way a user of the real dialog does, through its controls, so the
// dialog procedure sees the very messages Windows would send it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/linux/HeadlessDesktop.h"
#include "ui/linux/HeadlessDialog.h"

namespace headless {

enum class ESliderKey { Left, Right, Up, Down, PageUp, PageDown, Home, End };

class CDialogUser {
public:
    explicit CDialogUser(CDialogWindow& dialog) : dialog_(dialog) {}

    // What the dialog shows.
    bool IsOpen() const { return !dialog_.Ended(); }
    int TemplateId() const { return dialog_.TemplateId(); }
    HWND Handle() { return dialog_.Handle(); }
    HWND Control(int id) { return dialog_.Control(id); }
    std::u16string Text16(int id);
    std::string Text(int id);  // as UTF-8
    bool IsChecked(int id);
    int SliderPosition(int id);
    HFONT FontOf(int id);

    // Typing at the end of an edit field, one key at a time; each accepted
    // key changes the text and notifies the dialog. A field for digits only
    // refuses other keys, as the real one does. Selected text is replaced.
    void Type(int id, std::string_view keys);
    void SelectAll(int id);
    void Backspace(int id);
    // Select everything and delete it.
    void ClearField(int id);
    // Select everything and type over it.
    void Retype(int id, std::string_view keys);

    // Dragging the slider's thumb through the given positions and letting
    // go; `whileDragging`, when given, looks at the dialog after each step.
    void DragSlider(int id, const std::vector<int>& path, const std::function<void()>& whileDragging = {});
    // A key pressed and released while the slider has the focus.
    void PressSliderKey(int id, ESliderKey key);

    // A mouse click on a button; an automatic check box toggles itself first.
    void Click(int id);
    void PressEnter();   // the default button
    void PressEscape();  // Cancel, with or without a Cancel button
    void ClickCloseBox();
    // A raw WM_COMMAND, for what no control sends on its own.
    void SendCommand(WPARAM wParam, LPARAM lParam = 0);

private:
    void Scroll(HWND slider, WORD code, int position);

    CDialogWindow& dialog_;
    std::optional<int> selectAllIn_;  // the field whose whole text is selected
};

// UTF-16 to UTF-8, unpaired surrogates as U+FFFD.
std::string ToUtf8(std::u16string_view text);

}  // namespace headless
