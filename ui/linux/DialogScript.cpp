#include "ui/linux/DialogScript.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "ui/AutoFlatsDialogLogic.h"
#include "ui/ParamsDialogLogic.h"

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

// Whether the dialog opens at all; an unreadable script says why.
bool Opens(const SDialogScript& script) {
    if (!script.valid) std::fprintf(stderr, "%s: %s\n", kDialogScriptVariable, script.error.c_str());
    return script.valid && !script.failCreation;
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
            if (!ParseNumber(word.substr(equals + 1), value))
                return Invalid("not a number in '" + std::string(word) + "'");
            if (name == "depth" && value >= 0)
                script.actions.push_back({EKind::Depth, value});
            else if (name == "slider")
                script.actions.push_back({EKind::Slider, value});
            else if (name == "white" && (value == 0 || value == 1))
                script.actions.push_back({EKind::White, value});
            else if (name == "gap" && value >= 0)
                script.actions.push_back({EKind::Gap, value});
            else if (name == "region" && value >= 0)
                script.actions.push_back({EKind::MinRegion, value});
            else if (name == "spots" && (value == 0 || value == 1))
                script.actions.push_back({EKind::SpotBlacks, value});
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

SDialogScript DialogScriptFromEnvironment() {
    const char* text = std::getenv(kDialogScriptVariable);
    return ParseDialogScript(text ? text : "");
}

int AnswerParamsDialog(const SDialogScript& script, CVandrelParams& record) {
    using EKind = SDialogAction::EKind;
    if (!Opens(script)) return kDialogFailed;
    SParamsDialogState shown = OpenParamsDialog(record);
    for (const SDialogAction& action : script.actions) {
        switch (action.kind) {
            case EKind::Depth:
                TypeDepth(shown, unsigned(action.value));
                break;
            case EKind::Slider:
                MoveSlider(shown, action.value);
                break;
            case EKind::White:
                shown.paintWhite = action.value == 1;
                break;
            case EKind::Gap:
            case EKind::MinRegion:
            case EKind::SpotBlacks:
            case EKind::Web:
                break;
            case EKind::Ok:
                ConfirmParams(record, shown.paintWhite, unsigned(shown.depth));
                return kDialogOk;
            case EKind::Cancel:
            case EKind::Escape:
            case EKind::Close:
                return kDialogCancel;
        }
    }
    ConfirmParams(record, shown.paintWhite, unsigned(shown.depth));
    return kDialogOk;
}

int AnswerAutoFlatsDialog(const SDialogScript& script, CAutoFlatsParams& record) {
    using EKind = SDialogAction::EKind;
    if (!Opens(script)) return kDialogFailed;
    SAutoFlatsDialogState shown = OpenAutoFlatsDialog(record);
    for (const SDialogAction& action : script.actions) {
        switch (action.kind) {
            case EKind::Gap:
                shown.gap = CheckGapEntry(unsigned(action.value));
                break;
            case EKind::MinRegion:
                shown.minRegion = CheckMinRegionEntry(unsigned(action.value));
                break;
            case EKind::SpotBlacks:
                shown.spotBlacksRegions = action.value == 1;
                break;
            case EKind::Depth:
            case EKind::Slider:
            case EKind::White:
            case EKind::Web:
                break;
            case EKind::Ok:
                ConfirmAutoFlatsParams(record, shown);
                return kDialogOk;
            case EKind::Cancel:
            case EKind::Escape:
            case EKind::Close:
                return kDialogCancel;
        }
    }
    ConfirmAutoFlatsParams(record, shown);
    return kDialogOk;
}

int AnswerAboutBox(const SDialogScript& script) {
    using EKind = SDialogAction::EKind;
    if (!Opens(script)) return kDialogFailed;
    for (const SDialogAction& action : script.actions) {
        // The box has no Cancel button: Escape and the close box are its
        // cancel. Everything else leaves it open.
        if (action.kind == EKind::Ok) return kDialogOk;
        if (action.kind == EKind::Cancel || action.kind == EKind::Escape || action.kind == EKind::Close)
            return kDialogCancel;
    }
    return kDialogOk;
}

}  // namespace headless
