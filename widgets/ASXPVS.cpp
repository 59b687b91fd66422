#include "ASXPVS.h"

namespace {
bool themeApiLoaded = false;
}

// There is no theme library on this platform yet: buttons draw classically.
void LoadThemeApi()
{
    themeApiLoaded = false;
}

void UnloadThemeApi()
{
    themeApiLoaded = false;
}

bool ThemeApiLoaded()
{
    return themeApiLoaded;
}
