// What the dialog tests share: an environment variable set for a scope,
// so that no answer from the developer's own environment reaches a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace dialog_testing {

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

}  // namespace dialog_testing
