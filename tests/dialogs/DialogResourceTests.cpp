// The headless screen builds its dialogs from its own copy of the two
// templates; this holds that copy to the resource script Windows builds use.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "resources/PluginInfo.h"
#include "ui/linux/HeadlessTemplates.h"

namespace {

using headless::EControl;

const std::map<std::string, int> kIds = {
    {"IDOK", 1},
    {"IDCANCEL", 2},
    {"IDC_STATIC", -1},
    {"IDD_PARAMS", IDD_PARAMS},
    {"IDD_ABOUT", IDD_ABOUT},
    {"IDC_PAINT_WHITE", IDC_PAINT_WHITE},
    {"IDC_DEPTH_EDIT", IDC_DEPTH_EDIT},
    {"IDC_DEPTH_SLIDER", IDC_DEPTH_SLIDER},
    {"IDC_ABOUT_WEB", IDC_ABOUT_WEB},
    {"IDC_ABOUT_TITLE", IDC_ABOUT_TITLE},
    {"IDC_ABOUT_VERSION", IDC_ABOUT_VERSION},
    {"IDC_ABOUT_COPYRIGHT", IDC_ABOUT_COPYRIGHT},
};
const std::map<std::string, std::string> kTexts = {
    {"VANDREL_PRODUCT_NAME", VANDREL_PRODUCT_NAME},
    {"VANDREL_WEB_BUTTON", VANDREL_WEB_BUTTON},
};

struct SScriptControl {
    int id = 0;
    EControl kind = EControl::Static;
    std::string className;
    std::string text;
    bool digitsOnly = false;
    bool isDefault = false;
};

struct SScriptDialog {
    std::string caption;
    std::vector<SScriptControl> controls;
};

// The arguments of one statement, split at the commas outside quotes.
std::vector<std::string> Arguments(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    for (std::string& argument : out) {
        argument.erase(0, argument.find_first_not_of(" \t"));
        argument.erase(argument.find_last_not_of(" \t\r") + 1);
    }
    return out;
}

std::string Text(const std::string& token) {
    if (token.size() >= 2 && token.front() == '"') return token.substr(1, token.size() - 2);
    const auto found = kTexts.find(token);
    return found == kTexts.end() ? "?" + token : found->second;
}

int Id(const std::string& token) {
    const auto found = kIds.find(token);
    return found == kIds.end() ? -9999 : found->second;
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The dialog `name` of the script, read statement by statement.
SScriptDialog ReadDialog(const std::string& script, const std::string& name) {
    SScriptDialog dialog;
    std::istringstream lines(script);
    std::string line;
    bool inside = false;
    bool body = false;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        std::string rest;
        std::getline(words, rest);
        if (!inside) {
            inside = first == name && rest.find("DIALOGEX") != std::string::npos;
            continue;
        }
        if (first == "CAPTION") dialog.caption = Text(Arguments(rest)[0]);
        if (first == "BEGIN") body = true;
        if (first == "END") break;
        if (!body) continue;
        const std::vector<std::string> args = Arguments(rest);
        SScriptControl control;
        if (first == "DEFPUSHBUTTON" || first == "PUSHBUTTON") {
            control = {Id(args[1]), EControl::Button, "button", Text(args[0]), false, first == "DEFPUSHBUTTON"};
        } else if (first == "LTEXT") {
            control = {Id(args[1]), EControl::Static, "static", Text(args[0])};
        } else if (first == "EDITTEXT") {
            control = {Id(args[0]), EControl::Edit, "edit", "", rest.find("ES_NUMBER") != std::string::npos};
        } else if (first == "CONTROL") {
            control = {Id(args[1]), EControl::Static, Lower(Text(args[2])), Text(args[0])};
            if (control.className == "button" && args[3].find("BS_AUTOCHECKBOX") != std::string::npos)
                control.kind = EControl::CheckBox;
            if (control.className == "msctls_trackbar32") control.kind = EControl::Trackbar;
        } else {
            continue;
        }
        dialog.controls.push_back(control);
    }
    return dialog;
}

TEST(DialogResources, TheHeadlessTemplatesAreTheResourceScripts) {
    const auto path = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" /
                      "Dialogs.rc";
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::ostringstream script;
    script << in.rdbuf();

    for (const char* name : {"IDD_PARAMS", "IDD_ABOUT"}) {
        SCOPED_TRACE(name);
        const headless::SDialogTemplate* layout = headless::FindDialogTemplate(Id(name));
        ASSERT_NE(layout, nullptr);
        const SScriptDialog dialog = ReadDialog(script.str(), name);
        EXPECT_EQ(dialog.caption, layout->caption);
        ASSERT_EQ(dialog.controls.size(), layout->controls.size());
        for (size_t i = 0; i < dialog.controls.size(); ++i) {
            SCOPED_TRACE(i);
            const SScriptControl& expected = dialog.controls[i];
            const headless::SControlTemplate& control = layout->controls[i];
            EXPECT_EQ(control.id, expected.id);
            EXPECT_EQ(control.kind, expected.kind);
            EXPECT_EQ(Lower(control.className), expected.className);
            EXPECT_EQ(control.text, expected.text);
            EXPECT_EQ(control.digitsOnly, expected.digitsOnly);
            EXPECT_EQ(control.isDefault, expected.isDefault);
        }
    }
}

}  // namespace
