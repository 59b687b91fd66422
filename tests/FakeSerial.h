// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A recording stand-in for the platform layer, for what a pty cannot show:
// modem lines, line errors, failures injected into each call and the exact
// order of the calls. All state lives in one FakeLine shared by the opener
// and the devices it opens, so it can be set up before Open and read after
// Close. Thread-safe: the event thread calls it too.

#include "platform/SerialDevice.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct FakeLine
{
    mutable std::mutex mutex;
    std::condition_variable waitChanged;

    std::vector<std::string> log;  // one entry per call, in order
    std::set<std::string> failing; // names of calls that fail (with no reason)
    bool gone = false;             // every call fails, as after an unplug
    serial::OpenError openError = serial::OpenError::None;
    bool openFails = false;
    std::string openedPath;

    serial::Dcb dcb;
    serial::CommTimeouts timeouts;
    std::uint32_t commMask = 0;
    serial::CommStatus status;        // what clearError reports (errors are then cleared)
    std::uint32_t modem = 0;          // what modemStatus reports
    std::deque<std::uint32_t> events; // masks that waitEvent returns, 0 = hang-up
    bool stopRequested = false;
    int devicesOpen = 0;

    void record(const std::string& entry) { log.push_back(entry); }
    // Appends a call to the log and tells whether it succeeds.
    serial::Result call(const std::string& name, const std::string& detail = {})
    {
        std::lock_guard lock(mutex);
        record(detail.empty() ? name : name + " " + detail);
        return gone || failing.count(name) ? serial::Result::failedWithoutReason()
                                           : serial::Result();
    }

    void pushEvents(std::uint32_t mask)
    {
        {
            std::lock_guard lock(mutex);
            events.push_back(mask);
        }
        waitChanged.notify_all();
    }
    // Blocks until the event thread has taken every queued mask out of the
    // line; without serving events, so a delivery it hands over stays pending.
    void waitUntilTaken()
    {
        std::unique_lock lock(mutex);
        waitChanged.wait(lock, [this] { return events.empty(); });
    }
    void hangUp()
    {
        {
            std::lock_guard lock(mutex);
            gone = true;
            events.push_back(0);
        }
        waitChanged.notify_all();
    }
    std::vector<std::string> calls() const
    {
        std::lock_guard lock(mutex);
        return log;
    }
    void clearLog()
    {
        std::lock_guard lock(mutex);
        log.clear();
    }
    template <typename T> T get(const T FakeLine::*field) const
    {
        std::lock_guard lock(mutex);
        return this->*field;
    }
    template <typename T> void set(T FakeLine::*field, const T& value)
    {
        std::lock_guard lock(mutex);
        this->*field = value;
    }
};

class FakeDevice : public serial::Device
{
public:
    explicit FakeDevice(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    ~FakeDevice() override
    {
        std::lock_guard lock(m_line->mutex);
        m_line->record("close");
        --m_line->devicesOpen;
    }

    serial::Result setupComm(std::uint32_t in, std::uint32_t out) override
    {
        return m_line->call("setupComm", std::to_string(in) + " " + std::to_string(out));
    }
    serial::Result setCommState(const serial::Dcb& dcb) override
    {
        m_line->set(&FakeLine::dcb, dcb);
        return m_line->call("setCommState", std::to_string(dcb.BaudRate));
    }
    serial::Result setCommTimeouts(const serial::CommTimeouts& timeouts) override
    {
        m_line->set(&FakeLine::timeouts, timeouts);
        return m_line->call("setCommTimeouts");
    }
    serial::Result setCommMask(std::uint32_t mask) override
    {
        m_line->set(&FakeLine::commMask, mask);
        return m_line->call("setCommMask", std::to_string(mask));
    }
    serial::WaitResult waitEvent(std::uint32_t& events, serial::Result& failure) override
    {
        std::unique_lock lock(m_line->mutex);
        m_line->waitChanged.wait(
            lock, [this] { return m_line->stopRequested || !m_line->events.empty(); });
        if (m_line->stopRequested)
            return serial::WaitResult::Stopped;
        events = m_line->events.front();
        m_line->events.pop_front();
        m_line->waitChanged.notify_all();
        if (events != 0)
            return serial::WaitResult::Event;
        failure = serial::Result::failedWithoutReason();
        return serial::WaitResult::Failed;
    }
    void requestStop() override
    {
        {
            std::lock_guard lock(m_line->mutex);
            m_line->stopRequested = true;
        }
        m_line->waitChanged.notify_all();
    }
    serial::Result read(void*, std::uint32_t count, std::uint32_t& got) override
    {
        got = 0;
        return m_line->call("read", std::to_string(count));
    }
    serial::Result write(const void*, std::uint32_t count, std::uint32_t& written) override
    {
        written = count;
        return m_line->call("write", std::to_string(count));
    }
    serial::Result clearError(serial::CommStatus& status) override
    {
        {
            std::lock_guard lock(m_line->mutex);
            status = m_line->status;
            m_line->status.errors = 0;
        }
        return m_line->call("clearError");
    }
    // As on the classic comm API, the queue count comes from clearing the
    // error state.
    serial::Result inputQueue(std::uint32_t& count) override
    {
        serial::CommStatus status;
        serial::Result result = clearError(status);
        count = status.inQueue;
        return result;
    }
    void watchTxEmpty(bool) override {}
    serial::Result modemStatus(std::uint32_t& status) override
    {
        status = m_line->get(&FakeLine::modem);
        return m_line->call("modemStatus");
    }
    serial::Result escape(serial::Escape function) override
    {
        return m_line->call("escape", std::to_string(static_cast<int>(function)));
    }
    serial::Result purge(std::uint32_t flags) override
    {
        return m_line->call("purge", std::to_string(flags));
    }
    bool gone() const override { return m_line->get(&FakeLine::gone); }
    std::intptr_t nativeHandle() const override { return 42; }

private:
    std::shared_ptr<FakeLine> m_line;
};

class FakeOpener : public serial::Opener
{
public:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();

    std::unique_ptr<serial::Device> open(const std::string& path,
                                         serial::OpenFailure& failure) override
    {
        std::lock_guard lock(line->mutex);
        line->record("open " + path);
        line->openedPath = path;
        if (line->openFails) {
            failure.error = line->openError;
            return nullptr;
        }
        line->stopRequested = false;
        ++line->devicesOpen;
        return std::make_unique<FakeDevice>(line);
    }
};
