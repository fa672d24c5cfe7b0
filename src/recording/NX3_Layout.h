#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The bytes of an NX3 recording: a 32016-byte header block carrying the header
// document, then fixed-size samples of S = 58 + N bytes, each holding one JPEG
// in an N-byte data area and the frame's capture times. Every multi-byte field
// is a little-endian signed integer whatever the machine; offsets count from 0.
namespace NX3 {

constexpr int32_t Header_Block_Size = 32016;
constexpr int32_t Block_Length_Offset = 4;
constexpr int32_t Text_Length_Offset = 8;
constexpr int32_t Text_Offset = 12;
constexpr int32_t Max_Text_Length = 32000;
constexpr int32_t End_Magic_Offset = 32012;
constexpr int32_t First_Sample_Offset = Header_Block_Size;

constexpr int32_t Sample_Overhead = 58;  // S - N
constexpr int32_t Max_Frames = 32767;    // frame numbers are 16-bit
constexpr int64_t Max_File_Length = 2147483647;

// Field offsets inside one sample.
namespace Sample {
constexpr int32_t Start_Delimiter = 0;  // "RGBS"
constexpr int32_t Header_Length = 4;    // 16-bit, 0
constexpr int32_t Reserved_1 = 6;       // 16-bit, 0
constexpr int32_t Capture_Mill = 8;
constexpr int32_t Capture_Delta = 12;
constexpr int32_t Capture_Local = 16;
constexpr int32_t Reserved_2 = 20;  // 32-bit, 0
constexpr int32_t Quality = 24;
constexpr int32_t Reserved_3 = 28;  // 16-bit, 0
constexpr int32_t Reserved_4 = 30;  // 16-bit, 0
constexpr int32_t JPEG_Size = 32;
constexpr int32_t Capture_Events = 36;    // 32-bit, 0
constexpr int32_t Middle_Delimiter = 40;  // "RGBE"
constexpr int32_t Dimensions = 44;        // 16-bit, 1
constexpr int32_t Element_Count = 46;     // 32-bit, N
constexpr int32_t Lower_Bound = 50;       // 32-bit, 1
constexpr int32_t Data = 54;              // N bytes, then "RGBF"
constexpr int32_t Head_Size = 44;         // the fields before the data description
}  // namespace Sample

inline void Put_I16(uint8_t* p, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
}
inline void Put_I32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
inline int16_t Get_I16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }
inline int32_t Get_I32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}
// True when the four bytes at p are the four characters of tag.
bool Has_Tag(const uint8_t* p, const char* tag);

inline int64_t Sample_Size(int32_t data_area) { return int64_t{Sample_Overhead} + data_area; }
// Offset (from 0) of the sample of frame n (1-based).
inline int64_t Sample_Offset(int64_t frame, int64_t sample_size) {
    return First_Sample_Offset + (frame - 1) * sample_size;
}
// Complete samples in a file of that length.
int64_t Complete_Samples(int64_t file_length, int64_t sample_size);

// Builds the header block for a document text of one byte per character.
// Raises HdxError 6 for a text over 32000 characters; block is then unchanged.
void Build_Header_Block(const std::string& text, std::vector<uint8_t>& block);

// What a header block holds. The text is cut at its first zero byte.
struct Header_Text {
    bool ok = false;
    std::string text;
    int32_t length_field = 0;
    std::string problem;  // why it is not ok
};
// Reads the document text out of the first count bytes of a file; a length
// field outside 0..32000 or a text longer than the bytes there is a damaged
// block, never a read past them.
Header_Text Parse_Header_Block(const uint8_t* bytes, size_t count);

// Writes the fields that are the same in every sample of an N-byte data area:
// delimiters, reserved zeros and the data description. sample holds 58 + N bytes.
void Format_Sample(uint8_t* sample, int32_t data_area);
// The per-frame fields.
void Set_Sample_Frame(uint8_t* sample, int32_t capture_mill, int32_t capture_delta, int32_t capture_local,
                      int32_t quality, int32_t jpeg_size);

// The fields of one sample as read from the file.
struct Sample_Fields {
    bool start_ok = false;  // "RGBS"
    int32_t capture_mill = 0;
    int32_t capture_delta = 0;
    int32_t capture_local = 0;
    int32_t quality = 0;
    int32_t jpeg_size = 0;
    int32_t capture_events = 0;
    int32_t element_count = 0;
};
// From the first 54 bytes of a sample.
Sample_Fields Read_Sample_Fields(const uint8_t* sample);

// The layout of a complete recording checked against its invariants: the
// header block, the header document's sample size and frame count against the
// file length, and every sample's delimiters, fixed fields, JPEG size, quality
// and JPEG start and end markers. One line per problem; empty when all hold.
// A file that cannot be read at all gives one line saying why.
std::vector<std::string> Verify_File(const std::string& path);

}  // namespace NX3
