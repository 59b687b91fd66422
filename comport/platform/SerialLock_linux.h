#pragma once

// UUCP lock files ("LCK.." + device name in HDB format), the convention that
// minicom and other terminal programs use to keep off a port that is in use.

#include <string>

namespace serial::detail {

// The directory where terminal programs keep their lock files.
inline constexpr const char* defaultLockDirectory = "/var/lock";

// The lock file of a device: the resolved path after "/dev/", with '/' written
// as '_' ("/dev/pts/3" -> "<dir>/LCK..pts_3"). Empty when `directory` is empty.
std::string lockFilePath(const std::string& directory, const std::string& devicePath);

// True when `lockFile` names a process that is still alive. A lock of a dead
// process (or an unreadable one) is stale and is removed here.
bool lockHeldByLiveProcess(const std::string& lockFile);

// Our own lock file: created by acquire(), removed by the destructor.
class UucpLock
{
public:
    UucpLock() = default;
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&&) = delete;
    ~UucpLock();

    // Creates `lockFile` holding our process id. Returns false only when another
    // program created it first; a directory we cannot write is skipped quietly.
    bool acquire(const std::string& lockFile);

private:
    std::string m_path;
};

} // namespace serial::detail
