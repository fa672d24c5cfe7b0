#pragma once
#include <string>

#include "Error_Entry.h"

namespace Platform {

// Default trace socket: $XDG_RUNTIME_DIR/houndex-trace.sock, else /tmp/houndex-trace-<uid>.sock.
std::string Default_Trace_Socket_Path();

// Sends trace lines as datagrams to the viewer's socket. The viewer is looked
// for once, at the first line; with none listening then, every line of the run
// is dropped silently (starting a viewer later shows nothing for this run).
class Trace_Socket_Sink : public ITraceSink {
public:
    explicit Trace_Socket_Sink(std::string socket_path = Default_Trace_Socket_Path());
    ~Trace_Socket_Sink() override;
    void Send(const std::string& line) override;
    bool Looked() const { return looked_; }
    bool Connected() const { return fd_ >= 0; }

private:
    std::string path_;
    bool looked_ = false;
    int fd_ = -1;
};

// The viewer's side: binds the socket and hands back each line received.
class Trace_Socket_Listener {
public:
    explicit Trace_Socket_Listener(std::string socket_path = Default_Trace_Socket_Path());
    ~Trace_Socket_Listener();
    bool Ok() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }
    // Waits up to timeout_ms (-1 forever); false on time-out or error.
    bool Receive(std::string& line, int timeout_ms);

private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

}  // namespace Platform
