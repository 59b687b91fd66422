// SPDX-License-Identifier: GPL-3.0-or-later

#include "WinTest.h"

#include <cstdio>
#include <exception>
#include <string>

namespace wintest {

namespace {

struct CaseSkipped
{
    std::string reason;
};

// The state of the case that runs; the cases run one after the other.
int checks = 0;
int failures = 0;
int partsNotShown = 0; // over the whole run
std::vector<std::string> rows;

void report(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

bool wanted(const char* name, int argc, char** argv)
{
    if (argc <= 1)
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == name)
            return true;
    }
    return false;
}

enum class Outcome { Passed, Failed, Skipped };

// Runs one case and prints its outcome line.
Outcome runOne(const Case& testCase)
{
    checks = 0;
    failures = 0;
    rows.clear();
    std::string skipped;
    try {
        testCase.run();
    } catch (const CaseEnded&) {
    } catch (const CaseSkipped& skip) {
        skipped = skip.reason;
    } catch (const std::exception& error) {
        checkFailed("(exception)", 0, std::string("uncaught exception: ") + error.what());
    } catch (...) {
        checkFailed("(exception)", 0, "uncaught exception");
    }
    if (checks == 0 && failures == 0 && skipped.empty())
        checkFailed("(case)", 0, "the case checked nothing");
    const Outcome outcome = failures > 0                      ? Outcome::Failed
                            : !skipped.empty() && checks == 0 ? Outcome::Skipped
                                                              : Outcome::Passed;
    const char* const label[] = {"PASS  ", "FAIL  ", "SKIP  "};
    const std::string line = label[static_cast<int>(outcome)] + std::string(testCase.name) + " (" +
                             std::to_string(checks) + " checks" +
                             (skipped.empty() ? "" : "; not shown: " + skipped) + ")\n";
    report(line.c_str());
    return outcome;
}

} // namespace

void checkPassed()
{
    ++checks;
}

void checkFailed(const char* file, int line, const std::string& what)
{
    ++failures;
    std::string where = std::string("  failed at ") + file + ":" + std::to_string(line);
    for (const std::string& row : rows)
        where += " [" + row + "]";
    report((where + "\n    " + what + "\n").c_str());
}

void skipCase(const std::string& reason)
{
    throw CaseSkipped{reason};
}

void notShown(const std::string& what)
{
    ++partsNotShown;
    std::string line = "  not shown";
    for (const std::string& row : rows)
        line += " [" + row + "]";
    report((line + ": " + what + "\n").c_str());
}

Row::Row(std::string name)
{
    rows.push_back(std::move(name));
}

Row::~Row()
{
    rows.pop_back();
}

std::string quoted(std::string_view bytes)
{
    // Enough to see where two texts part; the count tells the rest.
    constexpr std::size_t shownBytes = 96;
    std::string text = "\"";
    for (const char c : bytes.substr(0, shownBytes)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
            text += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        text += escaped;
    }
    text += '"';
    if (bytes.size() > shownBytes)
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

std::string parting(std::string_view actual, std::string_view expected)
{
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return "\n      from byte " + std::to_string(at) + ": " + quoted(actual.substr(at, 16)) +
           " where " + quoted(expected.substr(at, 16)) + " was expected";
}

int runCases(const std::vector<Case>& cases, int argc, char** argv)
{
    int ran = 0;
    int counts[3] = {};
    for (const Case& testCase : cases) {
        if (!wanted(testCase.name, argc, argv))
            continue;
        ++ran;
        ++counts[static_cast<int>(runOne(testCase))];
    }
    const int failed = counts[static_cast<int>(Outcome::Failed)];
    const std::string summary = "Totals: " + std::to_string(ran) + " cases, " +
                                std::to_string(counts[static_cast<int>(Outcome::Passed)]) +
                                " passed, " + std::to_string(failed) + " failed, " +
                                std::to_string(counts[static_cast<int>(Outcome::Skipped)]) +
                                " skipped; " + std::to_string(partsNotShown) +
                                " parts not shown here\n";
    report(summary.c_str());
    if (ran == 0) {
        report("No case ran: the names given match none.\n");
        return 2;
    }
    return failed == 0 ? 0 : 1;
}

} // namespace wintest
