// What the dialog tests share: a filter object as the dialogs find it during
// a host call, the headless screen reset to a fresh process, and a person
// playing the user.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"
#include "resources/PluginInfo.h"
#include "ui/linux/DialogScript.h"
#include "ui/linux/DialogUser.h"
#include "ui/linux/HeadlessDesktop.h"

namespace dialog_testing {

using headless::CDialogUser;
using headless::Desktop;

// Sets (or, with null, removes) an environment variable for a scope.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        Set(value);
    }
    ~CScopedEnv() { Set(previous_ ? previous_->c_str() : nullptr); }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    void Set(const char* value) {
        if (value)
            setenv(name_.c_str(), value, 1);
        else
            unsetenv(name_.c_str());
    }
    std::string name_;
    std::optional<std::string> previous_;
};

class DialogTest : public ::testing::Test {
protected:
    DialogTest() {
        Desktop().Reset();
        filter.filterRecord = &record;
        filter.aboutRecord = &about;
        record.platformData = &platform;
        about.platformData = &platform;
        gFilter = &filter;
    }
    ~DialogTest() override {
        gFilter = nullptr;
        Desktop().Reset();
    }

    // Runs the parameters dialog with `person` at the screen.
    bool RunParams(const headless::DialogUser& person) {
        headless::CScopedUser user(person);
        return filter.RunParamsDialog();
    }
    int ShowAbout(const headless::DialogUser& person) {
        headless::CScopedUser user(person);
        return filter.ShowAboutBox();
    }

    // No script from the developer's own environment reaches the tests.
    CScopedEnv noScript{headless::kDialogScriptVariable, nullptr};
    CVandrelFilter filter;
    FilterRecord record{};
    AboutRecord about{};
    PlatformData platform{};
};

}  // namespace dialog_testing
