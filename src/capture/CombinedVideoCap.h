#pragma once
#include <memory>
#include <string>
#include <vector>

#include "capture/IVideoCap.h"

// Several capture components shown as one: their sources are numbered one
// after the other in the order the parts are given ("video:1" is the first
// part's first source). Everything but the source list goes to the part whose
// source was selected last.
class CombinedVideoCap : public IVideoCap {
public:
    explicit CombinedVideoCap(std::vector<std::unique_ptr<IVideoCap>> parts);
    ~CombinedVideoCap() override;

    int32_t AdviseEvents(IVideoCapEvent* sink) override;
    void UnadviseEvents(int32_t cookie) override;
    bool SelectSource(const std::string& name) override;
    void SendCommand(const std::string& command, const std::string& argument) override;
    std::string QueryString(const std::string& name) override;
    Media_Type Query_Media_Type(int32_t index) override;
    Media_Type Query_Current_Media_Type() override;
    Stream_Header Query_Stream_Header() override;
    void StartStream() override;
    void StopStream() override;
    std::string LastErrorText() override;
    int32_t Source_Count() const override;

    size_t Part_Count() const { return parts_.size(); }
    IVideoCap* Part(size_t index) const { return index < parts_.size() ? parts_[index].get() : nullptr; }
    // The part that owns the selected source (nullptr before a selection).
    IVideoCap* Selected_Part() const;

private:
    IVideoCap& Selected();
    [[noreturn]] void Fail(const std::string& text);

    std::vector<std::unique_ptr<IVideoCap>> parts_;
    std::vector<int32_t> part_cookies_;
    int selected_ = -1;
    int streaming_part_ = -1;
    int32_t cookie_ = 0;
    int32_t next_cookie_ = 1;
    std::string last_error_;
};
