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
}  // namespace

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
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            g_last_error = errno;
            Set_Error(error, std::strerror(errno));
            return false;
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            g_last_error = errno;
            Set_Error(error, std::strerror(errno));
            out.close();
            std::error_code ec;
            fs::remove(tmp, ec);
            return false;
        }
    }
    {
        // The new file takes over the old one's permissions.
        std::error_code ec;
        const auto st = fs::status(target, ec);
        if (!ec && fs::exists(st)) fs::permissions(tmp, st.permissions(), ec);
    }
    if (!Replace_File(tmp, target, error)) {
        std::error_code ec;
        fs::remove(tmp, ec);
        return false;
    }
    return true;
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
