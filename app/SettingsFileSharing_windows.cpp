// SPDX-License-Identifier: GPL-3.0-or-later

// Two named objects tell that a copy runs. Their handles stay open until the
// process ends, when the system closes them however it ends:
// - the mutex "Global\Quartzel", which every copy of every user holds: the
//   installer and the uninstaller look for it (packaging/windows/quartzel.nsi)
//   and wait until it is gone before they replace or remove the program;
// - a small shared memory section "Local\Quartzel.<key>", named after the
//   settings file, which the first copy on the file creates and writes its
//   process id into: a second start on the same file finds it there.

#include "SettingsFileSharing.h"

#include "CommandLine.h"
#include "SettingsLocation.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <string>
#include <windows.h>

#include <sddl.h>

const bool OneCopyPerSettingsFile = true;
// Long enough for another program's save, a virus scanner's or an indexer's
// look at the new file; short enough that closing does not seem to hang.
const std::chrono::milliseconds OtherWriterWait{2000};

namespace {

constexpr const wchar_t* runningProgramMutex = L"Global\\Quartzel";

// Everyone may wait on the mutex (SYNCHRONIZE), which is all an installer
// needs, and do nothing else with it. A later copy, of this user or another,
// can then only open it to wait on: it holds it open all the same.
void announceRunningProgram()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                         &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    if (!CreateMutexW(descriptor ? &attributes : nullptr, FALSE, runningProgramMutex))
        OpenMutexW(SYNCHRONIZE, FALSE, runningProgramMutex);
    LocalFree(descriptor);
}

// Paths name one file whatever their case and however they are written.
std::wstring sectionName(const QString& settingsFile)
{
    const QString path = QDir::cleanPath(QFileInfo(settingsFile).absoluteFilePath()).toCaseFolded();
    const QByteArray key = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return L"Local\\Quartzel." + QString::fromLatin1(key.toHex()).toStdWString();
}

struct WindowSearch
{
    DWORD processId = 0;
    HWND found = nullptr;
};

// A shown top-level window of the process that no other window owns: the
// main window (its message boxes are owned by it).
BOOL CALLBACK takeMainWindow(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<WindowSearch*>(search);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != s->processId || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    s->found = window;
    return FALSE;
}

// This process was started by the user, so Windows lets it give the
// foreground to another one. A copy without a window on the screen
// (offscreen) has nothing to show.
void bringToFront(DWORD processId)
{
    WindowSearch search{processId};
    EnumWindows(takeMainWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    if (IsIconic(search.found))
        ShowWindow(search.found, SW_RESTORE);
    // Its message box, when it shows one.
    SetForegroundWindow(GetLastActivePopup(search.found));
}

} // namespace

QString claimSettingsFile(const CommandLineOptions& options)
{
    announceRunningProgram();
    const QString usual = settingsFilePath(QCoreApplication::applicationDirPath(),
                                           QProcessEnvironment::systemEnvironment());
    const QString named = options.settingsFile
                              ? QFileInfo(usual).dir().absoluteFilePath(*options.settingsFile)
                              : QString();
    const std::wstring name = sectionName(named.isEmpty() ? usual : named);
    // Only an existing section sets the error; a new one leaves it as it was.
    SetLastError(ERROR_SUCCESS);
    const HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              sizeof(DWORD), name.c_str());
    // Without the section nothing can tell: this copy runs.
    if (!section)
        return named;
    const bool another = GetLastError() == ERROR_ALREADY_EXISTS;
    auto* processId =
        static_cast<volatile DWORD*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!another) {
        if (processId)
            *processId = GetCurrentProcessId();
        return named;
    }
    // Zero while the first copy is between creating the section and writing
    // its id: it is starting, and shows its window on its own.
    if (processId && *processId != 0)
        bringToFront(*processId);
    std::exit(EXIT_SUCCESS);
}
