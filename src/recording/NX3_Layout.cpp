#include "recording/NX3_Layout.h"

#include <cstring>
#include <exception>

#include "metadata/Cls_XML_header.h"
#include "platform/HdxError.h"
#include "recording/Binary_File.h"

namespace NX3 {

bool Has_Tag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

int64_t Complete_Samples(int64_t file_length, int64_t sample_size) {
    if (sample_size <= Sample_Overhead || file_length <= First_Sample_Offset) return 0;
    return (file_length - First_Sample_Offset) / sample_size;
}

void Build_Header_Block(const std::string& text, std::vector<uint8_t>& block) {
    if (text.size() > static_cast<size_t>(Max_Text_Length))
        throw HdxError(HdxErr::Overflow, "The header document has " + std::to_string(text.size()) +
                                             " characters; the header block holds at most 32000. "
                                             "The header is not written");
    block.assign(Header_Block_Size, 0);
    std::memcpy(block.data(), "NXF3", 4);
    Put_I32(block.data() + Block_Length_Offset, Header_Block_Size);
    Put_I32(block.data() + Text_Length_Offset, static_cast<int32_t>(text.size()));
    std::memcpy(block.data() + Text_Offset, text.data(), text.size());
    std::memcpy(block.data() + End_Magic_Offset, "NXFX", 4);
}

Header_Text Parse_Header_Block(const uint8_t* bytes, size_t count) {
    Header_Text h;
    if (count < static_cast<size_t>(Text_Offset)) {
        h.problem = "Incomplete header block";
        return h;
    }
    h.length_field = Get_I32(bytes + Text_Length_Offset);
    if (h.length_field < 0 || h.length_field > Max_Text_Length) {
        h.problem = "Invalid header length " + std::to_string(h.length_field);
        return h;
    }
    if (static_cast<size_t>(Text_Offset) + static_cast<size_t>(h.length_field) > count) {
        h.problem = "Incomplete header block";
        return h;
    }
    const char* text = reinterpret_cast<const char*>(bytes + Text_Offset);
    const void* zero = std::memchr(text, 0, static_cast<size_t>(h.length_field));
    const size_t length =
        zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : static_cast<size_t>(h.length_field);
    h.text.assign(text, length);
    h.ok = true;
    return h;
}

void Format_Sample(uint8_t* sample, int32_t data_area) {
    std::memset(sample, 0, Sample::Data);
    std::memcpy(sample + Sample::Start_Delimiter, "RGBS", 4);
    std::memcpy(sample + Sample::Middle_Delimiter, "RGBE", 4);
    Put_I16(sample + Sample::Dimensions, 1);
    Put_I32(sample + Sample::Element_Count, data_area);
    Put_I32(sample + Sample::Lower_Bound, 1);
    std::memcpy(sample + Sample::Data + data_area, "RGBF", 4);
}

void Set_Sample_Frame(uint8_t* sample, int32_t capture_mill, int32_t capture_delta, int32_t capture_local,
                      int32_t quality, int32_t jpeg_size) {
    Put_I32(sample + Sample::Capture_Mill, capture_mill);
    Put_I32(sample + Sample::Capture_Delta, capture_delta);
    Put_I32(sample + Sample::Capture_Local, capture_local);
    Put_I32(sample + Sample::Quality, quality);
    Put_I32(sample + Sample::JPEG_Size, jpeg_size);
}

Sample_Fields Read_Sample_Fields(const uint8_t* sample) {
    Sample_Fields f;
    f.start_ok = Has_Tag(sample + Sample::Start_Delimiter, "RGBS");
    f.capture_mill = Get_I32(sample + Sample::Capture_Mill);
    f.capture_delta = Get_I32(sample + Sample::Capture_Delta);
    f.capture_local = Get_I32(sample + Sample::Capture_Local);
    f.quality = Get_I32(sample + Sample::Quality);
    f.jpeg_size = Get_I32(sample + Sample::JPEG_Size);
    f.capture_events = Get_I32(sample + Sample::Capture_Events);
    f.element_count = Get_I32(sample + Sample::Element_Count);
    return f;
}

namespace {

// A header value for the checks; a value that does not read is a problem line.
template <typename Getter>
bool Header_Value(std::vector<std::string>& problems, const char* element, Getter get, int64_t& value) {
    try {
        value = get();
        return true;
    } catch (const std::exception& e) {
        problems.push_back(std::string("header element \"") + element + "\" does not read as a number (" + e.what() +
                           ")");
    }
    return false;
}

void Verify_Samples(Binary_File& file, int64_t count, int64_t sample_size, int32_t data_area,
                    std::vector<std::string>& problems) {
    std::vector<uint8_t> sample(static_cast<size_t>(sample_size));
    for (int64_t k = 1; k <= count; ++k) {
        const int64_t at = Sample_Offset(k, sample_size);
        const std::string where = "frame " + std::to_string(k) + " (offset " + std::to_string(at) + "): ";
        file.Seek(at);
        if (file.Read(sample.data(), sample.size()) != sample.size()) {
            problems.push_back(where + "the sample is cut short");
            return;
        }
        const uint8_t* s = sample.data();
        const Sample_Fields f = Read_Sample_Fields(s);
        if (!f.start_ok) {
            problems.push_back(where + "no \"RGBS\" at the start of the sample");
            continue;  // nothing else of it can be trusted
        }
        if (!Has_Tag(s + Sample::Middle_Delimiter, "RGBE")) problems.push_back(where + "no \"RGBE\" at offset 40");
        if (!Has_Tag(s + Sample::Data + data_area, "RGBF"))
            problems.push_back(where + "no \"RGBF\" after the data area");
        if (Get_I16(s + Sample::Dimensions) != 1) problems.push_back(where + "data dimensions are not 1");
        if (f.element_count != data_area)
            problems.push_back(where + "data element count " + std::to_string(f.element_count) + " is not " +
                               std::to_string(data_area));
        if (Get_I32(s + Sample::Lower_Bound) != 1) problems.push_back(where + "data lower bound is not 1");
        if (f.quality < 1 || f.quality > 100)
            problems.push_back(where + "JPEG quality " + std::to_string(f.quality) + " is not 1 to 100");
        if (f.jpeg_size < 1 || f.jpeg_size > data_area) {
            problems.push_back(where + "JPEG size " + std::to_string(f.jpeg_size) + " is not 1 to " +
                               std::to_string(data_area));
            continue;
        }
        const uint8_t* jpeg = s + Sample::Data;
        if (f.jpeg_size < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
            problems.push_back(where + "the data area does not start with a JPEG");
        else if (jpeg[f.jpeg_size - 2] != 0xFF || jpeg[f.jpeg_size - 1] != 0xD9)
            problems.push_back(where + "the JPEG does not end within its " + std::to_string(f.jpeg_size) + " bytes");
    }
}

}  // namespace

std::vector<std::string> Verify_File(const std::string& path) {
    std::vector<std::string> problems;
    try {
        Binary_File file;
        file.Open(path, Binary_File::Mode::Read);
        const int64_t length = file.Length();
        if (length < Header_Block_Size) {
            problems.push_back("file length " + std::to_string(length) +
                               " is shorter than the header block of 32016 bytes");
            return problems;
        }
        if (length > Max_File_Length)
            problems.push_back("file length " + std::to_string(length) + " is over 2147483647 bytes");

        std::vector<uint8_t> block(Header_Block_Size);
        file.Seek(0);
        file.Read(block.data(), block.size());
        if (!Has_Tag(block.data(), "NXF3")) problems.push_back("no \"NXF3\" at offset 0");
        if (Get_I32(block.data() + Block_Length_Offset) != Header_Block_Size)
            problems.push_back("block length " + std::to_string(Get_I32(block.data() + Block_Length_Offset)) +
                               " is not 32016");
        if (!Has_Tag(block.data() + End_Magic_Offset, "NXFX")) problems.push_back("no \"NXFX\" at offset 32012");
        const Header_Text h = Parse_Header_Block(block.data(), block.size());
        if (!h.ok) {
            problems.push_back(h.problem);
            return problems;
        }
        if (static_cast<int32_t>(h.text.size()) != h.length_field)
            problems.push_back("the header text has a zero byte at offset " +
                               std::to_string(Text_Offset + h.text.size()) + ", inside its length of " +
                               std::to_string(h.length_field));
        for (int32_t i = Text_Offset + h.length_field; i < End_Magic_Offset; ++i) {
            if (block[static_cast<size_t>(i)] != 0) {
                problems.push_back("the bytes after the header text are not zero (offset " + std::to_string(i) + ")");
                break;
            }
        }

        Cls_XML_header header;
        header.Set_XML_string(h.text);
        if (!header.Has_XML()) {
            problems.push_back("the header document does not parse");
            return problems;
        }
        int64_t n = 0, s = 0, frames = 0;
        const bool have_n = Header_Value(
            problems, "RGB_image_size", [&] { return header.RGB_Image_size(); }, n);
        const bool have_s = Header_Value(
            problems, "RGB_sample_size", [&] { return header.RGB_Sample_Size(); }, s);
        const bool have_k = Header_Value(
            problems, "num_frames", [&] { return header.G_Frames_no(); }, frames);
        if (!have_n || !have_s || !have_k) return problems;

        const int64_t payload = length - Header_Block_Size;
        if (payload == 0 && frames == 0) return problems;  // initiated, nothing appended
        if (n < 1) {
            problems.push_back("RGB_image_size " + std::to_string(n) + " cannot hold a JPEG");
            return problems;
        }
        if (s != Sample_Size(static_cast<int32_t>(n))) {
            problems.push_back("RGB_sample_size " + std::to_string(s) +
                               " is not 58 + RGB_image_size = " + std::to_string(Sample_Size(static_cast<int32_t>(n))));
            s = Sample_Size(static_cast<int32_t>(n));
        }
        const int64_t complete = Complete_Samples(length, s);
        if (payload % s != 0)
            problems.push_back("file length " + std::to_string(length) + " is not 32016 + K x " + std::to_string(s) +
                               ": " + std::to_string(payload % s) + " bytes follow the last complete sample");
        if (frames != complete)
            problems.push_back("num_frames " + std::to_string(frames) + " does not match the " +
                               std::to_string(complete) + " samples in the file");
        if (complete > Max_Frames)
            problems.push_back("the file holds " + std::to_string(complete) + " samples, more than 32767");
        Verify_Samples(file, complete, s, static_cast<int32_t>(n), problems);
    } catch (const std::exception& e) {
        problems.push_back(std::string("cannot read the file: ") + e.what());
    }
    return problems;
}

}  // namespace NX3
