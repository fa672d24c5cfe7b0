#include "recording/Frame_Journal.h"

#include <algorithm>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Files.h"

namespace {
const char Magic[8] = {'H', 'D', 'X', 'J', 'R', 'N', 'L', '1'};
const char Record_Magic[4] = {'J', 'R', 'E', 'C'};
constexpr size_t Record_Head = 4 + 8 + 4 * 3 + 2 + 4 + 1 + 4 * 3;  // then the bytes, then the check sum
constexpr int32_t Sync_Every_Ms = 200;

void Put(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}
template <class T>
void Put_Int(std::vector<uint8_t>& out, T v) {
    for (size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
}
template <class T>
T Get_Int(const uint8_t* p) {
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return static_cast<T>(v);
}
uint32_t Check_Sum(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}
}  // namespace

Frame_Journal::Frame_Journal(const std::string& recording, int32_t frames_before) : path_(Path_For(recording)) {
    if (Platform::File_Exists(path_)) Platform::Delete_File(path_);
    file_.Open(path_, Binary_File::Mode::Create_New);
    try {
        std::vector<uint8_t> head;
        Put(head, Magic, sizeof Magic);
        Put_Int<int32_t>(head, frames_before);
        file_.Write(head.data(), head.size());
        file_.Sync();
    } catch (...) {
        // A journal without its whole head would be reported at every start-up.
        file_.Close();
        try {
            Platform::Delete_File(path_);
        } catch (...) {
        }
        throw;
    }
}

Frame_Journal::Frame_Journal(const std::string& recording, Continuing) : path_(Path_For(recording)) {
    file_.Open(path_, Binary_File::Mode::Read_Write);
    file_.Seek(file_.Length());
}

std::shared_ptr<Frame_Journal> Frame_Journal::Continue(const std::string& recording) {
    return std::shared_ptr<Frame_Journal>(new Frame_Journal(recording, Continuing{}));
}

Frame_Journal::~Frame_Journal() { file_.Close(); }

void Frame_Journal::Add(int64_t sequence, const Stored_Frame_Ref& frame) {
    const Stored_Jpeg& j = frame.Jpeg;
    if (!j.Data || j.Size <= 0) return;
    // Called on the compression workers: nothing may leave here.
    try {
        std::vector<uint8_t> r;
        r.reserve(Record_Head + static_cast<size_t>(j.Size) + 4);
        Put(r, Record_Magic, sizeof Record_Magic);
        Put_Int<int64_t>(r, sequence);
        Put_Int<int32_t>(r, frame.Capture_Mill);
        Put_Int<int32_t>(r, frame.Capture_Local);
        Put_Int<int32_t>(r, frame.Capture_Delta);
        Put_Int<int16_t>(r, j.Quality);
        Put_Int<int32_t>(r, j.Data_Area);
        r.push_back(j.Too_Large ? 1 : 0);
        Put_Int<int32_t>(r, j.Largest);
        Put_Int<int32_t>(r, j.Smallest);
        Put_Int<int32_t>(r, j.Size);
        Put(r, j.Data, static_cast<size_t>(j.Size));
        Put_Int<uint32_t>(r, Check_Sum(r.data(), r.size()));
        std::lock_guard<std::mutex> lock(mutex_);
        if (!problem_.empty() || !file_.Is_Open()) return;
        try {
            // One write per record: a kill leaves the records before it whole.
            file_.Write(r.data(), r.size());
            ++records_;
            // On the device every 200 ms of pictures: a power cut loses at most that.
            if (Platform::Mill_Since(synced_at_, frame.Capture_Mill) > Sync_Every_Ms ||
                Platform::Mill_Since(synced_at_, frame.Capture_Mill) < 0) {
                file_.Sync();
                synced_at_ = frame.Capture_Mill;
            }
        } catch (const std::exception& e) {
            Stop(e.what());
        }
    } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        Stop(e.what());
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        Stop("unknown failure");
    }
}

void Frame_Journal::Stop(const std::string& why) {
    if (!problem_.empty()) return;
    problem_ = "The capture journal " + path_ + " stopped after " + std::to_string(records_) + " frames: " + why;
}

void Frame_Journal::Sync() {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        if (file_.Is_Open()) file_.Sync();
    } catch (const std::exception& e) {
        Stop(e.what());
    }
}

void Frame_Journal::Discard() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.Close();
    try {
        Platform::Delete_File(path_);
    } catch (...) {
        // Left behind, it is recognised as already in the recording (frames_before).
    }
}

void Frame_Journal::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.Close();
}

int32_t Frame_Journal::Records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

std::string Frame_Journal::Problem() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problem_;
}

Frame_Journal::Contents Frame_Journal::Read(const std::string& journal_path) {
    Contents c;
    std::string bytes;
    if (!Platform::Read_File(journal_path, bytes)) return c;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    if (n < sizeof Magic + 4 || std::memcmp(p, Magic, sizeof Magic) != 0) return c;
    c.ok = true;
    c.frames_before = Get_Int<int32_t>(p + sizeof Magic);
    size_t at = sizeof Magic + 4;
    while (at + Record_Head + 4 <= n && std::memcmp(p + at, Record_Magic, 4) == 0) {
        const uint8_t* r = p + at;
        const int32_t size = Get_Int<int32_t>(r + Record_Head - 4);
        if (size <= 0 || at + Record_Head + static_cast<size_t>(size) + 4 > n) break;
        const size_t body = Record_Head + static_cast<size_t>(size);
        if (Get_Int<uint32_t>(r + body) != Check_Sum(r, body)) break;
        Frame f;
        f.sequence = Get_Int<int64_t>(r + 4);
        f.mill = Get_Int<int32_t>(r + 12);
        f.local = Get_Int<int32_t>(r + 16);
        f.delta = Get_Int<int32_t>(r + 20);
        f.facts.Quality = Get_Int<int16_t>(r + 24);
        f.facts.Data_Area = Get_Int<int32_t>(r + 26);
        f.facts.Too_Large = r[30] != 0;
        f.facts.Largest = Get_Int<int32_t>(r + 31);
        f.facts.Smallest = Get_Int<int32_t>(r + 35);
        f.facts.Size = size;
        f.bytes.assign(r + Record_Head, r + body);
        c.frames.push_back(std::move(f));
        at += body + 4;
    }
    c.damaged_bytes = static_cast<int64_t>(n - at);
    std::stable_sort(c.frames.begin(), c.frames.end(),
                     [](const Frame& a, const Frame& b) { return a.sequence < b.sequence; });
    return c;
}

std::optional<Stored_Frame_Ref> Frame_Journal::Frames::Item(int32_t index) const {
    if (index < 1 || index > Count()) return std::nullopt;
    const Frame& f = frames_[static_cast<size_t>(index - 1)];
    Stored_Frame_Ref ref;
    ref.Capture_Mill = f.mill;
    ref.Capture_Local = f.local;
    ref.Capture_Delta = f.delta;
    ref.Jpeg = f.facts;
    ref.Jpeg.Data = f.bytes.data();
    return ref;
}
