#pragma once
#include <functional>
#include <memory>

#include "capture/IVideoCap.h"

// Where capture component objects come from. The program's factory lists the
// capture devices GStreamer finds, then the built-in camera simulator; tests
// install their own.
std::unique_ptr<IVideoCap> Create_Video_Cap();
// An empty function restores the program's factory.
void Set_Video_Cap_Factory(std::function<std::unique_ptr<IVideoCap>()> factory);
// The program's factory itself.
std::unique_ptr<IVideoCap> Create_Default_Video_Cap();
