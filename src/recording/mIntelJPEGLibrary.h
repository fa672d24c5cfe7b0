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

// Where the two fields of an interlaced frame lie in its JPEG. Interleaved
// rows share the codec's blocks, so compression bleeds a moving dog of one
// field into the other as a faint copy beside the real one. Stacked keeps
// field 1 (the top picture row and every second row below it) above field 2,
// which starts on a 16-row boundary (the gap repeats field 1's last row), so
// no 8x8 block and no 16-row colour block holds rows of both fields.
enum class Field_Layout { Interleaved, Stacked };

// Field rows every block of the codec holds: 16 for any chroma.
constexpr int32_t Field_Block_Rows = 16;
// The JPEG height of a height-row picture stored in layout (0 for no rows).
int32_t Stored_Height(int32_t height, Field_Layout layout);
// The JPEG row at which field 2 starts in a stacked picture of height rows.
int32_t Second_Field_Row(int32_t height);

// Decodes a colour or one-channel JPEG into section (re-created at the
// stream's size when it differs). False when the stream cannot be decoded;
// a stream whose header cannot be read also shows "Failed to read JPG".
// A stacked stream comes back with its fields interleaved again, height rows
// high (when the stream is not of that height stacked: the smallest height
// that stacks to it, which is the even one of two; a stream no picture
// stacks into is shown as it is stored).
bool Decode_JPG_To_DIB(cDIBSection& section, const uint8_t* jpeg, int32_t jpeg_size,
                       Field_Layout layout = Field_Layout::Interleaved, int32_t height = 0);

// Encodes section into output. size holds the capacity on entry and the JPEG
// size on return. Raises HdxError 26001 when it fails (also when the JPEG would
// not fit); output beyond the capacity is never touched.
bool Encode_DIB_To_JPG(const cDIBSection& section, uint8_t* output, int32_t& size, int quality,
                       Chroma chroma = Chroma::Half_Rows, Field_Layout layout = Field_Layout::Interleaved);

// The same for bits already laid out like a width x height section.
bool Encode_Bits_To_JPG(const uint8_t* bits, int32_t width, int32_t height, uint8_t* output, int32_t& size, int quality,
                        Chroma chroma = Chroma::Half_Rows, Field_Layout layout = Field_Layout::Interleaved);

// Decodes a JPEG of a width x height picture stored in layout into bits laid
// out like such a section, without a word to the operator (for worker
// threads). False when it cannot be decoded or has another size.
bool Decode_JPG_To_Bits(const uint8_t* jpeg, int32_t jpeg_size, uint8_t* bits, int32_t width, int32_t height,
                        Field_Layout layout = Field_Layout::Interleaved);

// Capacity with which encoding a width x height picture with either chroma
// and either layout never needs a second buffer (and so never copies); 0 for
// an impossible size.
int32_t Worst_Case_Size(int32_t width, int32_t height);

}  // namespace mIntelJPEGLibrary
