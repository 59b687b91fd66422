// SPDX-License-Identifier: GPL-3.0-or-later

#include "SerialLock_linux.h"

#include "Fd_linux.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace serial::detail {

namespace {

using namespace std::chrono_literals;

// How long a lock without a process id counts as live: some programs create
// the file with O_EXCL first and write their id into it a moment later.
constexpr auto unnamedLockGrace = 5s;

// Each further attempt means that another program changed the lock between
// our look and our move; after a few the port counts as busy.
constexpr int attempts = 3;

// The lock files this process holds, so that a lock with our own id in it can
// be told from one we left behind. The mutex makes each acquire() and release
// one step for the other threads of this process.
struct HeldLocks
{
    std::mutex mutex;
    std::set<std::string> paths;
};

HeldLocks& heldLocks()
{
    static HeldLocks held;
    return held;
}

std::string resolvedPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

// The id in an HDB lock ("%10d\n"); some programs write it without padding.
// Anything else names no process.
std::optional<pid_t> lockedProcess(std::string_view text)
{
    constexpr std::string_view blanks = " \t\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(blanks) + 1 - first);
    pid_t pid = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (problem != std::errc() || end != text.data() + text.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

// A lock written in the future also counts as recent: a lock we cannot date
// is left alone rather than taken.
bool recentlyWritten(const struct stat& info)
{
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) +
            std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
    return std::chrono::system_clock::now() - written < unnamedLockGrace;
}

// Stale is only a lock of a process that has gone, one with our own id on a
// port this process does not hold (left behind, or a recycled id), and one that
// has named nobody for longer than the grace time. The caller holds the mutex.
bool liveLock(const std::string& path, int file, const struct stat& info)
{
    char text[32];
    const ssize_t length = pread(file, text, sizeof text, 0);
    const auto pid = lockedProcess({text, length > 0 ? std::size_t(length) : 0});
    if (!pid)
        return recentlyWritten(info);
    if (*pid == getpid())
        return heldLocks().paths.contains(path);
    // EPERM: the process exists but belongs to someone else.
    return kill(*pid, 0) == 0 || errno != ESRCH;
}

enum class Found { Nothing, Live, Stale };

struct Inspection
{
    Found found = Found::Live;
    Fd file; // open on a stale lock, for its flock
};

// O_NOFOLLOW and O_NONBLOCK: a symlink is never followed and a FIFO never
// waits for a writer. Whatever is not a regular file we can read belongs to
// someone else and counts as live, so it is never replaced or removed. A name
// too long to be a file holds no lock: the device's own open then tells why.
Inspection inspect(const std::string& path)
{
    Inspection lock;
    lock.file = Fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!lock.file.valid()) {
        const bool noFile = errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG;
        lock.found = noFile ? Found::Nothing : Found::Live;
        return lock;
    }
    struct stat info = {};
    if (fstat(lock.file.get(), &info) == 0 && S_ISREG(info.st_mode) &&
        !liveLock(path, lock.file.get(), info))
        lock.found = Found::Stale;
    return lock;
}

// Whether `path` leads to the open `file`. Only a file held open keeps its
// inode number: a deleted one's number may go to the next new file at once.
bool namesFile(const std::string& path, const Fd& file)
{
    struct stat named = {};
    struct stat opened = {};
    return lstat(path.c_str(), &named) == 0 && fstat(file.get(), &opened) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Our lock, complete, under a hidden temporary name beside the real one: it
// appears under the real name in one step (link or rename) and so is never
// seen empty or half written.
class PidFile
{
public:
    explicit PidFile(const std::string& lockFile)
    {
        const std::size_t nameStart = lockFile.rfind('/') + 1;
        std::string path =
            lockFile.substr(0, nameStart) + '.' + lockFile.substr(nameStart) + ".XXXXXX";
        m_file = Fd(mkostemp(path.data(), O_CLOEXEC));
        if (!m_file.valid())
            return;
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
        // Readable by all whatever the umask: other programs read the id.
        if (fchmod(m_file.get(), 0644) == 0 &&
            write(m_file.get(), text, static_cast<std::size_t>(length)) == length)
            m_path = std::move(path);
        else
            unlink(path.c_str());
    }
    PidFile(const PidFile&) = delete;
    PidFile& operator=(const PidFile&) = delete;
    ~PidFile()
    {
        if (!m_path.empty())
            unlink(m_path.c_str());
    }

    bool valid() const { return !m_path.empty(); }
    const char* path() const { return m_path.c_str(); }
    const Fd& file() const { return m_file; }
    // After a rename the file lives on under the lock's name alone.
    void renamed() { m_path.clear(); }
    Fd takeFile() { return std::move(m_file); }

private:
    std::string m_path;
    Fd m_file;
};

} // namespace

std::string lockFilePath(const std::string& directory, const std::string& devicePath)
{
    if (directory.empty())
        return {};
    constexpr std::string_view devPrefix = "/dev/";
    std::string name = resolvedPath(devicePath);
    if (name.starts_with(devPrefix))
        name.erase(0, devPrefix.size());
    while (name.starts_with('/'))
        name.erase(0, 1);
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return directory + "/LCK.." + name;
}

UucpLock::UucpLock(UucpLock&& other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_file(std::move(other.m_file))
{
}

UucpLock::~UucpLock()
{
    if (m_path.empty())
        return;
    HeldLocks& held = heldLocks();
    const std::lock_guard guard(held.mutex);
    // Only our own file goes, never a lock that another program put in its place.
    if (namesFile(m_path, m_file))
        unlink(m_path.c_str());
    held.paths.erase(m_path);
}

bool UucpLock::acquire(const std::string& lockFile)
{
    if (lockFile.empty())
        return true;
    HeldLocks& held = heldLocks();
    const std::lock_guard guard(held.mutex);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const Inspection lock = inspect(lockFile);
        if (lock.found == Found::Live)
            return false;
        PidFile ours(lockFile);
        // A directory we cannot write to holds no lock of ours, and a stale
        // lock in it stays in the way.
        if (!ours.valid())
            return lock.found == Found::Nothing;
        if (lock.found == Found::Nothing) {
            // link() never replaces: of several programs that find no lock,
            // exactly one makes it; the others look again. Where no link can
            // be made, no lock is kept, as in a directory we cannot write to.
            if (link(ours.path(), lockFile.c_str()) != 0) {
                if (errno == EEXIST)
                    continue;
                return true;
            }
        } else {
            // A stale lock is replaced in one step by rename(), never removed
            // first: in the gap another program could put its live lock there,
            // and a remove meant for the stale one would take that. So that
            // two programs never both replace it (the second would overwrite
            // the first one's live lock), each takes flock on the stale file
            // and then checks that the name still leads to it. Only one can
            // hold the flock; once it has renamed, the name leads elsewhere
            // for all the others. Whoever finds the flock taken leaves the
            // port to the program that is taking it.
            if (flock(lock.file.get(), LOCK_EX | LOCK_NB) != 0)
                return false;
            if (!namesFile(lockFile, lock.file))
                continue;
            // Fails for another user's lock in a sticky directory.
            if (rename(ours.path(), lockFile.c_str()) != 0)
                return false;
            ours.renamed();
        }
        // Ours, unless a program outside this scheme has replaced it since.
        if (!namesFile(lockFile, ours.file()))
            return false;
        m_path = lockFile;
        m_file = ours.takeFile();
        held.paths.insert(lockFile);
        return true;
    }
    return false;
}

} // namespace serial::detail
