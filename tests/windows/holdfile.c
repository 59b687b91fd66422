// SPDX-License-Identifier: GPL-3.0-or-later

// Holds a file open as a virus scanner or a backup program does, for reading
// and writing but not for deleting, so that Windows refuses to replace it
// (MoveFileEx: access denied). Prints "held" once it holds the file, then
// lets it go, and ends, when:
//   holdfile.exe FILE           a file beside it has been removed (the
//                               temporary file of a save whose replacement
//                               failed, which the writer removes);
//   holdfile.exe FILE --input   its standard input has ended.

#include <windows.h>

#include <stdio.h>
#include <wchar.h>

// The folder's changes are watched from before "held" is printed, so that a
// removal that follows it is never missed.
typedef struct
{
    HANDLE folder;
    OVERLAPPED pending;
    DWORD changes[4096];
} RemovalWatch;

static BOOL watchFolder(RemovalWatch* watch)
{
    return ReadDirectoryChangesW(watch->folder, watch->changes, sizeof watch->changes, FALSE,
                                 FILE_NOTIFY_CHANGE_FILE_NAME, NULL, &watch->pending, NULL) ||
           GetLastError() == ERROR_IO_PENDING;
}

static BOOL startWatch(RemovalWatch* watch, const wchar_t* file)
{
    wchar_t folder[MAX_PATH];
    wcsncpy(folder, file, MAX_PATH - 1);
    folder[MAX_PATH - 1] = L'\0';
    wchar_t* separator = wcsrchr(folder, L'\\');
    if (!separator)
        return FALSE;
    *separator = L'\0';
    watch->folder = CreateFileW(
        folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, NULL);
    watch->pending.hEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    return watch->folder != INVALID_HANDLE_VALUE && watch->pending.hEvent && watchFolder(watch);
}

static int awaitRemoval(RemovalWatch* watch)
{
    for (;;) {
        DWORD size = 0;
        if (!GetOverlappedResult(watch->folder, &watch->pending, &size, TRUE))
            return 1;
        for (const BYTE* at = (const BYTE*)watch->changes; size > 0;) {
            const FILE_NOTIFY_INFORMATION* change = (const FILE_NOTIFY_INFORMATION*)at;
            if (change->Action == FILE_ACTION_REMOVED)
                return 0;
            if (change->NextEntryOffset == 0)
                break;
            at += change->NextEntryOffset;
        }
        ResetEvent(watch->pending.hEvent);
        if (!watchFolder(watch))
            return 1;
    }
}

static int awaitEndOfInput(void)
{
    while (getchar() != EOF) {
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && wcscmp(argv[2], L"--input") != 0))
        return 64;
    const HANDLE held =
        CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                    OPEN_EXISTING, 0, NULL);
    const BOOL untilInputEnds = argc == 3;
    RemovalWatch watch = {0};
    if (held == INVALID_HANDLE_VALUE || (!untilInputEnds && !startWatch(&watch, argv[1])))
        return 1;
    puts("held");
    fflush(stdout);
    const int result = untilInputEnds ? awaitEndOfInput() : awaitRemoval(&watch);
    CloseHandle(held);
    return result;
}
