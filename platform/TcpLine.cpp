// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TcpLine.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <algorithm>
#include <utility>

#include "platform/TimedPause.h"

namespace platform {
namespace {

// Waits are cut into slices, so that interrupt() is seen within one.
constexpr int kSliceMs = 20;

#ifdef _WIN32
using Socket = SOCKET;
std::string lastError() {
    const int code = WSAGetLastError();
    // The common ones in the words the other systems use, which the
    // messages' catalogue gives in Russian.
    static const std::pair<int, const char*> kKnown[] = {{WSAECONNREFUSED, "Connection refused"},
                                                         {WSAETIMEDOUT, "Connection timed out"},
                                                         {WSAECONNRESET, "Connection reset by peer"},
                                                         {WSAECONNABORTED, "Connection reset by peer"},
                                                         {WSAEHOSTUNREACH, "No route to host"},
                                                         {WSAENETUNREACH, "Network is unreachable"},
                                                         {WSAEADDRNOTAVAIL, "Cannot assign requested address"}};
    for (const auto& [known, words] : kKnown)
        if (code == known) return words;
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(code), MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text),
                   0, nullptr);
    std::string s = text ? text : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return s;
}
void closeSocket(Socket s) { closesocket(s); }
bool inProgress() { return WSAGetLastError() == WSAEWOULDBLOCK; }
struct Winsock {
    Winsock() {
        WSADATA d;
        ok = WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }
    ~Winsock() {
        if (ok) WSACleanup();
    }
    bool ok = false;
};
bool winsockReady() {
    static Winsock w;
    return w.ok;
}
#else
using Socket = int;
std::string lastError() { return std::strerror(errno); }
void closeSocket(Socket s) { ::close(s); }
bool inProgress() { return errno == EINPROGRESS; }
bool winsockReady() { return true; }
#endif

Socket toSocket(long long s) { return static_cast<Socket>(s); }

}  // namespace

bool splitTcpName(const std::string& name, std::string& host, std::string& port) {
    if (name.rfind("tcp:", 0) != 0) return false;
    const std::string rest = name.substr(4);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) return false;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) || port.size() > 5)
        return false;
    const long number = std::stol(port);
    return number > 0 && number < 65536;
}

bool isTcpName(const std::string& name) { return name.rfind("tcp:", 0) == 0; }

TcpLine::TcpLine(std::string name) : DeviceLine(std::move(name)) {}

TcpLine::~TcpLine() { close(); }

bool TcpLine::fail(const std::string& reason) {
    close();
    return failed(reason);
}

int TcpLine::waitFor(bool writable, int ms) const {
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(toSocket(socket_), &set);
    fd_set errors;
    FD_ZERO(&errors);
    FD_SET(toSocket(socket_), &errors);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int r = select(0, writable ? nullptr : &set, writable ? &set : nullptr, &errors, &tv);
    if (r < 0) return -1;
    if (r > 0 && FD_ISSET(toSocket(socket_), &errors)) return writable ? -1 : 1;
    return r > 0 ? 1 : 0;
#else
    pollfd p{toSocket(socket_), static_cast<short>(writable ? POLLOUT : POLLIN), 0};
    const int r = poll(&p, 1, ms);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
#endif
}

