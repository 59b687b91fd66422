// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A hidden top-level window of the calling thread, for the messages that
// Windows sends to every top-level window (taskkill's WM_CLOSE, the end of
// the session, a port's arrival), whether or not the program shows a window
// of its own. Its messages are served by the thread that made it.

#include <windows.h>

// Registers a window class with `windowProc`; false when it cannot be.
inline bool registerHiddenWindowClass(const wchar_t* className, WNDPROC windowProc)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

// A window of the class, which keeps `owner` for windowOwner; nullptr when it
// cannot be made.
inline HWND createHiddenWindow(const wchar_t* className, void* owner)
{
    return CreateWindowExW(0, className, L"Quartzel", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleW(nullptr), owner);
}

// In the window procedure: the owner given to createHiddenWindow, or nullptr
// for the messages that come before it is known.
template <class Owner> Owner* windowOwner(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
