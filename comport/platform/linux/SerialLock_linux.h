// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// UUCP lock files ("LCK.." + device name in HDB format), the convention that
// minicom and other terminal programs use to keep off a port that is in use.

#include "Fd_linux.h"

#include <string>

namespace serial::detail {

// The directory where terminal programs keep their lock files.
inline constexpr const char* defaultLockDirectory = "/var/lock";

// The lock file of a device: the resolved path after "/dev/", with '/' written
// as '_' ("/dev/pts/3" -> "<dir>/LCK..pts_3"). Empty when `directory` is empty.
std::string lockFilePath(const std::string& directory, const std::string& devicePath);

// Our own lock file: taken by acquire(), removed by the destructor.
class UucpLock
{
public:
    UucpLock() = default;
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&&) = delete;
    ~UucpLock();

    // Makes `lockFile` a lock holding our process id, in place of a stale one
    // if need be. Returns false when another program holds the lock or is
    // taking it right now, and when the path is anything but a regular file.
    // A lock directory we cannot write to is skipped quietly. Never blocks;
    // safe to call from several threads.
    bool acquire(const std::string& lockFile);

private:
    std::string m_path;
    // Held open so that its inode number stays ours for the check at release.
    Fd m_file;
};

} // namespace serial::detail
