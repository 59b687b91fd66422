// SPDX-License-Identifier: GPL-3.0-or-later

#include "ASXPVS.h"

#include <QLibrary>
#include <QOperatingSystemVersion>
#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

namespace {

// Every entry point of the theme library, in the order they are resolved.
constexpr std::array<std::string_view, 45> entryPointNames = {
    "OpenThemeData",
    "CloseThemeData",
    "DrawThemeBackground",
    "DrawThemeText",
    "GetThemeBackgroundContentRect",
    "GetThemeBackgroundExtent",
    "GetThemeTextExtent",
    "GetThemeTextMetrics",
    "GetThemeBackgroundRegion",
    "HitTestThemeBackground",
    "DrawThemeEdge",
    "DrawThemeIcon",
    "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent",
    "GetThemeColor",
    "GetThemeMetric",
    "GetThemeString",
    "GetThemeBool",
    "GetThemeInt",
    "GetThemeEnumValue",
    "GetThemePosition",
    "GetThemeFont",
    "GetThemeRect",
    "GetThemeMargins",
    "GetThemeIntList",
    "SetWindowTheme",
    "GetThemeFilename",
    "GetThemeSysColor",
    "GetThemeSysColorBrush",
    "GetThemeSysBool",
    "GetThemeSysSize",
    "GetThemeSysFont",
    "GetThemeSysString",
    "GetThemeSysInt",
    "IsThemeActive",
    "IsAppThemed",
    "GetWindowTheme",
    "EnableThemeDialogTexture",
    "IsThemeDialogTextureEnabled",
    "GetThemeAppProperties",
    "SetThemeAppProperties",
    "GetCurrentThemeName",
    "GetThemeDocumentationProperty",
    "DrawThemeParentBackground",
    "EnableTheming",
};

consteval std::size_t entryIndex(std::string_view name)
{
    for (std::size_t i = 0; i < entryPointNames.size(); ++i) {
        if (entryPointNames[i] == name) {
            return i;
        }
    }
    throw std::logic_error("unknown theme entry point");
}

constexpr auto defaultLibraryName = "UXTHEME.DLL";

std::unique_ptr<QLibrary> themeLibrary;
std::array<QFunctionPointer, entryPointNames.size()> entryPoints{};
bool themeApiLoaded = false;

void forgetThemeLibrary()
{
    if (themeLibrary) {
        themeLibrary->unload();
        themeLibrary.reset();
    }
    entryPoints.fill(nullptr);
    themeApiLoaded = false;
}

template <typename Proc> Proc entryPoint(std::size_t index)
{
    return reinterpret_cast<Proc>(entryPoints[index]);
}

bool isWindowsAtLeast(int major, int minor)
{
    const auto current = QOperatingSystemVersion::current();
    return current.majorVersion() > major ||
           (current.majorVersion() == major && current.minorVersion() >= minor);
}

bool onWindows()
{
    return QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
}

} // namespace

void LoadThemeApi()
{
    LoadThemeApi(QString::fromLatin1(defaultLibraryName));
}

void LoadThemeApi(const QString& libraryFileName)
{
    if (themeApiLoaded) {
        return;
    }
    auto library = std::make_unique<QLibrary>(libraryFileName);
    if (!library->load()) {
        return;
    }
    themeLibrary = std::move(library);
    themeApiLoaded = true;
    for (std::size_t i = 0; i < entryPointNames.size(); ++i) {
        entryPoints[i] = themeLibrary->resolve(entryPointNames[i].data());
        if (!entryPoints[i]) {
            // Leaving the flag set with empty entry points would make the next
            // paint call through a null pointer, so the library goes again.
            forgetThemeLibrary();
            throw EAssertionFailed("Assertion failure (ASXPVS)");
        }
    }
}

void UnloadThemeApi()
{
    if (themeApiLoaded) {
        forgetThemeLibrary();
    }
}

bool ThemeApiLoaded()
{
    return themeApiLoaded;
}

bool ThemeCapableOS()
{
    static const bool capable = !onWindows() || isWindowsAtLeast(5, 1);
    return capable;
}

bool NewStyleWindowLook()
{
    static const bool newStyle = !onWindows() || isWindowsAtLeast(4, 0);
    return newStyle;
}

std::int32_t IsThemeActive()
{
    using Proc = std::int32_t (*)();
    return entryPoint<Proc>(entryIndex("IsThemeActive"))();
}

HTHEME OpenThemeData(void* window, const char16_t* classList)
{
    using Proc = HTHEME (*)(void*, const char16_t*);
    return entryPoint<Proc>(entryIndex("OpenThemeData"))(window, classList);
}

std::int32_t DrawThemeBackground(HTHEME theme, void* deviceContext, int part, int state,
                                 const ThemeRect* rect, const ThemeRect* clipRect)
{
    using Proc = std::int32_t (*)(HTHEME, void*, int, int, const ThemeRect*, const ThemeRect*);
    return entryPoint<Proc>(entryIndex("DrawThemeBackground"))(theme, deviceContext, part, state,
                                                               rect, clipRect);
}

std::int32_t CloseThemeData(HTHEME theme)
{
    using Proc = std::int32_t (*)(HTHEME);
    return entryPoint<Proc>(entryIndex("CloseThemeData"))(theme);
}
