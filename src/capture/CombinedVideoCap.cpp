#include "capture/CombinedVideoCap.h"

#include "platform/HdxError.h"

namespace {

// The number after "video:", or 0 when the name is not of that form.
int32_t Source_Number(const std::string& name) {
    static const std::string prefix = "video:";
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size() || name.size() > prefix.size() + 6)
        return 0;
    int32_t n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

}  // namespace

CombinedVideoCap::CombinedVideoCap(std::vector<std::unique_ptr<IVideoCap>> parts) : parts_(std::move(parts)) {
    std::erase_if(parts_, [](const auto& p) { return !p; });
    part_cookies_.assign(parts_.size(), 0);
}

CombinedVideoCap::~CombinedVideoCap() {
    try {
        StopStream();
    } catch (...) {
        // Going away regardless.
    }
}

void CombinedVideoCap::Fail(const std::string& text) {
    last_error_ = text;
    throw HdxError(Capture_Component_Error, text);
}

int32_t CombinedVideoCap::AdviseEvents(IVideoCapEvent* sink) {
    if (!sink) Fail("AdviseEvents: no sink");
    for (size_t i = 0; i < parts_.size(); ++i) {
        if (part_cookies_[i] != 0) parts_[i]->UnadviseEvents(part_cookies_[i]);
        part_cookies_[i] = parts_[i]->AdviseEvents(sink);
    }
    cookie_ = next_cookie_++;
    return cookie_;
}

void CombinedVideoCap::UnadviseEvents(int32_t cookie) {
    if (cookie == 0 || cookie != cookie_) return;
    for (size_t i = 0; i < parts_.size(); ++i) {
        if (part_cookies_[i] != 0) parts_[i]->UnadviseEvents(part_cookies_[i]);
        part_cookies_[i] = 0;
    }
    cookie_ = 0;
}

bool CombinedVideoCap::SelectSource(const std::string& name) {
    int32_t n = Source_Number(name);
    if (n < 1) return false;
    for (size_t i = 0; i < parts_.size(); ++i) {
        const int32_t count = parts_[i]->Source_Count();
        if (n <= count) {
            if (!parts_[i]->SelectSource("video:" + std::to_string(n))) return false;
            selected_ = static_cast<int>(i);
            return true;
        }
        n -= count;
    }
    return false;
}

IVideoCap* CombinedVideoCap::Selected_Part() const {
    return selected_ < 0 ? nullptr : parts_[static_cast<size_t>(selected_)].get();
}

IVideoCap& CombinedVideoCap::Selected() {
    if (selected_ < 0) Fail("No video source selected");
    return *parts_[static_cast<size_t>(selected_)];
}

void CombinedVideoCap::SendCommand(const std::string& command, const std::string& argument) {
    last_error_.clear();
    Selected().SendCommand(command, argument);
}

std::string CombinedVideoCap::QueryString(const std::string& name) {
    if (name == "buildNumber" || name == "BuildNumber") {
        std::string text;
        for (const auto& p : parts_) {
            if (!text.empty()) text += ", ";
            text += p->QueryString(name);
        }
        return text;
    }
    return Selected().QueryString(name);
}

Media_Type CombinedVideoCap::Query_Media_Type(int32_t index) { return Selected().Query_Media_Type(index); }
Media_Type CombinedVideoCap::Query_Current_Media_Type() { return Selected().Query_Current_Media_Type(); }

Stream_Header CombinedVideoCap::Query_Stream_Header() {
    if (streaming_part_ >= 0) return parts_[static_cast<size_t>(streaming_part_)]->Query_Stream_Header();
    return Selected().Query_Stream_Header();
}

void CombinedVideoCap::StartStream() {
    last_error_.clear();
    IVideoCap& part = Selected();
    // One stream at a time: a different source stops the one running.
    if (streaming_part_ >= 0 && streaming_part_ != selected_)
        parts_[static_cast<size_t>(streaming_part_)]->StopStream();
    streaming_part_ = -1;
    part.StartStream();
    streaming_part_ = selected_;
}

void CombinedVideoCap::StopStream() {
    if (streaming_part_ < 0) return;
    const int part = streaming_part_;
    streaming_part_ = -1;
    parts_[static_cast<size_t>(part)]->StopStream();
}

std::string CombinedVideoCap::LastErrorText() {
    if (!last_error_.empty()) return last_error_;
    IVideoCap* p = Selected_Part();
    return p ? p->LastErrorText() : std::string();
}

int32_t CombinedVideoCap::Source_Count() const {
    int32_t n = 0;
    for (const auto& p : parts_) n += p->Source_Count();
    return n;
}
