// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/PortList.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace serial {

namespace {

// Where the kernel lists every tty.
constexpr const char* systemRoot = "/sys/class/tty";

struct DirCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};

// Virtual terminals, the console and pty masters have no `device` link; every
// tty backed by hardware (8250, USB, ACM, Bluetooth RFCOMM) has one.
bool hasDeviceLink(int dirFd, const std::string& entry)
{
    struct stat info
    {
    };
    return fstatat(dirFd, (entry + "/device").c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISLNK(info.st_mode);
}

// The 8250 driver registers ports that may have no UART behind them (ttyS1 to
// ttyS31 on most PCs); serial_core reports those with type 0, PORT_UNKNOWN.
// Ports of other drivers have no `type` file.
bool isUnknownUart(int dirFd, const std::string& entry)
{
    const int fd = openat(dirFd, (entry + "/type").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[16] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return false;
    return std::strcmp(text, "0\n") == 0 || std::strcmp(text, "0") == 0;
}

} // namespace

Result listPortNames(const std::string& listRoot, std::vector<std::string>& names)
{
    const std::string root = listRoot.empty() ? systemRoot : listRoot;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(root.c_str()));
    if (!dir)
        return reportFailure({"opendir", root, errno});
    const int dirFd = dirfd(dir.get());
    std::vector<std::string> found;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                return reportFailure({"readdir", root, errno});
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (hasDeviceLink(dirFd, name) && !isUnknownUart(dirFd, name))
            found.push_back(name);
    }
    names = std::move(found);
    return {};
}

} // namespace serial
