#include "recording/Binary_File.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include <unistd.h>

#include "platform/HdxError.h"

namespace {
// Offsets of this format are 32-bit; a long holds them on every platform.
constexpr int64_t Max_Offset = std::numeric_limits<int32_t>::max();

[[noreturn]] void Fail(int error_code, const std::string& what) {
    throw HdxError(Binary_File::Error_Number(error_code), what + ": " + Binary_File::Error_Text(error_code));
}
}  // namespace

Binary_File::~Binary_File() { Close(); }

int Binary_File::Error_Number(int error_code) {
    switch (error_code) {
        case ENOENT: return HdxErr::FileNotFound;
        case EEXIST: return HdxErr::FileAlreadyExists;
        case ENOSPC: return HdxErr::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS: return HdxErr::PermissionDenied;
        case ENOTDIR: return HdxErr::PathNotFound;
        default: return HdxErr::PathFileAccess;
    }
}

std::string Binary_File::Error_Text(int error_code) {
    switch (Error_Number(error_code)) {
        case HdxErr::FileNotFound: return "File not found";
        case HdxErr::FileAlreadyExists: return "File already exists";
        case HdxErr::DiskFull: return "Disk full";
        case HdxErr::PermissionDenied: return "Permission denied";
        case HdxErr::PathNotFound: return "Path not found";
        default: break;
    }
    const char* text = std::strerror(error_code);
    return std::string("Path/File access error (") + (text ? text : "unknown") + ")";
}

void Binary_File::Open(const std::string& path, Mode mode) {
    Close();
    const char* how = mode == Mode::Read ? "rb" : mode == Mode::Read_Write ? "r+b" : "wb+x";
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), how);
    if (!f) {
        const int code = errno ? errno : EACCES;
        // A missing folder on the way is "path not found", not "file not found".
        Fail(code == ENOENT && mode == Mode::Create_New ? ENOTDIR : code, path);
    }
    std::setvbuf(f, nullptr, _IONBF, 0);
    file_ = f;
    path_ = path;
    position_ = 0;
    writable_ = mode != Mode::Read;
}

void Binary_File::Close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    position_ = 0;
    writable_ = false;
}

int64_t Binary_File::Length() {
    if (!file_) throw HdxError(HdxErr::BadFileMode, "No file open");
    if (std::fseek(file_, 0, SEEK_END) != 0) Fail(errno, path_);
    const long end = std::ftell(file_);
    if (end < 0) Fail(errno, path_);
    return end;
}

void Binary_File::Seek(int64_t position) {
    if (!file_) throw HdxError(HdxErr::BadFileMode, "No file open");
    if (position < 0 || position > Max_Offset)
        throw HdxError(HdxErr::Overflow, "Overflow: file position " + std::to_string(position) +
                                             " is outside the 32-bit range of a recording");
    position_ = position;
}

size_t Binary_File::Read(void* buffer, size_t count) {
    if (!file_) throw HdxError(HdxErr::BadFileMode, "No file open");
    if (count == 0) return 0;
    if (std::fseek(file_, static_cast<long>(position_), SEEK_SET) != 0) Fail(errno, path_);
    const size_t got = std::fread(buffer, 1, count, file_);
    if (got < count && std::ferror(file_)) {
        const int code = errno;
        std::clearerr(file_);
        throw HdxError(HdxErr::DeviceIO, "Device I/O error reading " + path_ + ": " + Error_Text(code));
    }
    std::clearerr(file_);
    position_ += static_cast<int64_t>(got);
    return got;
}

void Binary_File::Write(const void* buffer, size_t count) {
    if (!file_) throw HdxError(HdxErr::BadFileMode, "No file open");
    if (!writable_)
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + path_ + " is open for reading only");
    if (count == 0) return;
    if (position_ + static_cast<int64_t>(count) > Max_Offset + 1)
        throw HdxError(HdxErr::Overflow, "Overflow: a recording is limited to 2147483647 bytes");
    if (std::fseek(file_, static_cast<long>(position_), SEEK_SET) != 0) Fail(errno, path_);
    errno = 0;
    const size_t put = std::fwrite(buffer, 1, count, file_);
    if (put < count || std::fflush(file_) != 0) {
        const int code = errno ? errno : EIO;
        std::clearerr(file_);
        Fail(code, "Writing " + path_);
    }
    position_ += static_cast<int64_t>(count);
}

void Binary_File::Sync() {
    if (!file_) throw HdxError(HdxErr::BadFileMode, "No file open");
    if (!writable_) return;
    if (::fsync(::fileno(file_)) != 0 && errno != EINVAL && errno != EROFS) Fail(errno, "Writing " + path_);
}
