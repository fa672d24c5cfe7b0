#pragma once
#include <cstdint>

class cDIBSection;

// Conversions between bitmap sections and JPEG streams in memory. Pictures are
// 24-bit blue-green-red, rows bottom-up and padded to 4 bytes, and stand upright
// on both sides. The codec handles are made on first use and kept per thread.
namespace mIntelJPEGLibrary {

// Error number raised by the encoder.
constexpr int JPG_Error = 26001;

// How the encoder samples colour. Halving it over two rows mixes the two fields
// of an interlaced frame, so one field carries colour ghosts of the other;
// interlaced pictures keep one colour row per picture row (every reader decodes both).
enum class Chroma { Half_Rows, Full_Rows };

// Decodes a colour or one-channel JPEG into section (re-created at the
// stream's size when it differs). False when the stream cannot be decoded;
// a stream whose header cannot be read also shows "Failed to read JPG".
bool Decode_JPG_To_DIB(cDIBSection& section, const uint8_t* jpeg, int32_t jpeg_size);

// Encodes section into output. size holds the capacity on entry and the JPEG
// size on return. Raises HdxError 26001 when it fails (also when the JPEG would
// not fit); output beyond the capacity is never touched.
bool Encode_DIB_To_JPG(const cDIBSection& section, uint8_t* output, int32_t& size, int quality,
                       Chroma chroma = Chroma::Half_Rows);

// The same for bits already laid out like a width x height section.
bool Encode_Bits_To_JPG(const uint8_t* bits, int32_t width, int32_t height, uint8_t* output, int32_t& size, int quality,
                        Chroma chroma = Chroma::Half_Rows);

// Decodes a JPEG of exactly width x height into bits laid out like such a
// section, without a word to the operator (for worker threads). False when it
// cannot be decoded or has another size.
bool Decode_JPG_To_Bits(const uint8_t* jpeg, int32_t jpeg_size, uint8_t* bits, int32_t width, int32_t height);

// Capacity with which encoding a width x height picture with either chroma
// never needs a second buffer (and so never copies); 0 for an impossible size.
int32_t Worst_Case_Size(int32_t width, int32_t height);

}  // namespace mIntelJPEGLibrary
