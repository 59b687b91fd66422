// SPDX-License-Identifier: GPL-3.0-or-later

// The Windows serial backend on real ports: under wine, pseudo-terminals
// mapped to COM ports by run-under-wine.sh. The port under test and its peer
// are the two ends of one line; the hang-up port's far end goes away after
// it has received six bytes; nothing ever drains the sink port.
//
//   tst_serial_windows port=COM5 peer=COM6 hangup=COM7 sink=COM8 missing=COM40 [case ...]
//
// Where wine does not do what Windows documents, the case says so, checks
// what wine does instead where that is harmless, and leaves the rest to a
// run on Windows.

#include "WinTest.h"
#include "platform/PortList.h"
#include "platform/SerialDevice.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <windows.h>

using namespace serial;

namespace {

using namespace std::chrono_literals;

// Long enough for any wait that should end, so that one that does not fails
// the case instead of hanging the program; never a measure of speed.
constexpr auto generous = 20s;

std::map<std::string, std::string> ports;

bool underWine()
{
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// The line settings the component gives a port: 9600 bit/s 8N1, DTR and RTS on.
Dcb lineSettings(std::uint32_t baud = 9600, std::uint8_t stopBits = 0)
{
    Dcb dcb;
    dcb.BaudRate = baud;
    dcb.flags = 0x1011;
    dcb.ByteSize = 8;
    dcb.StopBits = stopBits;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

constexpr CommTimeouts defaultTimeouts{0xffffffff, 0, 0, 100, 1000};

std::string portNamed(const char* role)
{
    const auto found = ports.find(role);
    if (found == ports.end())
        wintest::skipCase(std::string("no ") + role + "= port given");
    return found->second;
}

// The port as the component opens it: queues, line settings, time-outs.
std::unique_ptr<Device> openPort(const char* role)
{
    OpenFailure failure;
    auto device = systemOpener().open(devicePath(portNamed(role)), failure);
    REQUIRE(device != nullptr);
    CHECK_EQ(failure.error, OpenError::None);
    REQUIRE(device->setupComm(2048, 2048));
    REQUIRE(device->setCommState(lineSettings()));
    REQUIRE(device->setCommTimeouts(defaultTimeouts));
    // What an earlier case left in the line's queues stays there across
    // opens, as on Windows.
    REQUIRE(device->purge(purge::RxClear | purge::TxClear));
    return device;
}

HANDLE handleOf(const Device& device)
{
    return reinterpret_cast<HANDLE>(device.nativeHandle());
}

// The other end of the line, on plain blocking Win32 calls: a read returns
// as soon as a byte is there and gives up after the generous time.
class Peer
{
public:
    Peer()
    {
        m_handle = CreateFileA(devicePath(portNamed("peer")).c_str(), GENERIC_READ | GENERIC_WRITE,
                               0, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(m_handle != INVALID_HANDLE_VALUE);
        DCB block{};
        block.DCBlength = sizeof block;
        REQUIRE(GetCommState(m_handle, &block));
        block.BaudRate = 9600;
        block.ByteSize = 8;
        block.Parity = NOPARITY;
        block.StopBits = ONESTOPBIT;
        REQUIRE(SetCommState(m_handle, &block));
        COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 20000, 0, 0};
        REQUIRE(SetCommTimeouts(m_handle, &timeouts));
        PurgeComm(m_handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    ~Peer() { CloseHandle(m_handle); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool send(std::string_view bytes)
    {
        DWORD written = 0;
        return WriteFile(m_handle, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

    // Up to `count` bytes; fewer only when the line stays silent too long.
    std::string receive(std::size_t count)
    {
        std::string bytes;
        char chunk[4096];
        while (bytes.size() < count) {
            DWORD got = 0;
            const DWORD wanted = DWORD(std::min(count - bytes.size(), sizeof chunk));
            if (!ReadFile(m_handle, chunk, wanted, &got, nullptr) || got == 0)
                break;
            bytes.append(chunk, got);
        }
        return bytes;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// One waitEvent on another thread, as the event thread makes it.
class BackgroundWait
{
public:
    explicit BackgroundWait(Device& device) : m_device(device)
    {
        m_result = std::async(std::launch::async,
                              [this] { return m_device.waitEvent(m_events, m_failure); });
    }
    ~BackgroundWait()
    {
        if (m_result.valid() && m_result.wait_for(0s) != std::future_status::ready)
            m_device.requestStop();
    }
    BackgroundWait(const BackgroundWait&) = delete;
    BackgroundWait& operator=(const BackgroundWait&) = delete;

    bool finishedWithin(std::chrono::milliseconds time)
    {
        return m_result.wait_for(time) == std::future_status::ready;
    }
    // The wait's result; a wait that does not end in the generous time fails the case.
    WaitResult result()
    {
        REQUIRE(finishedWithin(generous));
        return m_result.get();
    }
    std::uint32_t events() const { return m_events; }

private:
    Device& m_device;
    std::uint32_t m_events = 0;
    Result m_failure;
    std::future<WaitResult> m_result;
};

// Reads `count` bytes as the component does: wait for the receive event,
// then read what the queue holds.
std::string receiveAll(Device& device, std::size_t count)
{
    std::string bytes;
    while (bytes.size() < count) {
        std::uint32_t queued = 0;
        REQUIRE(device.inputQueue(queued));
        if (queued == 0) {
            BackgroundWait wait(device);
            REQUIRE(wait.result() == WaitResult::Event);
            REQUIRE((wait.events() & ev::RxChar) != 0);
            continue;
        }
        std::string chunk(std::min<std::size_t>(queued, count - bytes.size()), '\0');
        std::uint32_t got = 0;
        REQUIRE(device.read(chunk.data(), std::uint32_t(chunk.size()), got));
        bytes.append(chunk, 0, got);
    }
    return bytes;
}

// What a failed call gave as its reason.
void expectFailure(const std::optional<SystemError>& reason, const char* call, int code)
{
    REQUIRE(reason.has_value());
    CHECK_EQ(reason->call, std::string(call));
    CHECK_EQ(reason->code, code);
}

void opensOnce()
{
    auto device = openPort("port");
    CHECK(handleOf(*device) != INVALID_HANDLE_VALUE);
    OpenFailure failure;
    auto second = systemOpener().open(devicePath(portNamed("port")), failure);
    if (underWine()) {
        // wine shares an open port: a second open succeeds.
        wintest::notShown("a second open is refused (wine opens a port twice)");
        return;
    }
    CHECK(second == nullptr);
    CHECK_EQ(failure.error, OpenError::AccessDenied);
    expectFailure(failure.reason, "CreateFileA", ERROR_ACCESS_DENIED);
}

void openFailures()
{
    const struct
    {
        const char* name;
        std::string port;
    } rows[] = {
        {"a COM port that nothing is mapped to", portNamed("missing")},
        {"a name that is no device", "NoSuchDevice42"},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        OpenFailure failure;
        CHECK(systemOpener().open(devicePath(row.port), failure) == nullptr);
        CHECK_EQ(failure.error, OpenError::NotFound);
        expectFailure(failure.reason, "CreateFileA", ERROR_FILE_NOT_FOUND);
        CHECK_EQ(failure.reason->path, devicePath(row.port));
    }
}

void lineSettingsReadBack()
{
    auto device = openPort("port");
    Dcb sevenEven = lineSettings();
    sevenEven.ByteSize = 7;
    sevenEven.Parity = EVENPARITY;
    sevenEven.flags |= 0x0002; // fParity
    const struct
    {
        const char* name;
        Dcb dcb;
        const char* wineDiffers; // why not, where wine on a pty cannot show it
    } rows[] = {
        {"9600 8N1, as the component opens", lineSettings(), nullptr},
        {"115200 8N1", lineSettings(115200), nullptr},
        {"1200 8N2", lineSettings(1200, TWOSTOPBITS), nullptr},
        {"56000 8N1", lineSettings(56000), "wine sets a rate POSIX lacks as 38400"},
        {"256000 8N1", lineSettings(256000), "wine sets a rate POSIX lacks as 38400"},
        {"7E1", sevenEven,
         "wine refuses 6 and 7 data bits on a pty (which keeps 8 without parity)"},
        {"back to 19200 8N1", lineSettings(19200), nullptr},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        if (row.wineDiffers && underWine()) {
            wintest::notShown(row.wineDiffers);
            continue;
        }
        REQUIRE(device->setCommState(row.dcb));
        DCB actual{};
        actual.DCBlength = sizeof actual;
        REQUIRE(GetCommState(handleOf(*device), &actual));
        CHECK_EQ(actual.BaudRate, DWORD(row.dcb.BaudRate));
        CHECK_EQ(int(actual.ByteSize), int(row.dcb.ByteSize));
        CHECK_EQ(int(actual.Parity), int(row.dcb.Parity));
        CHECK_EQ(int(actual.StopBits), int(row.dcb.StopBits));
        CHECK_EQ(DWORD(actual.fBinary), DWORD(1));
        CHECK_EQ(DWORD(actual.fParity), DWORD(row.dcb.Parity != NOPARITY));
        CHECK_EQ(DWORD(actual.fOutxCtsFlow), DWORD(0));
        CHECK_EQ(DWORD(actual.fOutX), DWORD(0));
        CHECK_EQ(DWORD(actual.fInX), DWORD(0));
        CHECK_EQ(DWORD(actual.fDtrControl), DWORD(DTR_CONTROL_ENABLE));
        CHECK_EQ(DWORD(actual.fRtsControl), DWORD(RTS_CONTROL_ENABLE));
    }
}

void refusedLineSettings()
{
    auto device = openPort("port");
    Dcb nineBits = lineSettings();
    nineBits.ByteSize = 9;
    const Result refused = device->setCommState(nineBits);
    CHECK(!refused);
    // The code is the driver's (wine says ERROR_NOT_SUPPORTED).
    REQUIRE(refused.reason().has_value());
    CHECK_EQ(refused.reason()->call, std::string("SetCommState"));
    CHECK(refused.reason()->code != ERROR_SUCCESS);
}

void bytesBothWays()
{
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += char(byte);
    const struct
    {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"the query", "IF;"},
        {"a reply", "IF00014070000     +000000000001000000000;"},
        {"zero bytes inside", std::string("A\0B\0\0C", 6)},
        {"every byte value", everyByte},
        {"a block of 4 KiB", std::string(4096, 'x')},
    };
    auto device = openPort("port");
    Peer peer;
    REQUIRE(device->setCommMask(ev::RxChar));
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        std::uint32_t written = 0;
        CHECK(device->write(row.bytes.data(), std::uint32_t(row.bytes.size()), written));
        CHECK_EQ(written, std::uint32_t(row.bytes.size()));
        CHECK_EQ(peer.receive(row.bytes.size()), row.bytes);
        REQUIRE(peer.send(row.bytes));
        CHECK_EQ(receiveAll(*device, row.bytes.size()), row.bytes);
    }
}

void readsWhatIsQueued()
{
    auto device = openPort("port");
    Peer peer;
    REQUIRE(device->setCommMask(ev::RxChar));
    REQUIRE(peer.send("abc"));
    std::uint32_t queued = 0;
    while (queued < 3) {
        BackgroundWait wait(*device);
        REQUIRE(wait.result() == WaitResult::Event);
        REQUIRE(device->inputQueue(queued));
    }
    // Under the default time-outs a read takes what is there, fewer than asked.
    char bytes[10] = {};
    std::uint32_t got = 0;
    CHECK(device->read(bytes, sizeof bytes, got));
    CHECK_EQ(std::string(bytes, got), std::string("abc"));
    if (underWine()) {
        // wine keeps an overlapped read of an empty queue pending (and no
        // purge ends it), where Windows completes it at once with 0 bytes.
        wintest::notShown("a read of an empty queue returns at once with 0 bytes");
        return;
    }
    CHECK(device->read(bytes, sizeof bytes, got));
    CHECK_EQ(got, std::uint32_t(0));
}

void readTimeout()
{
    auto device = openPort("port");
    REQUIRE(device->setCommTimeouts({0, 0, 200, 100, 1000}));
    char bytes[10] = {};
    std::uint32_t got = 99;
    const Result read = device->read(bytes, sizeof bytes, got);
    CHECK_EQ(got, std::uint32_t(0));
    if (underWine()) {
        // wine ends a read whose total time-out runs out with ERROR_TIMEOUT;
        // Windows completes it successfully with the bytes it got.
        CHECK(!read);
        expectFailure(read.reason(), "ReadFile", ERROR_TIMEOUT);
        return;
    }
    CHECK(read);
}

void writeEndsAtItsTimeout()
{
    auto device = openPort("sink");
    REQUIRE(device->setCommTimeouts({0xffffffff, 0, 0, 0, 300}));
    // Far more than the line and its buffers hold while nobody reads.
    const std::string block(1 << 20, 'w');
    std::uint32_t written = 0;
    CHECK(device->write(block.data(), std::uint32_t(block.size()), written));
    CHECK(written > 0);
    CHECK(written < block.size());
    REQUIRE(device->purge(purge::TxAbort | purge::TxClear));
}

void waitReportsMaskedEvents()
{
    auto device = openPort("port");
    Peer peer;
    const struct
    {
        const char* name;
        std::uint32_t mask;
        bool peerSends;
    } rows[] = {
        {"a received byte", ev::RxChar, true},
        {"the transmitter empty after a write", ev::TxEmpty, false},
        {"a received byte, with every event asked for", 0x05bd, true},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        REQUIRE(device->setCommMask(row.mask));
        std::uint32_t written = 0;
        REQUIRE(row.peerSends ? peer.send("x") : bool(device->write("y", 1, written)));
        BackgroundWait wait(*device);
        CHECK_EQ(wait.result(), WaitResult::Event);
        CHECK((wait.events() & ~row.mask) == 0);
        CHECK((wait.events() & (row.peerSends ? ev::RxChar : ev::TxEmpty)) != 0);
        REQUIRE(device->purge(purge::RxClear | purge::TxClear));
        CHECK_EQ(peer.receive(row.peerSends ? 0 : 1), std::string(row.peerSends ? "" : "y"));
    }
}

void stopEndsEveryWait()
{
    auto device = openPort("port");
    REQUIRE(device->setCommMask(ev::RxChar));
    {
        BackgroundWait wait(*device);
        device->requestStop();
        CHECK_EQ(wait.result(), WaitResult::Stopped);
    }
    BackgroundWait later(*device);
    CHECK_EQ(later.result(), WaitResult::Stopped);
}

void maskChangeEndsTheWait()
{
    auto device = openPort("port");
    Peer peer;
    REQUIRE(device->setCommMask(ev::RxChar));
    {
        BackgroundWait wait(*device);
        // A mask set before the wait began does not end it, so repeat it.
        // (Windows ends the wait with mask 0, wine with "operation aborted":
        // both are a stop.)
        for (int tries = 0; tries < 200 && !wait.finishedWithin(100ms); ++tries)
            REQUIRE(device->setCommMask(ev::RxChar));
        CHECK_EQ(wait.result(), WaitResult::Stopped);
    }
    // Unlike a stop, a mask change ends only the wait it found.
    REQUIRE(peer.send("z"));
    BackgroundWait next(*device);
    CHECK_EQ(next.result(), WaitResult::Event);
    CHECK_EQ(next.events(), ev::RxChar);
}

void modemLinesAndEscape()
{
    auto device = openPort("port");
    // A pty has no modem lines: run-under-wine.sh gives them to it, so only
    // that the calls go through is shown, not the levels.
    for (const serial::Escape function : {serial::Escape::ClrDtr, serial::Escape::SetDtr,
                                          serial::Escape::ClrRts, serial::Escape::SetRts}) {
        const wintest::Row named("escape " + std::to_string(int(function)));
        CHECK(device->escape(function));
    }
    std::uint32_t status = 0xdead;
    CHECK(device->modemStatus(status));
    CHECK((status & ~std::uint32_t(0xf0)) == 0);
    CommStatus queues;
    CHECK(device->clearError(queues));
    CHECK_EQ(queues.inQueue, std::uint32_t(0));
}

void hangUpFailsTheWait()
{
    auto device = openPort("hangup");
    REQUIRE(device->setCommMask(ev::RxChar | ev::Err));
    // The far end goes away after six bytes, as an unplugged adapter would.
    std::uint32_t written = 0;
    REQUIRE(device->write("HANGUP", 6, written));
    {
        BackgroundWait wait(*device);
        CHECK_EQ(wait.result(), WaitResult::Failed);
    }
    CHECK(device->gone());
    // Every later wait fails at once, without waiting for an event.
    BackgroundWait again(*device);
    CHECK_EQ(again.result(), WaitResult::Failed);
    CommStatus queues;
    std::uint32_t status = 0;
    CHECK(!device->clearError(queues));
    CHECK(!device->modemStatus(status));
    CHECK(!device->escape(serial::Escape::SetDtr));
    const Result lateWrite = device->write("x", 1, written);
    CHECK(!lateWrite);
    // wine says that the device is not ready; Windows' drivers differ.
    if (underWine())
        expectFailure(lateWrite.reason(), "WriteFile", ERROR_NOT_READY);
}

void listsTheMappedPorts()
{
    std::vector<std::string> names;
    REQUIRE(listPortNames("", names));
    const auto listed = [&names](const std::string& port) {
        return std::find(names.begin(), names.end(), port) != names.end();
    };
    CHECK(listed(portNamed("port")));
    CHECK(listed(portNamed("peer")));
    CHECK(!listed(portNamed("missing")));
}

// A key laid out as the device map's, under HKEY_LOCAL_MACHINE.
constexpr const char* testKey = "Software\\QuartzelTests\\SERIALCOMM";

struct RegistryValue
{
    std::string name;
    std::string data; // stored as it is: a terminating zero only where it has one
};

void fillTestKey(const std::vector<RegistryValue>& values)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\QuartzelTests");
    HKEY key = nullptr;
    REQUIRE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, testKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS);
    for (const RegistryValue& value : values)
        CHECK(RegSetValueExA(key, value.name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.data.data()),
                             DWORD(value.data.size())) == ERROR_SUCCESS);
    RegCloseKey(key);
}

void listsAKeysPorts()
{
    const std::string z(1, '\0');
    const struct
    {
        const char* name;
        std::vector<RegistryValue> values;
        bool readable;
        std::vector<std::string> names; // in any order
    } rows[] = {
        {"no values", {}, true, {}},
        {"three ports",
         {{"\\Device\\Serial0", "COM1" + z},
          {"\\Device\\Serial9", "COM10" + z},
          {"\\Device\\Serial1", "COM2" + z}},
         true,
         {"COM1", "COM10", "COM2"}},
        {"two devices with one name",
         {{"\\Device\\Serial0", "COM3" + z}, {"\\Device\\VCP0", "COM3" + z}},
         true,
         {"COM3", "COM3"}},
        {"a text without its terminating zero", {{"\\Device\\Serial0", "COM4"}}, true, {"COM4"}},
        {"a text too long to read", {{"\\Device\\Serial0", std::string(300, 'C') + z}}, false, {}},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        fillTestKey(row.values);
        std::vector<std::string> names = {"left alone"};
        const Result listed = listPortNames(testKey, names);
        CHECK_EQ(bool(listed), row.readable);
        if (!row.readable) {
            CHECK(names == std::vector<std::string>{"left alone"});
            expectFailure(listed.reason(), "RegEnumValueA", ERROR_MORE_DATA);
            continue;
        }
        std::vector<std::string> expected = row.names;
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        CHECK(names == expected);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\QuartzelTests");
    std::vector<std::string> names;
    const Result missing = listPortNames(testKey, names);
    CHECK(!missing);
    expectFailure(missing.reason(), "RegOpenKeyExA", ERROR_FILE_NOT_FOUND);
}

} // namespace

int main(int argc, char** argv)
{
    // role=PORT arguments name the ports; the others name cases.
    std::vector<char*> caseArguments = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto equals = argument.find('=');
        if (equals == std::string::npos)
            caseArguments.push_back(argv[i]);
        else
            ports[argument.substr(0, equals)] = argument.substr(equals + 1);
    }
    return wintest::runCases(
        {
            {"opensOnce", opensOnce},
            {"openFailures", openFailures},
            {"lineSettingsReadBack", lineSettingsReadBack},
            {"refusedLineSettings", refusedLineSettings},
            {"bytesBothWays", bytesBothWays},
            {"readsWhatIsQueued", readsWhatIsQueued},
            {"readTimeout", readTimeout},
            {"writeEndsAtItsTimeout", writeEndsAtItsTimeout},
            {"waitReportsMaskedEvents", waitReportsMaskedEvents},
            {"stopEndsEveryWait", stopEndsEveryWait},
            {"maskChangeEndsTheWait", maskChangeEndsTheWait},
            {"modemLinesAndEscape", modemLinesAndEscape},
            {"hangUpFailsTheWait", hangUpFailsTheWait},
            {"listsTheMappedPorts", listsTheMappedPorts},
            {"listsAKeysPorts", listsAKeysPorts},
        },
        int(caseArguments.size()), caseArguments.data());
}
