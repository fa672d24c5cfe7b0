#pragma once
#include <memory>
#include <utility>

#include "capture/IVideoCap.h"

// A component that hands every call to the one it wraps; test doubles derive
// from it and change only what they are about.
class Forwarding_Video_Cap : public IVideoCap {
public:
    explicit Forwarding_Video_Cap(std::unique_ptr<IVideoCap> inner) : inner_(std::move(inner)) {}

    int32_t AdviseEvents(IVideoCapEvent* sink) override { return inner_->AdviseEvents(sink); }
    void UnadviseEvents(int32_t cookie) override { inner_->UnadviseEvents(cookie); }
    bool SelectSource(const std::string& name) override { return inner_->SelectSource(name); }
    void SendCommand(const std::string& command, const std::string& argument) override {
        inner_->SendCommand(command, argument);
    }
    std::string QueryString(const std::string& name) override { return inner_->QueryString(name); }
    Media_Type Query_Media_Type(int32_t index) override { return inner_->Query_Media_Type(index); }
    Media_Type Query_Current_Media_Type() override { return inner_->Query_Current_Media_Type(); }
    Stream_Header Query_Stream_Header() override { return inner_->Query_Stream_Header(); }
    void StartStream() override { inner_->StartStream(); }
    void StopStream() override { inner_->StopStream(); }
    std::string LastErrorText() override { return inner_->LastErrorText(); }
    int32_t Source_Count() const override { return inner_->Source_Count(); }

private:
    std::unique_ptr<IVideoCap> inner_;
};

// A source whose formats carry no frame rate, as some capture devices report
// them: the rate is known only once measured. Everything else is the wrapped
// component's.
class Rateless_Video_Cap : public Forwarding_Video_Cap {
public:
    using Forwarding_Video_Cap::Forwarding_Video_Cap;
    Media_Type Query_Media_Type(int32_t) override { return Media_Type{}; }
    Media_Type Query_Current_Media_Type() override { return Media_Type{}; }
};
