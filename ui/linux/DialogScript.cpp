#include "ui/linux/DialogScript.h"

#include <charconv>
#include <cstdlib>

#include "resources/PluginInfo.h"

namespace headless {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool ParseNumber(std::string_view text, int& value) {
    text = Trim(text);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

SDialogScript Invalid(std::string error) {
    SDialogScript script;
    script.valid = false;
    script.error = std::move(error);
    return script;
}

}  // namespace

SDialogScript ParseDialogScript(std::string_view text) {
    using EKind = SDialogAction::EKind;
    SDialogScript script;
    while (!text.empty()) {
        const size_t split = text.find(';');
        const std::string_view word = Trim(text.substr(0, split));
        text = split == std::string_view::npos ? std::string_view() : text.substr(split + 1);
        if (word.empty()) continue;

        const size_t equals = word.find('=');
        const std::string_view name = Trim(word.substr(0, equals));
        if (equals != std::string_view::npos) {
            int value = 0;
            if (!ParseNumber(word.substr(equals + 1), value)) return Invalid("not a number in '" + std::string(word) + "'");
            if (name == "depth" && value >= 0)
                script.actions.push_back({EKind::Depth, value});
            else if (name == "slider")
                script.actions.push_back({EKind::Slider, value});
            else if (name == "white" && (value == 0 || value == 1))
                script.actions.push_back({EKind::White, value});
            else
                return Invalid("unknown setting '" + std::string(word) + "'");
        } else if (name == "ok") {
            script.actions.push_back({EKind::Ok});
        } else if (name == "cancel") {
            script.actions.push_back({EKind::Cancel});
        } else if (name == "escape") {
            script.actions.push_back({EKind::Escape});
        } else if (name == "close") {
            script.actions.push_back({EKind::Close});
        } else if (name == "web") {
            script.actions.push_back({EKind::Web});
        } else if (name == "fail") {
            script.failCreation = true;
        } else {
            return Invalid("unknown action '" + std::string(word) + "'");
        }
    }
    return script;
}

void PlayDialogScript(const SDialogScript& script, CDialogUser& user) {
    using EKind = SDialogAction::EKind;
    const bool params = user.TemplateId() == IDD_PARAMS;
    const bool about = user.TemplateId() == IDD_ABOUT;
    for (const SDialogAction& action : script.actions) {
        if (!user.IsOpen()) return;
        switch (action.kind) {
            case EKind::Depth:
                if (params) user.Retype(IDC_DEPTH_EDIT, std::to_string(action.value));
                break;
            case EKind::Slider:
                if (params) user.DragSlider(IDC_DEPTH_SLIDER, {action.value});
                break;
            case EKind::White:
                if (params && user.IsChecked(IDC_PAINT_WHITE) != (action.value == 1)) user.Click(IDC_PAINT_WHITE);
                break;
            case EKind::Web:
                if (about) user.Click(IDC_ABOUT_WEB);
                break;
            case EKind::Ok: user.PressEnter(); break;
            case EKind::Cancel:
                // The About box has no Cancel button; Escape is its cancel.
                if (user.Control(IDCANCEL))
                    user.Click(IDCANCEL);
                else
                    user.PressEscape();
                break;
            case EKind::Escape: user.PressEscape(); break;
            case EKind::Close: user.ClickCloseBox(); break;
        }
    }
    if (user.IsOpen()) user.PressEnter();
}

SDialogScript DialogScriptFromEnvironment() {
    const char* text = std::getenv(kDialogScriptVariable);
    return ParseDialogScript(text ? text : "");
}

}  // namespace headless
