// SPDX-License-Identifier: GPL-3.0-or-later

// Bad port names: TBComPort::Open on names that are no serial port. Each
// must fail with one of the port's messages and leave nothing open: the
// process's descriptors (number and targets) and its lock files are
// compared before and after each attempt.
//
// Usage: bench_portnames   (no options)

#include "BCPort.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <map>
#include <sys/file.h>

using namespace bench;

namespace {

// Descriptor number -> what it refers to.
std::map<int, std::string> openDescriptors()
{
    std::map<int, std::string> fds;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        fds[std::stoi(entry.path().filename().string())] = error ? "?" : target.string();
    }
    return fds;
}

bool knownMessage(const std::string& text)
{
    return text == ComPortMessages::NoSuchPort || text == ComPortMessages::PortInUse ||
           text == ComPortMessages::SetupCommFailed;
}

struct Attempt
{
    std::string message;  // empty: Open succeeded
    std::string leftOpen; // what is held after that was not before
};

std::string newEntries(const std::map<int, std::string>& before,
                       const std::map<int, std::string>& after)
{
    std::string added;
    for (const auto& [fd, target] : after) {
        const auto was = before.find(fd);
        if (was == before.end() || was->second != target)
            added += format("fd %d -> ", fd) + target + "; ";
    }
    return added;
}

Attempt tryOpen(const std::string& name)
{
    // The listing itself opens a descriptor while it runs; take both the
    // same way so that only a change by Open shows.
    const std::map<int, std::string> fdsBefore = openDescriptors();
    const std::vector<std::string> locksBefore = ownLockFiles();
    Attempt attempt;
    {
        TBComPort port;
        port.setPort(QString::fromStdString(name));
        try {
            if (port.Open())
                port.Close();
        } catch (const EComPort& e) {
            attempt.message = e.what();
        }
    }
    attempt.leftOpen = newEntries(fdsBefore, openDescriptors());
    for (const std::string& lock : ownLockFiles()) {
        if (std::find(locksBefore.begin(), locksBefore.end(), lock) == locksBefore.end())
            attempt.leftOpen += lock + "; ";
    }
    return attempt;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Results results("portnames");

    char pattern[] = "/tmp/quartzel-portnames-XXXXXX";
    if (!mkdtemp(pattern))
        fail("mkdtemp failed");
    const std::string directory = pattern;
    const std::string regularFile = directory + "/regular-file";
    std::ofstream(regularFile) << "not a port\n";
    // A real line that another program holds, locked as terminal programs
    // such as picocom lock theirs (an flock on their own descriptor).
    PtyPair pty;
    const int busy = ::open(slavePathOf(pty).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (busy < 0 || flock(busy, LOCK_EX | LOCK_NB) != 0)
        fail("cannot lock the pty");

    const std::vector<std::pair<std::string, std::string>> names{
        {"missing path", "/dev/ttyQuartzelMissing"},
        {"missing bare name", "ttyQuartzelMissing"},
        {"directory", directory},
        {"regular file", regularFile},
        {"/dev/null", "/dev/null"},
        {"empty name (nothing selected)", ""},
        {"5000-character name", std::string(5000, 'q')},
        {"\"../\" to a regular file", "../" + regularFile.substr(1)},
        {"\"../\" to a missing name", "../quartzelMissing"},
        {"pty locked by another program (flock)", slavePathOf(pty)},
    };
    for (const auto& [what, name] : names) {
        const Attempt attempt = tryOpen(name);
        const bool refused = !attempt.message.empty() && knownMessage(attempt.message);
        results.check(what, attempt.message.empty() ? "opened" : "\"" + attempt.message + "\"",
                      "a port message, nothing left open", refused && attempt.leftOpen.empty());
        if (!attempt.leftOpen.empty())
            results.figure(what + ": left open", attempt.leftOpen);
    }
    ::close(busy);
    std::filesystem::remove_all(directory);
    return results.exitCode();
}
