#pragma once
#include <cstdint>
#include <optional>

// A kept frame's picture compressed as it arrived.
struct Stored_Jpeg {
    const uint8_t* Data = nullptr;  // nullptr: not compressed
    int32_t Size = 0;
    int16_t Quality = 0;
    // The data area N it was fitted into; 0: compressed once at the initial
    // quality before N was known.
    int32_t Data_Area = 0;
    bool Too_Large = false;  // fitted for Data_Area, but larger even at the lowest quality
    int32_t Largest = 0;     // sizes of every encoding tried
    int32_t Smallest = 999999;
};

// One kept frame as the recording side reads it: the crop pixels (24-bit rows,
// bottom-up, padded to 4 bytes; nullptr once dropped after compression), its
// compressed picture when it has one, and the frame timestamp.
struct Stored_Frame_Ref {
    const uint8_t* Video_Adress = nullptr;
    int32_t RGB_Length = 0;
    int32_t Capture_Mill = 0;
    int32_t Capture_Local = 0;
    int32_t Capture_Delta = 0;
    Stored_Jpeg Jpeg;
};

// The frames kept during one capture window, 1-based in arrival order. The
// capture side owns the collection; the recording side only reads it, so it
// sees it through this interface.
class IStored_Frames {
public:
    virtual ~IStored_Frames() = default;
    virtual int32_t Count() const = 0;
    // nullopt for an index outside 1 .. Count()
    virtual std::optional<Stored_Frame_Ref> Item(int32_t index) const = 0;
    // Releases every frame: the writer empties the collection once it has
    // appended them.
    virtual void Clear() = 0;
};
