// SPDX-License-Identifier: GPL-3.0-or-later

#include "ReportRequests.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler may only write to a descriptor: it writes [0], a
// notifier on the UI thread reads [1]. Neither end blocks: a full pair means
// a request is pending already. The pair is made once and kept for the life
// of the process, so that a handler running late never writes to a
// descriptor that was closed and reused.
int reportPipe[2] = {-1, -1};

extern "C" void onReportSignal(int)
{
    // The code that the signal interrupted keeps its errno.
    const int interruptedErrno = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(reportPipe[0], &byte, 1);
    errno = interruptedErrno;
}

void setReportAction(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}

} // namespace

class ReportRequests::Watch
{
public:
    explicit Watch(std::function<void()> onRequest);
    // A request that comes later is ignored: by default SIGUSR1 would end
    // the program.
    ~Watch() { setReportAction(SIG_IGN); }

private:
    std::function<void()> m_onRequest;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

ReportRequests::ReportRequests(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), m_watch(std::make_unique<Watch>(std::move(onRequest)))
{
}

ReportRequests::~ReportRequests() = default;

ReportRequests::Watch::Watch(std::function<void()> onRequest) : m_onRequest(std::move(onRequest))
{
    if (reportPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, reportPipe) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(reportPipe[1], QSocketNotifier::Read);
    // Several requests before the UI thread comes to them give one report.
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char bytes[64];
        while (::read(reportPipe[1], bytes, sizeof bytes) > 0) {
        }
        m_onRequest();
    });
    setReportAction(onReportSignal);
}
