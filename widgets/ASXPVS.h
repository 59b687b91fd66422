#pragma once

// Loader of the optional desktop theme library. Called once at program start
// (before any window exists) and once at the end, on the UI thread.
void LoadThemeApi();
void UnloadThemeApi();

// True once the theme library was found and all its entry points resolved.
bool ThemeApiLoaded();
