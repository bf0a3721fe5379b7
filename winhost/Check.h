// Checks for the Windows host scenarios. A failed check does not stop its
// scenario: one run under wine shows every mismatch at once, each with its
// place and both values. The dialog driver's thread checks too.
#pragma once

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace winhost {

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

// Printable values for the messages; bytes print as numbers, containers
// item by item, an empty optional as "none".
template <typename T>
std::string Show(const T& value) {
    std::ostringstream out;
    if constexpr (IsOptional<T>::value) {
        out << (value ? Show(*value) : std::string("none"));
    } else if constexpr (requires { out << value; }) {
        if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char> ||
                      std::is_same_v<T, unsigned char>)
            out << int(value);
        else
            out << value;
    } else if constexpr (requires {
                             value.begin();
                             value.size();
                         }) {
        out << "[" << value.size() << ":";
        for (const auto& item : value) out << " " << Show(item);
        out << "]";
    } else {
        out << "(value)";
    }
    return out.str();
}

// Counts and reports; safe to use from several threads.
void RecordCheck(bool passed, const char* file, int line, const std::string& what);
// Failed checks since the program started.
int FailedChecks();

// One scenario: a named function. Within a group they run in the order
// they are defined.
struct SScenario {
    std::string group;
    std::string name;
    std::function<void()> run;
};
std::vector<SScenario>& Scenarios();

struct CRegisterScenario {
    CRegisterScenario(const char* group, const char* name, void (*run)()) {
        Scenarios().push_back({group, name, run});
    }
};

}  // namespace winhost

#define WH_CHECK(condition) \
    ::winhost::RecordCheck(static_cast<bool>(condition), __FILE__, __LINE__, #condition)

// Fails with both values shown; evaluates each side once.
#define WH_CHECK_EQ(actual, expected)                                                     \
    do {                                                                                  \
        const auto& whActual = (actual);                                                  \
        const auto& whExpected = (expected);                                              \
        const bool whEqual = whActual == whExpected;                                      \
        ::winhost::RecordCheck(whEqual, __FILE__, __LINE__,                               \
                               whEqual ? std::string()                                    \
                                       : std::string(#actual " == " #expected ": got ") + \
                                             ::winhost::Show(whActual) + ", expected " +  \
                                             ::winhost::Show(whExpected));                \
    } while (0)

#define WH_SCENARIO_NAME2(line) whScenario##line
#define WH_SCENARIO_NAME(line) WH_SCENARIO_NAME2(line)
#define WH_SCENARIO(group, name)                                                                         \
    static void group##_##name();                                                                        \
    static const ::winhost::CRegisterScenario WH_SCENARIO_NAME(__LINE__)(#group, #name, group##_##name); \
    static void group##_##name()
