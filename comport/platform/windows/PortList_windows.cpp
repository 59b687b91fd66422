// SPDX-License-Identifier: GPL-3.0-or-later

// The ports Windows lists in its hardware device map: under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM each serial device has one
// value, named after its kernel device (\Device\Serial0) with the port name
// (COM1) as its text.

#include "platform/PortList.h"

#include "platform/SystemError.h"

#include <cstring>
#include <windows.h>

namespace serial {

namespace {

constexpr const char* systemKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// A value whose name or text does not fit is an entry that cannot be read.
constexpr DWORD entrySize = 256;

class KeyCloser
{
public:
    explicit KeyCloser(HKEY key) : m_key(key) {}
    ~KeyCloser() { RegCloseKey(m_key); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    HKEY m_key;
};

// The port name in the value at `index`; false at the end of the list (with
// `result` ERROR_NO_MORE_ITEMS) or when the entry cannot be read.
bool portNameAt(HKEY key, DWORD index, std::string& name, LONG& result)
{
    char valueName[entrySize];
    BYTE data[entrySize];
    DWORD valueNameSize = entrySize;
    DWORD dataSize = entrySize;
    DWORD type = 0;
    result = RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
    if (result != ERROR_SUCCESS)
        return false;
    // The text up to its terminating zero, which a value need not have.
    const char* text = reinterpret_cast<const char*>(data);
    name.assign(text, strnlen(text, dataSize));
    return true;
}

} // namespace

Result listPortNames(const std::string& listRoot, std::vector<std::string>& names)
{
    // Any other root is a key under HKEY_LOCAL_MACHINE laid out the same way.
    const std::string keyPath = listRoot.empty() ? systemKey : listRoot;
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS)
        return reportFailure({"RegOpenKeyExA", keyPath, static_cast<int>(opened)});
    const KeyCloser closer(key);
    std::vector<std::string> found;
    for (DWORD index = 0;; ++index) {
        std::string name;
        LONG result = ERROR_SUCCESS;
        if (portNameAt(key, index, name, result)) {
            found.push_back(std::move(name));
            continue;
        }
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        return reportFailure({"RegEnumValueA", keyPath, static_cast<int>(result)});
    }
    names = std::move(found);
    return {};
}

} // namespace serial
