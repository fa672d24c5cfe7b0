#include "Trace_Socket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace Platform {

namespace {
#ifndef _WIN32
bool Make_Address(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}
#endif
}  // namespace

std::string Default_Trace_Socket_Path() {
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r) return std::string(r) + "/houndex-trace.sock";
#ifndef _WIN32
    return "/tmp/houndex-trace-" + std::to_string(getuid()) + ".sock";
#else
    return "";
#endif
}

Trace_Socket_Sink::Trace_Socket_Sink(std::string socket_path) : path_(std::move(socket_path)) {}

Trace_Socket_Sink::~Trace_Socket_Sink() {
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
}

void Trace_Socket_Sink::Send(const std::string& line) {
#ifndef _WIN32
    if (!looked_) {
        looked_ = true;
        sockaddr_un addr{};
        if (!Make_Address(path_, addr)) return;
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return;
        }
        // A stalled viewer may hold the program up to 5 s per line, no longer.
        timeval tv{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        fd_ = fd;
    }
    if (fd_ < 0) return;
    (void)::send(fd_, line.data(), line.size(), MSG_NOSIGNAL);
#else
    (void)line;
#endif
}

Trace_Socket_Listener::Trace_Socket_Listener(std::string socket_path) : path_(std::move(socket_path)) {
#ifndef _WIN32
    sockaddr_un addr{};
    if (!Make_Address(path_, addr)) {
        error_ = "socket path too long: " + path_;
        return;
    }
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    ::unlink(path_.c_str());  // a stale socket of an earlier viewer
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error_ = std::strerror(errno);
        ::close(fd);
        return;
    }
    fd_ = fd;
#endif
}

Trace_Socket_Listener::~Trace_Socket_Listener() {
#ifndef _WIN32
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
#endif
}

bool Trace_Socket_Listener::Receive(std::string& line, int timeout_ms) {
#ifndef _WIN32
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeout_ms);
    if (r <= 0) return false;
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n < 0) return false;
    line.assign(buf, static_cast<size_t>(n));
    return true;
#else
    (void)line;
    (void)timeout_ms;
    return false;
#endif
}

}  // namespace Platform
