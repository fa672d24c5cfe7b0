#include "Test_Env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {
std::string Make_Temp_Dir(const char* tag) {
    static std::mt19937_64 rng{std::random_device{}()};
    for (;;) {
        fs::path p =
            fs::temp_directory_path() / (std::string("houndex-") + tag + "-" + std::to_string(rng() % 100000000));
        std::error_code ec;
        if (fs::create_directory(p, ec)) return p.string();
    }
}

void Make_Writable(const fs::path& root) {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
}
}  // namespace

std::string Read_Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write_Text(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Trace_Recorder::Messages() const {
    std::vector<std::string> out;
    for (const auto& l : lines) {
        // prefix: exe C: instance: thread: yyyymmdd hhnnss: message
        size_t pos = 0;
        for (int i = 0; i < 4 && pos != std::string::npos; ++i) {
            pos = l.find(": ", pos);
            if (pos != std::string::npos) pos += 2;
        }
        std::string m = pos == std::string::npos ? l : l.substr(pos);
        if (!m.empty() && m.back() == '\t') m.pop_back();
        out.push_back(m);
    }
    return out;
}

bool Trace_Recorder::Has(const std::string& message) const {
    for (const auto& m : Messages())
        if (m == message) return true;
    return false;
}

void Hdx_Test::SetUp() {
    data_dir_ = Make_Temp_Dir("data");
    setenv("HOUNDEX_DATA_DIR", data_dir_.c_str(), 1);
    Platform::Set_Clock(&clock);
    Platform::Set_Dialogs(&dialogs);
    Platform::Set_Yield_Hook([] {});
    Set_Error_Reporter(&errors);
    Set_Trace_Sink(&traces);
}

void Hdx_Test::TearDown() {
    Freeze_Facts(Startup_Facts{});
    Set_Trace_Sink(nullptr);
    Set_Error_Reporter(nullptr);
    Platform::Set_Yield_Hook({});
    Platform::Set_Dialogs(nullptr);
    Platform::Set_Clock(nullptr);
    std::error_code ec;
    temp_dirs_.push_back(data_dir_);
    for (const auto& d : temp_dirs_) {
        Make_Writable(d);
        fs::remove_all(d, ec);
    }
}

std::string Hdx_Test::Path(const std::string& name) const { return (fs::path(data_dir_) / name).string(); }

std::string Hdx_Test::Temp_Dir() {
    temp_dirs_.push_back(Make_Temp_Dir("tmp"));
    return temp_dirs_.back();
}
