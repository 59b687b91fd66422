// SPDX-License-Identifier: GPL-3.0-or-later

// A stand-in for the theme library: it exports the entry points the loader
// resolves (all but GetThemeSysFont, which ThemeStandInSysFont.cpp adds) and
// records what the spin buttons draw, so tests can load it with QLibrary.
#include <cstdint>

// The loader's rectangle (ASXPVS.h), only passed through. The entry points
// keep the exact types the loader calls them with: a call through a pointer
// of another function type is undefined.
struct ThemeRect;

namespace {

constexpr int partCount = 5;
int lastState[partCount] = {};
int openCount = 0;
int closeCount = 0;
int themeHandle = 0;

} // namespace

extern "C" {

// Test access: the state last drawn for a part (0 = not drawn), and the number
// of OpenThemeData and CloseThemeData calls.
int StandInLastState(int part)
{
    return part > 0 && part < partCount ? lastState[part] : -1;
}

int StandInOpenCount()
{
    return openCount;
}

int StandInCloseCount()
{
    return closeCount;
}

void StandInReset()
{
    for (int& state : lastState) {
        state = 0;
    }
    openCount = 0;
    closeCount = 0;
}

std::int32_t IsThemeActive()
{
    return 1;
}

void* OpenThemeData(void*, const char16_t*)
{
    ++openCount;
    return &themeHandle;
}

std::int32_t CloseThemeData(void*)
{
    ++closeCount;
    return 0;
}

std::int32_t DrawThemeBackground(void*, void*, int part, int state, const ThemeRect*,
                                 const ThemeRect*)
{
    if (part > 0 && part < partCount) {
        lastState[part] = state;
    }
    return 0;
}

// The entry points the spin buttons never call.
int DrawThemeText()
{
    return 0;
}

int GetThemeBackgroundContentRect()
{
    return 0;
}

int GetThemeBackgroundExtent()
{
    return 0;
}

int GetThemeTextExtent()
{
    return 0;
}

int GetThemeTextMetrics()
{
    return 0;
}

int GetThemeBackgroundRegion()
{
    return 0;
}

int HitTestThemeBackground()
{
    return 0;
}

int DrawThemeEdge()
{
    return 0;
}

int DrawThemeIcon()
{
    return 0;
}

int IsThemePartDefined()
{
    return 0;
}

int IsThemeBackgroundPartiallyTransparent()
{
    return 0;
}

int GetThemeColor()
{
    return 0;
}

int GetThemeMetric()
{
    return 0;
}

int GetThemeString()
{
    return 0;
}

int GetThemeBool()
{
    return 0;
}

int GetThemeInt()
{
    return 0;
}

int GetThemeEnumValue()
{
    return 0;
}

int GetThemePosition()
{
    return 0;
}

int GetThemeFont()
{
    return 0;
}

int GetThemeRect()
{
    return 0;
}

int GetThemeMargins()
{
    return 0;
}

int GetThemeIntList()
{
    return 0;
}

int SetWindowTheme()
{
    return 0;
}

int GetThemeFilename()
{
    return 0;
}

int GetThemeSysColor()
{
    return 0;
}

int GetThemeSysColorBrush()
{
    return 0;
}

int GetThemeSysBool()
{
    return 0;
}

int GetThemeSysSize()
{
    return 0;
}

int GetThemeSysString()
{
    return 0;
}

int GetThemeSysInt()
{
    return 0;
}

int IsAppThemed()
{
    return 0;
}

int GetWindowTheme()
{
    return 0;
}

int EnableThemeDialogTexture()
{
    return 0;
}

int IsThemeDialogTextureEnabled()
{
    return 0;
}

int GetThemeAppProperties()
{
    return 0;
}

int SetThemeAppProperties()
{
    return 0;
}

int GetCurrentThemeName()
{
    return 0;
}

int GetThemeDocumentationProperty()
{
    return 0;
}

int DrawThemeParentBackground()
{
    return 0;
}

int EnableTheming()
{
    return 0;
}

} // extern "C"
