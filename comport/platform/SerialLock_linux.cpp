#include "SerialLock_linux.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace serial::detail {

namespace {

std::string resolvedPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

bool processAlive(pid_t pid)
{
    // EPERM: the process exists but belongs to someone else.
    return kill(pid, 0) == 0 || errno == EPERM;
}

pid_t lockOwner(const std::string& lockFile)
{
    const int fd = open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    return n > 0 ? static_cast<pid_t>(std::strtol(text, nullptr, 10)) : 0;
}

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

bool lockHeldByLiveProcess(const std::string& lockFile)
{
    if (lockFile.empty() || access(lockFile.c_str(), F_OK) != 0)
        return false;
    const pid_t owner = lockOwner(lockFile);
    if (owner > 0 && processAlive(owner))
        return true;
    unlink(lockFile.c_str());
    return false;
}

UucpLock::UucpLock(UucpLock&& other) noexcept : m_path(std::exchange(other.m_path, {})) {}

UucpLock::~UucpLock()
{
    if (!m_path.empty())
        unlink(m_path.c_str());
}

bool UucpLock::acquire(const std::string& lockFile)
{
    if (lockFile.empty())
        return true;
    const int fd = open(lockFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno != EEXIST;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    const bool written = write(fd, text, static_cast<size_t>(length)) == length;
    close(fd);
    if (!written) {
        unlink(lockFile.c_str());
        return true;
    }
    m_path = lockFile;
    return true;
}

} // namespace serial::detail
