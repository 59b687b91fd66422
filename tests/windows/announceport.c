// SPDX-License-Identifier: GPL-3.0-or-later

// Announces a serial port's arrival to every top-level window, as Windows
// does when a USB serial adapter is plugged in: WM_DEVICECHANGE with
// DBT_DEVICEARRIVAL and a DEV_BROADCAST_PORT that names the port. wine sends
// no such notice for the ports it maps, so test-installer.sh puts the port
// into the registry's list of ports and then announces it with this.
//   announceport.exe COM4

#include <windows.h>

#include <dbt.h>
#include <stdlib.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 64;
    const size_t size = sizeof(DEV_BROADCAST_PORT_W) + wcslen(argv[1]) * sizeof(wchar_t);
    DEV_BROADCAST_PORT_W* port = calloc(1, size);
    if (!port)
        return 1;
    port->dbcp_size = (DWORD)size;
    port->dbcp_devicetype = DBT_DEVTYP_PORT;
    wcscpy(port->dbcp_name, argv[1]);
    DWORD_PTR answer = 0;
    const LRESULT sent = SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                                             (LPARAM)port, SMTO_ABORTIFHUNG, 5000, &answer);
    free(port);
    return sent ? 0 : 1;
}
