#include "Single_Instance.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace Platform {

Single_Instance::~Single_Instance() { Release(); }

bool Single_Instance::Acquire(const std::string& lock_path) {
    Release();
#ifndef _WIN32
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
#endif
    return true;
}

void Single_Instance::Release() {
#ifndef _WIN32
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
#endif
    fd_ = -1;
}

}  // namespace Platform
