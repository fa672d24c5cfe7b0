#pragma once
#include <cstdint>

// Per-pixel work on 24-bit pictures laid out like a section's bits (blue, green,
// red; rows bottom-up, padded to a multiple of 4 bytes). Only the first byte's
// address and the size are passed; the row length follows from the width.
namespace Picture_Ops {

// Builds in target a full-height picture from one field of the interlaced
// source (same size as target). Field code 2 is the field captured first: the
// picture's top row and every second row below it; code 1 is the other field.
// The field's own rows are copied, each missing row is the average of the field
// rows above and below it (the nearest one at the top and bottom edges), so the
// result shows only what that field saw. Any other code leaves target alone.
void deinterlaceFrame2(const uint8_t* source, uint8_t* target, int16_t width, int16_t height, int16_t field);

// Turns the width x height source a quarter turn clockwise into target, which is
// height x width: the source's top left corner becomes the target's top right.
// The last argument is unused (callers pass 0).
void Rotate90(const uint8_t* source, uint8_t* target, int32_t width, int32_t height, intptr_t reserved = 0);

// Version text of these operations: exactly 64 characters (blank padded), zero terminated.
const char* BlendVersion();

}  // namespace Picture_Ops
