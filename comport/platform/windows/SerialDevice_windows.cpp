// SPDX-License-Identifier: GPL-3.0-or-later

// The serial device on Win32's communications calls. The handle is open for
// overlapped I/O: the event thread keeps a WaitCommEvent pending while reads
// and writes, each on an OVERLAPPED block and event of its own, run on other
// threads, and each of them waits for its own completion, so that to the
// caller every call is synchronous.

#include "SerialDevice_windows.h"

#include "SerialMapping_windows.h"
#include "platform/SystemError.h"

#include <atomic>
#include <utility>

namespace serial::detail {

namespace {

// A manual-reset event without a name, as every overlapped block here has.
HANDLE newEvent(bool signalled)
{
    return CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr);
}

// One read or write: a zeroed block whose event is its own, created signalled
// so that a block on which nothing was started reads as complete.
class IoRequest
{
public:
    IoRequest() { m_overlapped.hEvent = newEvent(true); }
    ~IoRequest()
    {
        if (m_overlapped.hEvent)
            CloseHandle(m_overlapped.hEvent);
    }
    IoRequest(const IoRequest&) = delete;
    IoRequest& operator=(const IoRequest&) = delete;

    bool valid() const { return m_overlapped.hEvent != nullptr; }
    OVERLAPPED* overlapped() { return &m_overlapped; }

private:
    OVERLAPPED m_overlapped{};
};

class WindowsDevice final : public Device
{
public:
    WindowsDevice(HANDLE handle, std::string path) : m_path(std::move(path)), m_handle(handle) {}

    ~WindowsDevice() override
    {
        // The kernel writes into the wait's block until the wait has ended;
        // a mask change ends it, and the block must outlive that.
        if (m_waitPending) {
            SetCommMask(m_handle, 0);
            WaitForSingleObject(m_wait.hEvent, INFINITE);
        }
        CloseHandle(m_handle);
        if (m_wait.hEvent)
            CloseHandle(m_wait.hEvent);
        if (m_stopEvent)
            CloseHandle(m_stopEvent);
        if (changesLogged())
            reportChange(m_path, "closed");
    }

    // Fails with the event that could not be made.
    Result setUp()
    {
        m_stopEvent = newEvent(false);
        m_wait.hEvent = newEvent(true);
        if (!m_stopEvent || !m_wait.hEvent)
            return failed("CreateEventA");
        return {};
    }

    Result setupComm(std::uint32_t inQueue, std::uint32_t outQueue) override
    {
        return checked(SetupComm(m_handle, inQueue, outQueue), "SetupComm");
    }

    Result setCommState(const Dcb& dcb) override
    {
        DCB block = winDcb(dcb);
        return checked(SetCommState(m_handle, &block), "SetCommState");
    }

    Result setCommTimeouts(const CommTimeouts& timeouts) override
    {
        COMMTIMEOUTS block = winTimeouts(timeouts);
        return checked(SetCommTimeouts(m_handle, &block), "SetCommTimeouts");
    }

    Result setCommMask(std::uint32_t mask) override
    {
        // Counted before the call: a wait that began before the count changed
        // ends as stopped, also when it was armed after the system's mask
        // changed (and so was not woken by it).
        m_mask = mask;
        ++m_maskGeneration;
        return checked(SetCommMask(m_handle, mask), "SetCommMask");
    }

    WaitResult waitEvent(std::uint32_t& events, Result& failure) override
    {
        events = 0;
        const std::uint64_t generation = m_maskGeneration;
        for (;;) {
            if (!m_waitPending) {
                if (Result armed = armWait(); !armed) {
                    failure = std::move(armed);
                    return WaitResult::Failed;
                }
            }
            if (m_maskGeneration != generation)
                return WaitResult::Stopped;
            // The stop event comes first: when both are signalled, it wins.
            const HANDLE wakers[] = {m_stopEvent, m_wait.hEvent};
            const DWORD woken = WaitForMultipleObjects(2, wakers, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0)
                return WaitResult::Stopped;
            if (woken != WAIT_OBJECT_0 + 1) {
                failure = failed("WaitForMultipleObjects");
                return WaitResult::Failed;
            }
            m_waitPending = false;
            DWORD unused = 0;
            const bool completed = GetOverlappedResult(m_handle, &m_wait, &unused, FALSE);
            // A failed wait delivers nothing, and is only logged: arming the
            // next one shows whether the device is still there. A wait ended
            // by a mask change (with mask 0) ends as stopped there too.
            if (!completed)
                static_cast<void>(failed("WaitCommEvent"));
            events = completed ? m_waitEvents & m_mask : 0;
            if (events != 0)
                return WaitResult::Event;
        }
    }

    void requestStop() override
    {
        // Manual reset: it ends the current wait and every later one. Only
        // logged: nobody raises it.
        if (!SetEvent(m_stopEvent))
            static_cast<void>(failed("SetEvent"));
    }

