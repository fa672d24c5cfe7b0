#include "Files.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>

#include "Clock.h"
#include "HdxError.h"

namespace fs = std::filesystem;

namespace Platform {

namespace {
thread_local int g_last_error = 0;

void Set_Error(std::string* out, const std::string& text) {
    if (out) *out = text;
}

Durable_Step_Observer g_durable_observer;

void Observe(const char* step, const std::string& path) {
    if (g_durable_observer) g_durable_observer(step, path);
}

bool Fail_Errno(std::string* error, const std::string& what) {
    g_last_error = errno;
    Set_Error(error, what + ": " + std::strerror(errno));
    return false;
}

// Writes all bytes to a new file and waits until they are on the device.
bool Write_Synced(const std::string& path, const std::string& bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Fail_Errno(error, path);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            Fail_Errno(error, path);
            ::close(fd);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        Fail_Errno(error, path);
        ::close(fd);
        return false;
    }
    Observe("sync", path);
    if (::close(fd) != 0) return Fail_Errno(error, path);
    return true;
}

// The folder's entry of a renamed file reaches the device only with the folder itself.
bool Sync_Folder(const std::string& folder, std::string* error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Fail_Errno(error, folder);
    // Some file systems cannot sync a folder; their rename is then as durable as it gets.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    if (!ok) Fail_Errno(error, folder);
    ::close(fd);
    if (ok) Observe("sync folder", folder);
    return ok;
}
}  // namespace

void Set_Durable_Step_Observer(Durable_Step_Observer observer) { g_durable_observer = std::move(observer); }

char Path_Separator() { return static_cast<char>(fs::path::preferred_separator); }

std::string Join_Path(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    if (last == '/' || last == '\\') return folder + name;
    return folder + Path_Separator() + name;
}

bool File_Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool Same_File(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, ec) && !ec;
}

bool Folder_Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool Is_Read_Only(const std::string& path) {
    std::error_code ec;
    if (path.empty()) return false;
    const auto st = fs::status(path, ec);
    if (ec || !fs::exists(st)) return false;
    const auto w = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (st.permissions() & w) == fs::perms::none;
}

bool Set_Read_Only(const std::string& path, bool read_only) {
    std::error_code ec;
    const auto w = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (read_only)
        fs::permissions(path, w, fs::perm_options::remove, ec);
    else
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
}

bool Create_Folders(const std::string& path) {
    std::error_code ec;
    if (path.empty()) return false;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

int64_t File_Size(const std::string& path) {
    std::error_code ec;
    const auto n = fs::file_size(path, ec);
    if (ec) return -1;
    return static_cast<int64_t>(n);
}

void Delete_File(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) throw HdxError(HdxErr::FileNotFound, "File not found");
    if (fs::is_directory(path, ec)) throw HdxError(HdxErr::PathFileAccess, "Path/File access error");
    if (Is_Read_Only(path)) Set_Read_Only(path, false);
    if (!fs::remove(path, ec) || ec) {
        g_last_error = ec.value();
        throw HdxError(HdxErr::PermissionDenied, "Permission denied");
    }
}

bool Replace_File(const std::string& source, const std::string& target, std::string* error) {
    std::error_code ec;
    fs::rename(source, target, ec);
    if (ec) {
        g_last_error = ec.value();
        Set_Error(error, ec.message());
        return false;
    }
    return true;
}

bool Write_File_Atomic(const std::string& target, const std::string& bytes, std::string* error) {
    // The new file lives beside the target so the rename stays on one file system.
    static std::mt19937_64 rng{std::random_device{}()};
    const std::string tmp = target + ".tmp" + std::to_string(rng() % 1000000);
    auto discard = [&] {
        std::error_code ec;
        fs::remove(tmp, ec);
        return false;
    };
    if (!Write_Synced(tmp, bytes, error)) return discard();
    {
        // The new file takes over the old one's permissions.
        std::error_code ec;
        const auto st = fs::status(target, ec);
        if (!ec && fs::exists(st)) fs::permissions(tmp, st.permissions(), ec);
    }
    if (!Replace_File(tmp, target, error)) return discard();
    Observe("rename", target);
    std::string folder = fs::path(target).parent_path().string();
    if (folder.empty()) folder = ".";
    return Sync_Folder(folder, error);
}

bool Read_File(const std::string& path, std::string& bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        g_last_error = errno;
        Set_Error(error, std::strerror(errno));
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string File_Date_Text(const std::string& path) {
    std::error_code ec;
    const auto ft = fs::last_write_time(path, ec);
    if (ec) return "";
    // file_clock and system_clock differ by a fixed offset; GCC 12 lacks clock_cast.
    const auto sys = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        ft - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    const DateTime d = To_Local(sys);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
    return buf;
}

std::string Executable_Path() {
    std::error_code ec;
#ifdef _WIN32
    return "";
#else
    const auto p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
#endif
}

std::string Executable_Name() {
    const std::string p = Executable_Path();
    if (p.empty()) return "houndex";
    return fs::path(p).stem().string();
}

std::string Executable_Folder() {
    const std::string p = Executable_Path();
    if (p.empty()) return ".";
    return fs::path(p).parent_path().string();
}

std::string Temp_Folder() {
    std::error_code ec;
    return fs::temp_directory_path(ec).string();
}

std::string User_Data_Home() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return x;
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.local/share";
    return "";
}

std::string Videos_Folder() { return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation).toStdString(); }

std::string Local_AppData_Folder() {
    if (const char* d = std::getenv("HOUNDEX_DATA_DIR"); d && *d) return d;
    const std::string base = User_Data_Home();
    return base.empty() ? base : Join_Path(base, "Houndex_HDMI");
}

std::string Last_System_Error_Text() { return std::strerror(g_last_error ? g_last_error : errno); }
int Last_System_Error() { return g_last_error ? g_last_error : errno; }

}  // namespace Platform
