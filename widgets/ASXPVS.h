// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

// Loader of the optional desktop visual-styles library "UXTHEME.DLL" and the
// platform facts that decide how the spin widgets look. Everything here runs on
// the UI thread; LoadThemeApi once at program start (before any window exists),
// UnloadThemeApi once at the end.

// Raised when the theme library is present but lacks one of its entry points.
// what() is "Assertion failure (ASXPVS)".
class EAssertionFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Loads "UXTHEME.DLL" and resolves its 45 entry points in their fixed order.
// A missing library is no error: ThemeApiLoaded() stays false. A missing entry
// point unloads the library again and raises EAssertionFailed. Does nothing
// while the library is loaded.
void LoadThemeApi();

// The same from the given library file; lets tests point the loader at a
// stand-in library.
void LoadThemeApi(const QString& libraryFileName);

// Frees the library when it is loaded; ThemeApiLoaded() is false afterwards.
void UnloadThemeApi();

// True once the library was found and all its entry points resolved.
bool ThemeApiLoaded();

// True when the operating system draws controls through a desktop theme:
// Windows from 5.1 (XP) on, and every other desktop (Linux desktops theme their
// widgets too). Decided once per process.
bool ThemeCapableOS();

// True when the toolkit uses its new-style window look (Windows from 4.0 on,
// and every other platform): the spin buttons then sit flush in the edit's
// client area. Decided once per process.
bool NewStyleWindowLook();

// The four entry points that the spin buttons call, typed as the library
// exports them. Call them only while ThemeApiLoaded() is true.
using HTHEME = void*;

struct ThemeRect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

std::int32_t IsThemeActive();
HTHEME OpenThemeData(void* window, const char16_t* classList);
std::int32_t DrawThemeBackground(HTHEME theme, void* deviceContext, int part, int state,
                                 const ThemeRect* rect, const ThemeRect* clipRect);
std::int32_t CloseThemeData(HTHEME theme);
