// A person at the screen for the dialog scenarios. While the host's thread
// sits in the plug-in's modal dialog loop, a thread of their own finds the
// dialog and works its controls with the messages the controls get from
// the mouse and the keyboard.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace winhost {

class CScreenUser {
public:
    explicit CScreenUser(HWND dialog) : dialog_(dialog) {}

    HWND Dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    bool IsOpen() const { return IsWindow(dialog_) != FALSE; }
    std::string Text(int id) const;
    std::wstring Text16(int id) const;
    bool Checked(int id) const;
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // Typing into a field: the characters reach the control one by one, as
    // the keyboard delivers them. SelectAll first to replace what it holds.
    void SelectAll(int id) const;
    void Type(int id, const std::string& characters) const;
    // A click on a button or check box.
    void Click(int id) const;
    // A key the control itself handles (arrows, Home, End on a slider).
    void ControlKey(int id, UINT virtualKey) const;
    // A key for the dialog manager (Enter, Escape) pressed while control
    // `id` has the focus; waits until the dialog has taken it.
    void DialogKey(int id, UINT virtualKey) const;
    // Dragging the slider's thumb to `position`: the control moves, then
    // tells the dialog where the thumb is while it is held.
    void DragThumb(int sliderId, int position) const;

    // Waits until the dialog has gone; false when it is still open after
    // `milliseconds`.
    bool WaitClosed(int milliseconds) const;
    // Saves the dialog as the screen shows it to `name`.bmp in the shots
    // folder, when there is one.
    void Screenshot(const std::string& name) const;

private:
    HWND dialog_;
};

// Plays `person` on the first dialog of this process captioned `caption`
// to appear within a few seconds. The destructor waits for the person; a
// dialog they leave open is a failure, and is cancelled so the host's
// thread can go on.
class CDialogDriver {
public:
    CDialogDriver(const char* caption, std::function<void(CScreenUser&)> person);
    ~CDialogDriver();
    CDialogDriver(const CDialogDriver&) = delete;
    CDialogDriver& operator=(const CDialogDriver&) = delete;

private:
    void Run(std::string caption, std::function<void(CScreenUser&)> person);
    std::thread thread_;
};

// Writes the pixels the screen shows in `window`'s rectangle as a 24-bit BMP.
bool SaveWindowPicture(HWND window, const std::string& path);

}  // namespace winhost
