#include "capture/Video_Cap_Factory.h"

#include <vector>

#include "capture/CombinedVideoCap.h"
#include "capture/GstVideoCap.h"
#include "capture/SimVideoCap.h"

namespace {
std::function<std::unique_ptr<IVideoCap>()>& Factory() {
    static std::function<std::unique_ptr<IVideoCap>()> f;
    return f;
}
}  // namespace

std::unique_ptr<IVideoCap> Create_Default_Video_Cap() {
    std::vector<std::unique_ptr<IVideoCap>> parts;
    parts.push_back(std::make_unique<GstVideoCap>(GstVideoCap::Capture_Devices()));
    parts.push_back(std::make_unique<SimVideoCap>(Sim_Pacing::Timer));
    return std::make_unique<CombinedVideoCap>(std::move(parts));
}

std::unique_ptr<IVideoCap> Create_Video_Cap() {
    if (Factory()) return Factory()();
    return Create_Default_Video_Cap();
}

void Set_Video_Cap_Factory(std::function<std::unique_ptr<IVideoCap>()> factory) { Factory() = std::move(factory); }
