// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A small test runner for the Windows backend's tests, which run under wine
// without Qt. A case is a function; CHECK records a failure and goes on,
// REQUIRE ends the case. A table row names itself with a wintest::Row, so
// that a failure says which row it was. A case that checked nothing fails, and the
// program's exit code is not 0 when any case failed.

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace wintest {

struct Case
{
    const char* name;
    void (*run)();
};

// Runs the cases named on the command line (all without names); prints each
// outcome and a summary. Returns the program's exit code.
int runCases(const std::vector<Case>& cases, int argc, char** argv);

void checkPassed();
void checkFailed(const char* file, int line, const std::string& what);
// Ends the current case as not shown, with the reason: for what this system
// cannot show (a case that checked something before still counts it).
[[noreturn]] void skipCase(const std::string& reason);
// Says that a part of the case is not shown here, and why; the case goes on.
void notShown(const std::string& what);

struct CaseEnded
{
};

// Names the table row that the checks below it belong to, until it goes.
class Row
{
public:
    explicit Row(std::string name);
    ~Row();
    Row(const Row&) = delete;
    Row& operator=(const Row&) = delete;
};

// Bytes as a C string literal would show them, so that a zero or a control
// byte in a mismatch is visible; a long text only in part, with its size.
std::string quoted(std::string_view bytes);
// Where two texts that differ part, and what each holds from there.
std::string parting(std::string_view actual, std::string_view expected);

template <typename T> std::string shown(const T& value)
{
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
        return quoted(value);
    } else if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<long long>(value));
    } else {
        std::ostringstream text;
        text << value;
        return text.str();
    }
}

template <typename A, typename B>
void checkEqual(const char* file, int line, const char* actualText, const char* expectedText,
                const A& actual, const B& expected)
{
    if (actual == expected) {
        checkPassed();
        return;
    }
    std::string message = std::string(actualText) + " == " + expectedText +
                          "\n      actual:   " + shown(actual) +
                          "\n      expected: " + shown(expected);
    if constexpr (std::is_same_v<A, std::string> && std::is_same_v<B, std::string>)
        message += parting(actual, expected);
    checkFailed(file, line, message);
}

} // namespace wintest

#define CHECK(condition)                                                                           \
    ((condition) ? wintest::checkPassed() : wintest::checkFailed(__FILE__, __LINE__, #condition))

#define CHECK_EQ(actual, expected)                                                                 \
    wintest::checkEqual(__FILE__, __LINE__, #actual, #expected, (actual), (expected))

#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            wintest::checkFailed(__FILE__, __LINE__, #condition);                                  \
            throw wintest::CaseEnded{};                                                            \
        }                                                                                          \
        wintest::checkPassed();                                                                    \
    } while (false)