bool TcpLine::open() {
    close();
    std::string host, port;
    if (!splitTcpName(name(), host, port)) return fail("not a network address: write tcp:HOST:PORT");
    if (!winsockReady()) return fail("the network is not available: " + lastError());
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int looked = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (looked != 0 || !found) return fail("no such host: " + host);
    std::string why;
    for (addrinfo* a = found; a && socket_ == kNone; a = a->ai_next) {
        const Socket s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
#ifdef _WIN32
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
#else
        if (s < 0) continue;
        fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
        fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
        socket_ = static_cast<long long>(s);
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 && !inProgress()) {
            why = lastError();
            close();
            continue;
        }
        // Waited in slices: the program's end does not wait for the host.
        int left = static_cast<int>(kConnectTime.count());
        int ready = 0;
        while (left > 0 && !interrupted_.load() && (ready = waitFor(true, std::min(left, kSliceMs))) == 0)
            left -= kSliceMs;
        int error = 0;
        socklen_t size = sizeof error;
        // A connection that failed keeps why on the socket; Windows tells
        // the failure as the socket's exception, not as writable.
        if (ready != 0) getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        if (ready != 1 || error != 0) {
            if (error != 0) {
#ifdef _WIN32
                WSASetLastError(error);
#else
                errno = error;
#endif
            }
            if (interrupted_.load()) {
                close();
                freeaddrinfo(found);
                return fail("the connection was given up: the program ends");
            }
            why = ready == 1 || ready < 0 ? lastError()
                                          : "no answer within " + std::to_string(kConnectTime.count() / 1000) +
                                                " s (is this computer on the adapter's network?)";
            close();
            continue;
        }
        const int one = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    }
    freeaddrinfo(found);
    if (socket_ == kNone) return fail("cannot reach " + host + " port " + port + ": " + why);
    return opened();
}

void TcpLine::close() {
    if (socket_ != kNone) {
        closeSocket(toSocket(socket_));
        socket_ = kNone;
    }
}

void TcpLine::write(const std::uint8_t* data, std::size_t size) {
#ifdef MSG_NOSIGNAL
    constexpr int kFlags = MSG_NOSIGNAL;  // a closed connection is an error, not the program's end
#else
    constexpr int kFlags = 0;
#endif
    std::size_t sent = 0;
    while (socket_ != kNone && sent < size && !interrupted_.load()) {
        const auto n = ::send(toSocket(socket_), reinterpret_cast<const char*>(data + sent),
                              static_cast<int>(size - sent), kFlags);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (inProgress() || waitFor(true, kSliceMs) >= 0)) {
#ifndef _WIN32
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return;
#endif
            continue;
        }
        return;
    }
}

std::size_t TcpLine::read(std::uint8_t* buffer, std::size_t max) {
    if (socket_ == kNone || max == 0) return 0;
    const auto totalDeadline = Clock::now() + ReadTimeouts::total(max);
    Clock::time_point intervalDeadline = Clock::time_point::max();
    std::size_t got = 0;
    while (got < max && !interrupted_.load(std::memory_order_relaxed)) {
        const auto deadline = std::min(totalDeadline, intervalDeadline);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        const int r = waitFor(false, static_cast<int>(std::min<long long>(left, kSliceMs)));
        if (r < 0) break;
        if (r == 0) continue;
        const auto n = ::recv(toSocket(socket_), reinterpret_cast<char*>(buffer + got), static_cast<int>(max - got), 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            intervalDeadline = Clock::now() + std::chrono::milliseconds(ReadTimeouts::kInterval);
            continue;
        }
        if (n < 0 && inProgress()) continue;
#ifndef _WIN32
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
#endif
        // The adapter closed the connection: nothing more comes until it is opened again.
        close();
        break;
    }
    return got;
}

void TcpLine::purgeReceive() {
    // What is there now, and no more than a serial port's queue would hold:
    // a peer that never stops sending cannot keep the purge going.
    constexpr std::size_t kQueue = 64 * 1024;
    std::uint8_t drop[4096];
    std::size_t dropped = 0;
    while (socket_ != kNone && dropped < kQueue && !interrupted_.load() && waitFor(false, 0) == 1) {
        const auto n = ::recv(toSocket(socket_), reinterpret_cast<char*>(drop), sizeof drop, 0);
        if (n <= 0) break;
        dropped += static_cast<std::size_t>(n);
    }
}

void TcpLine::wakeUp() { pauseFor(WakeTiming::kTotal); }

void TcpLine::interrupt() {
    endRests();
    interrupted_.store(true, std::memory_order_relaxed);
}

}  // namespace platform
