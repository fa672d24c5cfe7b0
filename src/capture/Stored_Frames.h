#pragma once
#include <memory>
#include <vector>

#include "capture/CVideobuff_RGB.h"
#include "recording/IStored_Frames.h"

// The frames kept during one capture window, 1-based in arrival order: filled
// by the capture controller, read and emptied by the recording writer.
class Stored_Frames_Collection : public IStored_Frames {
public:
    void Add(std::unique_ptr<CVideobuff_RGB> frame) { frames_.push_back(std::move(frame)); }
    // A frame a compression worker may still hold.
    void Add(std::shared_ptr<CVideobuff_RGB> frame) { frames_.push_back(std::move(frame)); }
    int32_t Count() const override { return static_cast<int32_t>(frames_.size()); }
    std::optional<Stored_Frame_Ref> Item(int32_t index) const override {
        if (index < 1 || index > Count()) return std::nullopt;
        const CVideobuff_RGB& f = *frames_[static_cast<size_t>(index - 1)];
        return Stored_Frame_Ref{f.Video_Adress(),  f.RGB_Length(),    f.Capture_Mill(),
                                f.Capture_Local(), f.Capture_Delta(), f.Jpeg()};
    }
    CVideobuff_RGB* Frame(int32_t index) const {
        return index < 1 || index > Count() ? nullptr : frames_[static_cast<size_t>(index - 1)].get();
    }
    std::shared_ptr<CVideobuff_RGB> Shared(int32_t index) const {
        return index < 1 || index > Count() ? nullptr : frames_[static_cast<size_t>(index - 1)];
    }
    void Clear() override { frames_.clear(); }
    // Hands every frame over and leaves this collection empty.
    Stored_Frames_Collection Take() {
        Stored_Frames_Collection taken;
        taken.frames_.swap(frames_);
        return taken;
    }

private:
    std::vector<std::shared_ptr<CVideobuff_RGB>> frames_;
};

// The program-wide collection.
inline Stored_Frames_Collection Stored_Frames;
