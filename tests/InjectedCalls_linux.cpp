// SPDX-License-Identifier: GPL-3.0-or-later

#include "InjectedCalls.h"

#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

// Under a sanitizer the runtime's own wrappers must still see every thread;
// they exist only in such builds.
extern "C" int __interceptor_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*),
                                            void*) __attribute__((weak));
extern "C" ssize_t __interceptor_write(int, const void*, size_t) __attribute__((weak));

namespace {

enum class ThreadStart { Normal, Fail, RunToEndFirst, ActionAfter };

std::atomic<ThreadStart> nextThreadStart = ThreadStart::Normal;
// Set before nextThreadStart announces it, taken by the thread that takes that.
std::function<void()> actionAfterStart;
std::atomic<injected::ModemLinesWithoutWait*> modemLines = nullptr;
std::atomic<injected::FailingWrites*> failingWrites = nullptr;

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
using IoctlFunction = int (*)(int, unsigned long, void*);
using WriteFunction = ssize_t (*)(int, const void*, size_t);

CreateFunction realCreate()
{
    if (__interceptor_pthread_create)
        return __interceptor_pthread_create;
    static const auto create = reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    return create;
}

IoctlFunction realIoctl()
{
    static const auto call = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
    return call;
}

WriteFunction realWrite()
{
    if (__interceptor_write)
        return __interceptor_write;
    static const auto call = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    return call;
}

struct HeldStart
{
    void* (*body)(void*);
    void* argument;
    sem_t ended;
};

void* runThenRelease(void* raw)
{
    auto* start = static_cast<HeldStart*>(raw);
    void* result = start->body(start->argument);
    sem_post(&start->ended);
    return result;
}

} // namespace

namespace injected {

void failNextThreadStart()
{
    nextThreadStart = ThreadStart::Fail;
}

void runNextThreadToEndFirst()
{
    nextThreadStart = ThreadStart::RunToEndFirst;
}

void afterNextThreadStart(std::function<void()> action)
{
    actionAfterStart = std::move(action);
    nextThreadStart = ThreadStart::ActionAfter;
}

ModemLinesWithoutWait::ModemLinesWithoutWait()
{
    modemLines = this;
}

ModemLinesWithoutWait::~ModemLinesWithoutWait()
{
    modemLines = nullptr;
}

FailingWrites::FailingWrites(int descriptor, int errorNumber) : fd(descriptor), error(errorNumber)
{
    failingWrites = this;
}

FailingWrites::~FailingWrites()
{
    failingWrites = nullptr;
}

} // namespace injected

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*body)(void*), void* argument) noexcept
{
    switch (nextThreadStart.exchange(ThreadStart::Normal)) {
    case ThreadStart::Normal:
        return realCreate()(thread, attributes, body, argument);
    case ThreadStart::Fail:
        return EAGAIN;
    case ThreadStart::RunToEndFirst:
        break;
    case ThreadStart::ActionAfter: {
        const int result = realCreate()(thread, attributes, body, argument);
        if (result == 0)
            std::exchange(actionAfterStart, nullptr)();
        return result;
    }
    }
    HeldStart start{body, argument, {}};
    sem_init(&start.ended, 0, 0);
    const int result = realCreate()(thread, attributes, runThenRelease, &start);
    if (result == 0) {
        while (sem_wait(&start.ended) != 0 && errno == EINTR) {
        }
    }
    sem_destroy(&start.ended);
    return result;
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (injected::ModemLinesWithoutWait* injectedLines = modemLines.load()) {
        if (request == TIOCMGET) {
            *static_cast<int*>(argument) = injectedLines->lines;
            return 0;
        }
        if (request == TIOCMIWAIT) {
            errno = ENOTTY;
            return -1;
        }
    }
    return realIoctl()(fd, request, argument);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t count)
{
    if (const injected::FailingWrites* failing = failingWrites.load();
        failing && failing->fd == fd) {
        errno = failing->error;
        return -1;
    }
    return realWrite()(fd, buffer, count);
}
