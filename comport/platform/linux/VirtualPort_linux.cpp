// SPDX-License-Identifier: GPL-3.0-or-later

// The program's own serial line on Linux: a pseudo-terminal whose master side
// is served as the device, and a link to its far end for other programs.

#include "platform/VirtualPort.h"

#include "SerialDevice_linux.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <stdlib.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace serial {

namespace {

using detail::Fd;

constexpr std::string_view terminalFolder = "/dev/pts/";

// Where the link at `path` leads; empty when there is no link.
std::string linkTarget(const std::string& path)
{
    std::string target(PATH_MAX, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0)
        return {};
    target.resize(std::size_t(length));
    return target;
}

// A link that an earlier run left behind: one into /dev/pts/ at a terminal
// that no longer exists (the program that made it was killed), or at the
// terminal just made, which was given the old one's number. A terminal that
// exists belongs to someone: a link to it is never taken over.
bool leftBehind(const std::string& link, const std::string& terminal)
{
    const std::string target = linkTarget(link);
    if (!target.starts_with(terminalFolder))
        return false;
    struct stat info
    {
    };
    return target == terminal || (stat(target.c_str(), &info) != 0 && errno == ENOENT);
}

// The far end of the pseudo-terminal and the link to it, for as long as the
// line is open. The program keeps the far end open itself: with no far end
// open, Linux hangs the master up (every wait wakes with a hang-up and reads
// give EIO), so the first program to close its end would end the line. Held
// here, the line stays while programs open and close their ends.
class FarEnd
{
public:
    FarEnd(Fd terminal, std::string name) : m_terminal(std::move(terminal)), m_name(std::move(name))
    {
    }
    // Only a link that still leads to this terminal goes: another run may
    // have taken the name over meanwhile.
    ~FarEnd()
    {
        if (!m_link.empty() && linkTarget(m_link) == m_name)
            unlink(m_link.c_str());
    }
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    // Puts the link to the terminal at `link`.
    Result makeLink(const std::string& link)
    {
        if (symlink(m_name.c_str(), link.c_str()) != 0) {
            if (errno != EEXIST)
                return reportFailure({"symlink", link, errno});
            if (!leftBehind(link, m_name))
                return reportFailure({"symlink", link, EEXIST, FailureHint::NotOurLink});
            if (linkTarget(link) != m_name &&
                (unlink(link.c_str()) != 0 || symlink(m_name.c_str(), link.c_str()) != 0))
                return reportFailure({"symlink", link, errno});
        }
        m_link = link;
        return {};
    }

private:
    Fd m_terminal;
    std::string m_name; // /dev/pts/N
    std::string m_link; // once made
};

class VirtualPortOpener final : public Opener
{
public:
    std::unique_ptr<Device> open(const std::string& link, OpenFailure& failure) override
    {
        failure = {};
        // Neither end may become our controlling terminal, as for any port.
        Fd master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        char name[128] = {};
        if (!master.valid() || grantpt(master.get()) != 0 || unlockpt(master.get()) != 0 ||
            ptsname_r(master.get(), name, sizeof name) != 0) {
            failure = detail::openFailure({"posix_openpt", link, errno});
            return nullptr;
        }
        Fd terminal(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!terminal.valid()) {
            failure = detail::openFailure({"open", name, errno});
            return nullptr;
        }
        auto farEnd = std::make_shared<FarEnd>(std::move(terminal), name);
        if (const Result linked = farEnd->makeLink(link); !linked) {
            // A name that is taken is a port in use.
            const OpenError reading = linked.reason()->code == EEXIST
                                          ? OpenError::AccessDenied
                                          : detail::openErrorFromErrno(linked.reason()->code);
            failure = {reading, linked.reason()};
            return nullptr;
        }
        if (changesLogged())
            reportChange(link, std::string("links to ") + name);
        return detail::finishOpening(std::move(master), std::move(farEnd), link, failure);
    }
};

} // namespace

Opener* virtualPortOpener()
{
    static VirtualPortOpener opener;
    return &opener;
}

} // namespace serial
