// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminalOutput.h"

#include <QString>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace {

bool handleGiven(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

// What was redirected (to a file, a pipe) keeps its place; the console of
// the program that started this one takes the rest. Attached, the console's
// Ctrl+C reaches the stop requests' console handler.
void prepareTerminalOutput()
{
    const bool outputGiven = handleGiven(STD_OUTPUT_HANDLE);
    const bool errorGiven = handleGiven(STD_ERROR_HANDLE);
    if ((outputGiven && errorGiven) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!outputGiven)
        std::freopen("CONOUT$", "w", stdout);
    if (!errorGiven)
        std::freopen("CONOUT$", "w", stderr);
}

// What went through the C stream before goes out first, so the order holds.
void writeTerminalText(std::FILE* stream, const QString& text)
{
    std::fflush(stream);
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.utf16(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}
