// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Win32SerialLine.h"

#ifdef _WIN32

#include <algorithm>
#include <cctype>

#include "platform/TimedPause.h"

namespace platform {
namespace {

std::string systemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return s;
}

std::string openFailure(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such port (see the Device Manager, \"Ports (COM & LPT)\", for the adapter's COM number)";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return "in use by another program";
        default:
            return systemMessage(code);
    }
}

// Wine emulates the rate of a custom speed through the Linux driver and reads
// back its stand-in (38400), not the port's rate: there the driver's word is
// all there is.
bool underWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

}  // namespace

Win32SerialLine::Win32SerialLine(std::string port, WakeMethod wake) : DeviceLine(std::move(port)), wakeMethod_(wake) {}

Win32SerialLine::~Win32SerialLine() { close(); }

std::string Win32SerialLine::devicePath(const std::string& port) {
    std::string upper = port;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    const bool isCom = upper.size() > 3 && upper.compare(0, 3, "COM") == 0 &&
                       upper.find_first_not_of("0123456789", 3) == std::string::npos;
    return isCom ? "\\\\.\\" + upper : port;
}

bool Win32SerialLine::fail(const std::string& reason) {
    close();
    return failed(reason);
}

bool Win32SerialLine::open() {
    close();
    gone_ = false;
    handle_ = CreateFileA(devicePath(name()).c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return fail(openFailure(GetLastError()));
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return fail("not a serial port");
    // Every field set, none inherited from whoever used the port last: a
    // driver told to drop zero bytes (fNull) would shift every reply while
    // the echo still matched; one told to stop at a line error (fAbortOnError)
    // would fail every read after a break.
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(handle_, &dcb)) return fail(systemMessage(GetLastError()));
    const unsigned rate = portRate_.load();
    if (!setRate(rate)) {
        if (grantedBaud_ == 0) return fail(systemMessage(GetLastError()));
        return fail("rate not granted: the port runs at " + std::to_string(grantedBaud_) + " baud, not " +
                    std::to_string(rate));
    }
    // Each ReadFile returns what has come at once, or waits a slice for the
    // first byte: the link's time-outs are kept by read() in slices, so that
    // the end of the program never waits for a read's whole time-out.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = kReadSliceMs;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(handle_, &t)) return fail(systemMessage(GetLastError()));
    purgeReceive();
    return opened();
}

void Win32SerialLine::close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool Win32SerialLine::setRate(unsigned baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = baud;
    if (!SetCommState(handle_, &dcb)) return false;
    if (underWine()) {
        grantedBaud_ = baud;
        return true;
    }
    DCB back{};
    back.DCBlength = sizeof back;
    if (!GetCommState(handle_, &back)) return false;
    grantedBaud_ = back.BaudRate;
    return rateClose(grantedBaud_, baud);
}

bool Win32SerialLine::setBreak(bool on) { return on ? SetCommBreak(handle_) != 0 : ClearCommBreak(handle_) != 0; }

void Win32SerialLine::write(const std::uint8_t* data, std::size_t size) {
    if (handle_ == INVALID_HANDLE_VALUE || interrupted_) return;
    DWORD written = 0;
    if (!WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr)) lost(GetLastError());
}

void Win32SerialLine::lost(DWORD error) {
    // What the USB serial drivers answer once their device was unplugged.
    if (interrupted_ ||
        (error != ERROR_BAD_COMMAND && error != ERROR_GEN_FAILURE && error != ERROR_ACCESS_DENIED &&
         error != ERROR_DEVICE_REMOVED && error != ERROR_OPERATION_ABORTED && error != ERROR_FILE_NOT_FOUND))
        return;
    if (gone_) return;  // said once as it goes, whichever call finds it first
    gone_ = true;
    note("the port went away (" + systemMessage(error) + "): is the adapter unplugged?");
}

bool Win32SerialLine::readSome(std::uint8_t* buffer, DWORD max, DWORD& got) {
    got = 0;
    return ReadFile(handle_, buffer, max, &got, nullptr) != 0;
}

std::size_t Win32SerialLine::read(std::uint8_t* buffer, std::size_t max) {
    if (handle_ == INVALID_HANDLE_VALUE || max == 0 || interrupted_) return 0;
    const auto totalDeadline = Clock::now() + ReadTimeouts::total(max);
    auto intervalDeadline = Clock::time_point::max();
    std::size_t got = 0;
    while (got < max && !interrupted_) {
        if (Clock::now() >= std::min(totalDeadline, intervalDeadline)) break;
        DWORD n = 0;
        if (!readSome(buffer + got, static_cast<DWORD>(max - got), n)) {
            lost(GetLastError());
            break;
        }
        if (n > 0) {
            got += n;
            intervalDeadline = Clock::now() + std::chrono::milliseconds(ReadTimeouts::kInterval);
        }
    }
    return got;
}

void Win32SerialLine::sendByte(std::uint8_t byte) { write(&byte, 1); }

void Win32SerialLine::drain() {
    if (handle_ != INVALID_HANDLE_VALUE) (void)FlushFileBuffers(handle_);  // the output has left the driver
}

bool Win32SerialLine::awaitZero(Clock::time_point deadline) {
    while (!interrupted_ && Clock::now() < deadline) {
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(handle_, &errors, &status)) return false;
        if (status.cbInQue > 0) {
            std::uint8_t got[64];
            DWORD n = 0;
            const DWORD want = status.cbInQue < sizeof got ? status.cbInQue : static_cast<DWORD>(sizeof got);
            if (!readSome(got, want, n)) return false;
            for (DWORD i = 0; i < n; ++i)
                if (got[i] == 0x00) return true;
            continue;  // not the echo: dropped
        }
        pauseFor(std::chrono::milliseconds(1));
    }
    return false;
}

void Win32SerialLine::purgeReceive() {
    if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
}

void Win32SerialLine::wakeUp() {
    if (handle_ == INVALID_HANDLE_VALUE || gone_) {
        pauseFor(WakeTiming::kTotal);
        return;
    }
    WakeMethod method = wakeMethod_.load();
    wokenMethod_ = runWake(*this, method, [this](const std::string& text) { note(text); }).method;
    wakeMethod_ = method;
}

bool Win32SerialLine::devicePresent() const {
    // The system keeps a name for every COM port that is there now; an
    // unplugged USB adapter's name goes with it.
    std::string port = name();
    if (port.rfind("\\\\.\\", 0) == 0) port = port.substr(4);
    char target[512];
    return QueryDosDeviceA(port.c_str(), target, sizeof target) != 0;
}

void Win32SerialLine::interrupt() {
    endRests();
    interrupted_ = true;
    // A read under way ends at once instead of running into its time-out.
    if (handle_ != INVALID_HANDLE_VALUE) CancelIoEx(handle_, nullptr);
}

}  // namespace platform

#endif