    Result read(void* buffer, std::uint32_t count, std::uint32_t& got) override
    {
        return transfer(
            "ReadFile",
            [&](OVERLAPPED* block) { return ReadFile(m_handle, buffer, count, nullptr, block); },
            got);
    }

    Result write(const void* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        // A write that runs out of its time-outs completes with fewer bytes,
        // which is a success.
        return transfer(
            "WriteFile",
            [&](OVERLAPPED* block) { return WriteFile(m_handle, buffer, count, nullptr, block); },
            written);
    }

    // The driver reports an empty transmitter itself whenever the mask asks for it.
    void watchTxEmpty(bool) override {}

    Result clearError(CommStatus& status) override
    {
        status = {};
        DWORD errors = 0;
        COMSTAT queues{};
        if (!ClearCommError(m_handle, &errors, &queues))
            return failed("ClearCommError");
        status.errors = errors;
        status.inQueue = queues.cbInQue;
        status.outQueue = queues.cbOutQue;
        return {};
    }

    Result inputQueue(std::uint32_t& count) override
    {
        CommStatus status;
        Result result = clearError(status);
        count = status.inQueue;
        return result;
    }

    Result modemStatus(std::uint32_t& status) override
    {
        DWORD lines = 0;
        Result result = checked(GetCommModemStatus(m_handle, &lines), "GetCommModemStatus");
        status = result ? lines : 0;
        return result;
    }

    Result escape(Escape function) override
    {
        if (!EscapeCommFunction(m_handle, static_cast<DWORD>(function)))
            return failed("EscapeCommFunction");
        if (changesLogged())
            reportChange(m_path, escapeName(function));
        return {};
    }

    Result purge(std::uint32_t flags) override
    {
        return checked(PurgeComm(m_handle, flags), "PurgeComm");
    }

    bool gone() const override { return m_gone; }

    std::intptr_t nativeHandle() const override
    {
        return reinterpret_cast<std::intptr_t>(m_handle);
    }

private:
    // The failure of `call` with the thread's last error; a device that has
    // gone is remembered.
    Result failed(const char* call)
    {
        const DWORD code = GetLastError();
        if (deviceGoneError(code))
            m_gone = true;
        return reportFailure({call, m_path, static_cast<int>(code)});
    }

    // What a call that tells success by a BOOL came to.
    Result checked(BOOL succeeded, const char* call) { return succeeded ? Result() : failed(call); }

    // Starts the event wait on the wait's own block. A wait that completes
    // at once has signalled the block's event, so both outcomes are waited
    // for alike; one that cannot start means the device is gone.
    Result armWait()
    {
        if (!WaitCommEvent(m_handle, &m_waitEvents, &m_wait) && GetLastError() != ERROR_IO_PENDING)
            return failed("WaitCommEvent");
        m_waitPending = true;
        return {};
    }

    // One read or write on a request of its own: started, then waited for
    // on the request's event, then its outcome taken.
    template <typename Start>
    Result transfer(const char* call, Start start, std::uint32_t& transferred)
    {
        transferred = 0;
        IoRequest request;
        if (!request.valid())
            return failed("CreateEventA");
        if (!start(request.overlapped()) && GetLastError() != ERROR_IO_PENDING)
            return failed(call);
        DWORD count = 0;
        if (WaitForSingleObject(request.overlapped()->hEvent, INFINITE) != WAIT_OBJECT_0) {
            Result failure = failed("WaitForSingleObject");
            // The block must not go while the system may still write into it.
            GetOverlappedResult(m_handle, request.overlapped(), &count, TRUE);
            return failure;
        }
        if (!GetOverlappedResult(m_handle, request.overlapped(), &count, FALSE))
            return failed(call);
        transferred = count;
        return {};
    }

    static const char* escapeName(Escape function)
    {
        switch (function) {
        case Escape::SetRts:
            return "RTS on";
        case Escape::ClrRts:
            return "RTS off";
        case Escape::SetDtr:
            return "DTR on";
        case Escape::ClrDtr:
            return "DTR off";
        }
        return "escape";
    }

    const std::string m_path; // as opened, for what is reported
    const HANDLE m_handle;
    HANDLE m_stopEvent = nullptr;

    std::atomic<std::uint32_t> m_mask = 0;
    std::atomic<std::uint64_t> m_maskGeneration = 0;

    // The pending event wait, owned by the thread in waitEvent. It outlives
    // a waitEvent that returns Stopped, and the next one goes on with it.
    OVERLAPPED m_wait{};
    DWORD m_waitEvents = 0;
    std::atomic<bool> m_waitPending = false;
    std::atomic<bool> m_gone = false;
};

} // namespace

std::unique_ptr<Device> makeDevice(HANDLE handle, const std::string& path, Result& problem)
{
    auto device = std::make_unique<WindowsDevice>(handle, path);
    problem = device->setUp();
    if (!problem)
        return nullptr;
    return device;
}

} // namespace serial::detail
