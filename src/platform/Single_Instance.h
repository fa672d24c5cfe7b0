#pragma once
#include <string>

namespace Platform {

// The previous-instance indication: an exclusive lock on a file in the data
// folder, held for the life of the process and released by the system when the
// process ends, however it ends.
class Single_Instance {
public:
    Single_Instance() = default;
    ~Single_Instance();
    Single_Instance(const Single_Instance&) = delete;
    Single_Instance& operator=(const Single_Instance&) = delete;

    // True when this process now holds the lock; false when another holder has it.
    // A lock file that cannot be created counts as no other instance.
    bool Acquire(const std::string& lock_path);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace Platform
