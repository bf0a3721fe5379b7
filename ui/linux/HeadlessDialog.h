// A modal dialog of the headless window system: the dialog window, its
// controls built from a template, and the behaviour of each kind of control
// that the dialog procedures rely on (an edit field notifies its dialog when
// its text is set, a trackbar holds its position within its range, an
// automatic check box toggles itself).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/linux/HeadlessTemplates.h"
#include "ui/linux/Win32StandIn.h"

namespace headless {
class CDialogWindow;
}

// A window: the dialog itself or one of its controls.
struct HWND__ {
    headless::CDialogWindow* dialog = nullptr;
    int id = 0;
    headless::EControl kind = headless::EControl::Dialog;
    bool digitsOnly = false;
    std::u16string text;
    UINT check = BST_UNCHECKED;
    // A new trackbar's range, page size and position, as the real control starts.
    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
    int lineSize = 1;
    int pageSize = 20;
    HFONT font = nullptr;
};

namespace headless {

class CDialogWindow {
public:
    CDialogWindow(const SDialogTemplate& layout, DLGPROC procedure, HWND owner);
    CDialogWindow(const CDialogWindow&) = delete;
    CDialogWindow& operator=(const CDialogWindow&) = delete;

    HWND Handle() { return &self_; }
    HWND Owner() const { return owner_; }
    int TemplateId() const { return layout_.id; }
    // The first control of that ID, or null.
    HWND Control(int id);
    // The control that takes the focus when the dialog opens.
    HWND FirstTabStop();

    // A message to the dialog procedure.
    INT_PTR Send(UINT message, WPARAM wParam, LPARAM lParam);
    // A control telling its dialog what happened to it.
    void Notify(HWND control, WORD code);
    // What the dialog manager does with the close box and the Escape key
    // when the procedure leaves them to it: the Cancel command.
    void Close();
    void Escape();

    // Sets a window's text; an edit field tells the dialog, as the real one does.
    void SetText(HWND window, std::u16string text);
    // A message to one of the controls.
    LRESULT ControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
    // Moves a trackbar the way the control itself does: within its range.
    static void MoveTrackbar(HWND trackbar, int position);

    void End(INT_PTR result);
    bool Ended() const { return ended_; }
    INT_PTR Result() const { return result_; }

private:
    void Cancel();

    const SDialogTemplate& layout_;
    DLGPROC procedure_;
    HWND owner_;
    HWND__ self_;
    std::vector<std::unique_ptr<HWND__>> controls_;
    bool ended_ = false;
    INT_PTR result_ = 0;
};

}  // namespace headless
