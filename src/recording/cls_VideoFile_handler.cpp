#include "recording/cls_VideoFile_handler.h"
#include "common/Text.h"

#include "recording/Frame_Journal.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include <QColor>
#include <QCryptographicHash>
#include <QFont>
#include <QPainter>
#include <pugixml.hpp>

#include "common/NXF_Error_Report.h"
#include "metadata/Latin1.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/Picture_Canvas.h"
#include "platform/System_Info.h"
#include "recording/NX3_Layout.h"
#include "recording/Picture_Ops.h"
#include "recording/mIntelJPEGLibrary.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {

const char* const CRLF = "\r\n";

// Locations of the error reports, as the rest of the program knows them.
const char* const Loc_Initiate = "Initiate_NX3_File of Class Module cls_AVI_handler";
const char* const Loc_Write_Header = "Write_XML_header of Class Module cls_AVI_handler";
const char* const Loc_Append = "append_RGB_frame of cls_avi_handler";
const char* const Loc_Open_Append = "Open_nx3_for_Append of Class Module cls_AVI_handler";
const char* const Loc_Calculate = "Calculate_Compressed_Size of Class Module cls_AVI_handler";
const char* const Loc_Close = "Close_File of Class Module cls_AVI_handler";
const char* const Loc_Open_File = "Open_File of Class Module cls_AVI_handler";
const char* const Loc_Open_RGB = "Open_file of Class Module Class_RGB_file_handler";
const char* const Loc_Read_Sample = "Read_RGB_sample of Class Module Class_RGB_file_handler";
const char* const Loc_Draw_Field = "Draw_RGB_Field of Class Module cls_VideoFile_handler";

// The picture sizes every handler starts with.
constexpr int32_t Start_Width = 720;
constexpr int32_t Start_Height = 576;
constexpr uint32_t Damaged_Blue = 0xFF0000;

// A recording that cannot be used as it is: its layout contradicts itself.
struct Damaged_File : HdxError {
    explicit Damaged_File(const std::string& why) : HdxError(HdxErr::InputPastEnd, why) {}
};

// The copy of a header block kept beside the recording while the block is
// rewritten in place: a first line naming it, a line with the block's SHA-256,
// then the block's bytes.
const std::string Copy_Magic = "NX3 header copy 1\n";
constexpr size_t Copy_Piece = 512;
std::function<void(int64_t)> g_Header_Write_Observer;

std::string Block_SHA256(const uint8_t* block, size_t size) {
    return QCryptographicHash::hash(QByteArrayView(block, static_cast<qsizetype>(size)), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

std::string Copy_Bytes(const std::vector<uint8_t>& block) {
    std::string bytes = Copy_Magic + "sha256 " + Block_SHA256(block.data(), block.size()) + "\n";
    bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
    return bytes;
}

// The block a copy holds; empty when the copy is not sound.
std::vector<uint8_t> Copy_Block(const std::string& bytes) {
    const size_t head = Copy_Magic.size() + 7 + 64 + 1;
    if (bytes.size() != head + static_cast<size_t>(NX3::Header_Block_Size) ||
        bytes.compare(0, Copy_Magic.size(), Copy_Magic) != 0 || bytes.compare(Copy_Magic.size(), 7, "sha256 ") != 0 ||
        bytes[head - 1] != '\n')
        return {};
    const auto* block = reinterpret_cast<const uint8_t*>(bytes.data() + head);
    if (bytes.compare(Copy_Magic.size() + 7, 64, Block_SHA256(block, NX3::Header_Block_Size)) != 0) return {};
    return {block, block + NX3::Header_Block_Size};
}

bool Parse_Int64(const std::string& text, int64_t& value) {
    return Parse_Whole_Number(text, value) == Whole_Number::Ok;
}

bool Parse_Int32(const std::string& text, int32_t& value) {
    int64_t v = 0;
    if (!Parse_Int64(text, v) || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t Int32_Or_Zero(const std::string& text) {
    int32_t v = 0;
    return Parse_Int32(text, v) ? v : 0;
}

// Decimal number with an optional sign and fraction ("12", "-3.5").
bool Parse_Decimal(const std::string& text, double& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    double v = 0;
    int digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) v = v * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, scale /= 10)
            v += (text[i] - '0') * scale;
    }
    if (digits == 0 || i != text.size() || digits > 15) return false;
    value = negative ? -v : v;
    return true;
}

int16_t To_Int16(int64_t v, const std::string& what) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        throw HdxError(HdxErr::Overflow, "Overflow: " + what + " " + std::to_string(v) + " does not fit 16 bits");
    return static_cast<int16_t>(v);
}

std::string Bool_Word(bool v) { return v ? "True" : "False"; }

}  // namespace

cls_VideoFile_handler::cls_VideoFile_handler() {
    for (size_t i = 0; i < m_Deint_Source.size(); ++i) {
        m_Deint_Source[i].Create(Start_Width, Start_Height);
        m_Deint_Source[i].ID_string("obj_DIB_Deint_source " + std::to_string(i + 1));
        m_Deint_Target[i].Create(Start_Width, Start_Height);
        m_Deint_Target[i].ID_string("obj_DIB_Deint_target " + std::to_string(i + 1));
    }
    m_Rotate_Target.Create(Start_Height, Start_Width);
    m_Rotate_Target.ID_string("obj_DIB_Rotate_Target");
    m_Rotate_Source.Create(Start_Width, Start_Height);
    m_Rotate_Source.ID_string("obj_DIB_Rotate_Source");
}

cls_VideoFile_handler::~cls_VideoFile_handler() { Close_File(); }

// ---------------------------------------------------------------------------
// file

void cls_VideoFile_handler::Set_File_name(const std::string& path) {
    m_File_name = path;
    m_Current_File_Suffix = File_Suffix(path);
}

int32_t cls_VideoFile_handler::File_size() const {
    const int64_t size = Platform::File_Size(m_File_name);
    if (size < 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(size, std::numeric_limits<int32_t>::max()));
}

int64_t cls_VideoFile_handler::File_Position() const { return m_File.Is_Open() ? m_File.Position() : -1; }

Cls_XML_header& cls_VideoFile_handler::Header() {
    if (!m_Header) m_Header = std::make_unique<Cls_XML_header>();
    return *m_Header;
}

bool cls_VideoFile_handler::Header_Is_For_File() const {
    return m_Header && m_Header->Has_XML() && m_Header_Path == m_File_name;
}

void cls_VideoFile_handler::Open_Handle(Binary_File::Mode mode) {
    m_File.Open(m_File_name, mode);
    m_File_Num = 1;
    m_Append_Positioned = false;
}

void cls_VideoFile_handler::Open_For_Writing() {
    // Honoured even where the operating system would allow the write.
    if (Platform::Is_Read_Only(m_File_name))
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + m_File_name + " is read-only");
    Open_Handle(Binary_File::Mode::Read_Write);
}

// ---------------------------------------------------------------------------
// writing

void cls_VideoFile_handler::Set_Header_Write_Observer(std::function<void(int64_t)> observer) {
    g_Header_Write_Observer = std::move(observer);
}

void cls_VideoFile_handler::Write_NX3_header() {
    Trace("*Write_NX3_header, m_File_Num =  " + std::to_string(m_File_Num));
    if (!m_File.Is_Open()) throw HdxError(HdxErr::BadFileMode, "No recording is open for the header write");
    if (!m_File.Writable() || m_Read_only)
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + m_File_name + " is read-only");
    NX3::Build_Header_Block(Header().XML_string(), m_Header_Block);
    const int64_t position = m_File.Position();
    // Results and names live in the header: a block rewritten in place is kept
    // whole beside the recording first, so a write cut short loses nothing.
    const bool in_place = m_File.Length() >= NX3::Header_Block_Size;
    const std::string copy = Header_Copy_Path(m_File_name);
    std::vector<uint8_t> old_block;
    bool copy_written = false;
    try {
        if (in_place) {
            old_block.resize(NX3::Header_Block_Size);
            m_File.Seek(0);
            old_block.resize(m_File.Read(old_block.data(), old_block.size()));
            std::string error;
            if (!Platform::Write_File_Atomic(copy, Copy_Bytes(m_Header_Block), &error))
                throw HdxError(HdxErr::PathFileAccess,
                               "The header cannot be rewritten: its copy " + copy + " cannot be written: " + error);
            copy_written = true;
            if (g_Header_Write_Observer) g_Header_Write_Observer(-1);
        }
        m_File.Seek(0);
        for (size_t done = 0; done < m_Header_Block.size(); done += Copy_Piece) {
            m_File.Write(m_Header_Block.data() + done, std::min(Copy_Piece, m_Header_Block.size() - done));
            if (g_Header_Write_Observer && in_place)
                g_Header_Write_Observer(static_cast<int64_t>(std::min(done + Copy_Piece, m_Header_Block.size())));
        }
        // On the disk before the write is called done.
        m_File.Sync();
    } catch (...) {
        if (copy_written) {
            // The block in place may be half written: the old one goes back, or
            // failing that the copy becomes the old one, so the next opening finds
            // the header this failed write leaves in force.
            try {
                m_File.Seek(0);
                m_File.Write(old_block.data(), old_block.size());
                m_File.Sync();
                Platform::Delete_File(copy);
            } catch (const std::exception&) {
                if (old_block.size() == static_cast<size_t>(NX3::Header_Block_Size))
                    Platform::Write_File_Atomic(copy, Copy_Bytes(old_block));
            }
        }
        m_File.Seek(position);
        throw;
    }
    if (copy_written) {
        try {
            Platform::Delete_File(copy);
        } catch (const std::exception& e) {
            // Harmless: a copy that matches the block is removed on the next opening.
            Trace("*Write_NX3_header, the copy " + copy + " stays: " + e.what());
        }
    }
    m_File.Seek(position);
}

bool cls_VideoFile_handler::Initiate_NX3_File(const std::string& path, const Header_Origin& origin) {
    Trace("*Initiate_NX3_File");
    bool created = false;
    try {
        if (!path.empty()) Set_File_name(path);
        // A new header never goes into a file the handler still holds.
        if (m_File.Is_Open()) Close_File();
        if (m_File_name.empty()) throw HdxError(HdxErr::InvalidProcedureCall, "No file name for the new recording");
        if (Platform::File_Exists(m_File_name) || Platform::Folder_Exists(m_File_name))
            throw HdxError(HdxErr::FileAlreadyExists, "File already exists: " + m_File_name +
                                                          ". A new recording is never written over an existing file");
        // A header copy left beside a recording that is gone is not the new one's.
        if (Platform::File_Exists(Header_Copy_Path(m_File_name))) Platform::Delete_File(Header_Copy_Path(m_File_name));

        m_Compressor.Reset_For_New_Recording();
        m_RGB_frames_appended = 0;
        m_Sample_Size = 0;
        m_Read_only = false;
        m_Header = std::make_unique<Cls_XML_header>();
        m_Header_Path = m_File_name;
        m_Header->Set_rgb(true);
        Trace("*Create_NX3_header");
        m_Header->Create_Header(origin);
        Cls_XML_header& h = *m_Header;
        h.Set_RGB_X(To_Int16(Cropped_X(), "frame width"));
        h.Set_RGB_Y(To_Int16(Cropped_Y(), "frame height"));
        h.Set_RGB_interlaced(m_RGB_interlaced);
        // Older readers know nothing of stacked fields: the header tells newer ones.
        m_Compressor.Fields_Stacked(m_Stack_Fields && m_RGB_interlaced);
        if (Fields_Stacked()) h.Set_Fields_Stacked(true);
        h.Set_RGB_preview_on(false);
        h.Set_RGB_JPEG_Quality(std::to_string(Frame_Compressor::Start_Quality));
        h.Set_RGB_fps("0");
        h.Set_RGB_Rotated(m_RGB_Rotated);
        h.Set_Hdr_spare1(std::to_string(m_RGB_Topdelim_Y));
        h.Set_File_comment1("");
        h.Set_RGB_fourcc("IJL");
        h.Set_RGB_JPEG_codec("Intel");

        Open_Handle(Binary_File::Mode::Create_New);
        created = true;
        Write_NX3_header();
        m_File.Close();
        m_File_Num = 0;
        return true;
    } catch (const std::exception& e) {
        m_File.Close();
        m_File_Num = 0;
        if (created) {
            // A half-made recording is not left behind.
            try {
                Platform::Delete_File(m_File_name);
            } catch (...) {
            }
        }
        Report_Exception(e, Loc_Initiate, 0, "File = " + m_File_name);
    }
    return false;
}

bool cls_VideoFile_handler::Write_XML_Header() {
    try {
        if (Lower_Case(m_Current_File_Suffix) != "nx3") {
            Trace("*Has_XML_header = False");
            return false;
        }
        if (m_Hold_Header_Writes) {
            Trace("*Write_XML_Header held");
            return true;
        }
        if (!m_File.Is_Open()) Open_For_Writing();
        Cls_XML_header& h = Header();
        h.Set_Update_Time(Date_Time_Text());
        h.Set_Update_Program(Facts().Program_Name);
        Write_NX3_header();
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, Loc_Write_Header, 0, "File = " + m_File_name);
    }
    return false;
}

void cls_VideoFile_handler::Prepare_Sample_Record(int32_t data_area) {
    const size_t size = static_cast<size_t>(NX3::Sample_Size(data_area));
    if (m_RGB_UDT.size() == size) return;  // the data area keeps what earlier frames left
    m_RGB_UDT.assign(size, 0);
    NX3::Format_Sample(m_RGB_UDT.data(), data_area);
}

void cls_VideoFile_handler::Position_For_Append() {
    const int64_t length = m_File.Length();
    if (length < NX3::Header_Block_Size) throw Damaged_File("Incomplete header block");
    // All samples of a recording have one size: the file's N wins over one chosen here.
    const int32_t file_n = Header().RGB_Image_size();
    if (file_n > 0) {
        if (m_Compressor.Rounded_Compressed_Size() != file_n) m_Compressor.Rounded_Compressed_Size(file_n);
    } else if (m_Compressor.Rounded_Compressed_Size() > 0) {
        Header().Set_RGB_Image_size(m_Compressor.Rounded_Compressed_Size());
    }
    const int32_t n = m_Compressor.Rounded_Compressed_Size();
    int64_t end = length;
    int64_t complete = 0;
    if (n > 0) {
        const int64_t s = NX3::Sample_Size(n);
        complete = NX3::Complete_Samples(length, s);
        end = NX3::Sample_Offset(complete + 1, s);
        // What an interrupted append left after the last complete sample is
        // written over, so every new sample sits at its computed position.
        if (end < length)
            Trace("*Open_nx3_for_Append, " + std::to_string(length - end) +
                  " bytes of an incomplete sample at the end are written over");
        Prepare_Sample_Record(n);
    }
    m_Frames_Before_Pass = static_cast<int32_t>(std::min<int64_t>(complete, NX3::Max_Frames));
    m_File.Seek(end);
    m_Append_Positioned = true;
}

bool cls_VideoFile_handler::Open_nx3_for_Append() {
    Trace("*Open_nx3_for_Append");
    try {
        if (!m_File.Is_Open()) {
            Open_For_Writing();
            if (!Header_Is_For_File()) Read_NX3_Headers();
        }
        if (!m_File.Writable() || m_Read_only)
            throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + m_File_name + " is read-only");
        Position_For_Append();
        return true;
    } catch (const std::exception& e) {
        m_Write_Problem = e.what();
        Report_Exception(e, Loc_Open_Append, 0, "File = " + m_File_name);
    }
    return false;
}

int32_t cls_VideoFile_handler::Calculate_Compressed_Size(const IStored_Frames& frames) {
    try {
        // N is chosen once per recording: a recording that has one keeps it.
        if (m_Compressor.Rounded_Compressed_Size() > 0) return m_Compressor.Rounded_Compressed_Size();
        if (!Header_Is_For_File()) {
            if (!m_File.Is_Open()) Open_For_Writing();
            Read_NX3_Headers();
        }
        const int32_t file_n = Header().RGB_Image_size();
        if (file_n > 0) {
            m_Compressor.Rounded_Compressed_Size(file_n);
            return file_n;
        }
        const int32_t n = m_Compressor.Calculate_Compressed_Size(frames);
        if (n <= 0) return 0;
        Prepare_Sample_Record(n);
        Header().Set_RGB_Image_size(n);
        Write_XML_Header();
        return n;
    } catch (const std::exception& e) {
        Report_Exception(e, Loc_Calculate, 0, "File = " + m_File_name);
    }
    return m_Compressor.Rounded_Compressed_Size();
}

std::optional<Stored_Frame_Ref> cls_VideoFile_handler::Begin_Sample(const IStored_Frames& frames, int32_t index,
                                                                    const std::optional<Stored_Frame_Ref>& frame) {
    if (!m_File.Is_Open()) {
        Open_For_Writing();
        if (!Header_Is_For_File()) Read_NX3_Headers();
    }
    if (!m_File.Writable() || m_Read_only)
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + m_File_name + " is read-only");
    if (!m_Append_Positioned) Position_For_Append();

    if (!frame)
        throw HdxError(HdxErr::SubscriptOutOfRange,
                       "No stored frame " + std::to_string(index) + " (" + std::to_string(frames.Count()) + " stored)");
    const int32_t n = m_Compressor.Rounded_Compressed_Size();
    if (n > 0) {
        Prepare_Sample_Record(n);
        const int64_t start = m_File.Position();
        if (m_Frames_Before_Pass + m_RGB_frames_appended >= NX3::Max_Frames)
            throw HdxError(HdxErr::Overflow,
                           "The recording holds 32767 frames, the most it can address; "
                           "stored frame " +
                               std::to_string(index) + " is not appended");
        if (start + static_cast<int64_t>(m_RGB_UDT.size()) > NX3::Max_File_Length)
            throw HdxError(HdxErr::Overflow, "A recording is limited to 2147483647 bytes; stored frame " +
                                                 std::to_string(index) + " is not appended");
    }
    return frame;
}

void cls_VideoFile_handler::Write_Sample(const Stored_Frame_Ref& frame, const JPG_Fit& fit, const uint8_t* jpeg) {
    if (fit.Size <= 0 || static_cast<size_t>(fit.Size) + NX3::Sample_Overhead > m_RGB_UDT.size())
        throw HdxError(HdxErr::Overflow, "A JPEG of " + std::to_string(fit.Size) + " bytes does not fit the sample");
    uint8_t* sample = m_RGB_UDT.data();
    NX3::Set_Sample_Frame(sample, frame.Capture_Mill, frame.Capture_Delta, frame.Capture_Local, fit.Quality, fit.Size);
    std::memcpy(sample + NX3::Sample::Data, jpeg, static_cast<size_t>(fit.Size));

    const int64_t start = m_File.Position();
    if (m_RGB_frames_appended == 0) m_Length_Before_Append = start;
    try {
        m_File.Write(sample, m_RGB_UDT.size());
    } catch (...) {
        // The next sample goes where this one should have been.
        m_File.Seek(start);
        throw;
    }
    ++m_RGB_frames_appended;
    if (m_RGB_frames_appended == 1 && m_Sample_Size == 0)
        m_Sample_Size = static_cast<int32_t>(m_File.Position() - m_Length_Before_Append);
}

bool cls_VideoFile_handler::Append_RGB_Frame(const IStored_Frames& frames, int32_t index) {
    try {
        const std::optional<Stored_Frame_Ref> frame = Begin_Sample(frames, index, frames.Item(index));
        const JPG_Fit fit = m_Compressor.Fit_Frame(frames, index);  // reports what it cannot fit
        if (!fit.Stored()) return false;
        Write_Sample(*frame, fit, m_Compressor.JPG_Buffer());
        return true;
    } catch (const std::exception& e) {
        m_Write_Problem = e.what();
        Report_Exception(e, Loc_Append, 0, "File = " + m_File_name + ", stored frame " + std::to_string(index));
    }
    return false;
}

bool cls_VideoFile_handler::Append_Fitted_Frame(const IStored_Frames& frames, int32_t index,
                                                const std::optional<Stored_Frame_Ref>& frame,
                                                const Fit_Findings& findings, const uint8_t* jpeg, int32_t pass_n) {
    try {
        Begin_Sample(frames, index, frame);
        // Fitted for another data area (the file was reopened with its own N): fit again here.
        if (m_Compressor.Rounded_Compressed_Size() != pass_n) {
            const JPG_Fit fit = m_Compressor.Fit_Frame(frames, index);
            if (!fit.Stored()) return false;
            Write_Sample(*frame, fit, m_Compressor.JPG_Buffer());
            return true;
        }
        const JPG_Fit fit = m_Compressor.Take_Fit(findings, index);  // reports what was not fitted
        if (!fit.Stored()) return false;
        Write_Sample(*frame, fit, jpeg);
        return true;
    } catch (const std::exception& e) {
        m_Write_Problem = e.what();
        Report_Exception(e, Loc_Append, 0, "File = " + m_File_name + ", stored frame " + std::to_string(index));
    }
    return false;
}

int32_t cls_VideoFile_handler::Append_Threads_Used() const {
    if (m_Append_Threads > 0) return m_Append_Threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int32_t>(std::min(cores, 64u)) : 1;
}

namespace {

// Workers that fit the frames of one pass ahead of the writer: a frame is
// taken only while fewer than Window frames wait to be written, so memory
// stays bounded however many frames the pass holds. Each worker encodes into
// its own buffer (and its own codec handle, kept per thread); the writer takes
// the findings strictly in frame order.
class Fitting_Pool {
public:
    struct Result {
        Fit_Findings findings;
        std::vector<uint8_t> jpeg;  // the fitting JPEG, Fit.Size bytes
        bool ready = false;
    };

    Fitting_Pool(const Fit_Settings& settings, const std::vector<std::optional<Stored_Frame_Ref>>& frames,
                 int32_t threads)
        : settings_(settings), frames_(frames), window_(static_cast<size_t>(threads) * 4), results_(window_) {
        try {
            for (int32_t t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // Fewer threads than asked for still fit every frame; none leaves it to the writer.
        }
    }
    bool Running() const { return !workers_.empty(); }
    ~Fitting_Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        work_.notify_all();
        for (std::thread& w : workers_) w.join();
    }
    Fitting_Pool(const Fitting_Pool&) = delete;
    Fitting_Pool& operator=(const Fitting_Pool&) = delete;

    // The findings of frame index (1-based, in order): waits until they are there.
    Result Take(int32_t index) {
        Result out;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            Result& slot = Slot(index);
            done_.wait(lock, [&] { return slot.ready; });
            out = std::move(slot);
            slot = Result{};
            next_to_write_ = index + 1;
        }
        work_.notify_all();
        return out;
    }

private:
    Result& Slot(int32_t index) { return results_[static_cast<size_t>(index - 1) % window_]; }
    int32_t Count() const { return static_cast<int32_t>(frames_.size()); }

    void Work() {
        std::vector<uint8_t> buffer(static_cast<size_t>(settings_.Capacity));
        for (;;) {
            int32_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                work_.wait(lock, [&] {
                    return stop_ || next_to_take_ > Count() ||
                           next_to_take_ < next_to_write_ + static_cast<int32_t>(window_);
                });
                if (stop_ || next_to_take_ > Count()) return;
                index = next_to_take_++;
            }
            Result r;
            r.findings = Frame_Compressor::Find_Fit(settings_, frames_[static_cast<size_t>(index - 1)], index, Count(),
                                                    buffer.data());
            if (r.findings.Fit.Stored()) r.jpeg.assign(buffer.data(), buffer.data() + r.findings.Fit.Size);
            r.ready = true;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                Slot(index) = std::move(r);
            }
            done_.notify_all();
        }
    }

    const Fit_Settings settings_;
    const std::vector<std::optional<Stored_Frame_Ref>>& frames_;
    const size_t window_;
    std::vector<Result> results_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    int32_t next_to_take_ = 1;
    int32_t next_to_write_ = 1;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace

cls_VideoFile_handler::Append_Result cls_VideoFile_handler::Append_Window(IStored_Frames& frames,
                                                                          const std::function<void(int)>& progress) {
    Append_Result result;
    result.frames = frames.Count();
    if (m_Appending) {
        // Re-entered from the progress function (events run there).
        result.problem = "An append pass is already running; the frames are kept for the next one";
        NXF_Error_Handler(result.problem, HdxErr::InvalidProcedureCall, 0, Loc_Append);
        return result;
    }
    m_Appending = true;
    struct Pass_End {
        bool& running;
        ~Pass_End() { running = false; }
    } pass_end{m_Appending};
    m_Write_Problem.clear();
    const int32_t count = result.frames;
    // After every sample written. Pending events are not run here: a capture
    // start handled in the middle of the pass would empty the collection
    // that the workers are still reading. The progress window repaints itself.
    // A frame that was not stored either has no fitting picture (it is left
    // out and the pass goes on) or met a write failure, which ends the pass.
    auto step = [&](int32_t i, bool stored) {
        if (stored)
            ++result.stored;
        else if (m_Write_Problem.empty())
            ++result.left_out;
        if (progress) progress(static_cast<int>(int64_t{i} * 100 / count));
        return m_Write_Problem.empty();
    };
    if (count > 0) {
        if (Rounded_Compressed_Size() == 0) Calculate_Compressed_Size(frames);
        Close_File();
        if (Open_nx3_for_Append()) {
            const int32_t threads = std::min(Append_Threads_Used(), count);
            const int32_t pass_n = m_Compressor.Rounded_Compressed_Size();
            if (threads <= 1 || pass_n <= 0) {
                for (int32_t i = 1; i <= count; ++i)
                    if (!step(i, Append_RGB_Frame(frames, i))) break;
            } else {
                // The workers read the frames through this list, never through the collection.
                std::vector<std::optional<Stored_Frame_Ref>> refs;
                refs.reserve(static_cast<size_t>(count));
                for (int32_t i = 1; i <= count; ++i) refs.push_back(frames.Item(i));
                Fitting_Pool pool(m_Compressor.Settings(), refs, threads);
                for (int32_t i = 1; i <= count && !pool.Running(); ++i)
                    if (!step(i, Append_RGB_Frame(frames, i))) break;
                for (int32_t i = 1; i <= count && pool.Running(); ++i) {
                    const Fitting_Pool::Result r = pool.Take(i);
                    if (!step(i, Append_Fitted_Frame(frames, i, refs[static_cast<size_t>(i - 1)], r.findings,
                                                     r.jpeg.data(), pass_n)))
                        break;
                }
            }
        }
        // A header that cannot be rewritten ends the pass as a failure too.
        Close_File();
    }
    result.problem = m_Write_Problem;
    frames.Clear();
    // A window is hundreds of megabytes: give it back rather than keep it resident until the next heat.
    Platform::Return_Freed_Memory();
    return result;
}

int32_t cls_VideoFile_handler::Complete_Samples() {
    const int32_t n = m_Compressor.Rounded_Compressed_Size();
    const int64_t length = Platform::File_Size(m_File_name);
    if (n <= 0 || length < NX3::Header_Block_Size) return 0;
    return static_cast<int32_t>(std::min<int64_t>(NX3::Complete_Samples(length, NX3::Sample_Size(n)), NX3::Max_Frames));
}

std::string cls_VideoFile_handler::Journal_Mismatch(const std::vector<int32_t>& stamps, int64_t before,
                                                    int64_t in_file) {
    const int64_t records = static_cast<int64_t>(stamps.size());
    const std::string says = "it holds " + std::to_string(records) + " frames from sample " +
                             std::to_string(before + 1) + " on, the recording holds " + std::to_string(in_file) +
                             " samples";
    if (before < 0 || in_file < before || in_file - before > records) return says;
    const int32_t n = m_Compressor.Rounded_Compressed_Size();
    for (int64_t k = before + 1; k <= in_file; ++k) {
        uint8_t mill[4] = {};
        m_File.Seek(NX3::Sample_Offset(k, NX3::Sample_Size(n)) + NX3::Sample::Capture_Mill);
        const int32_t stamp =
            m_File.Read(mill, 4) == 4
                ? static_cast<int32_t>(mill[0] | mill[1] << 8 | mill[2] << 16 | static_cast<uint32_t>(mill[3]) << 24)
                : 0;
        const int32_t journal = stamps[static_cast<size_t>(k - before - 1)];
        if (stamp != journal)
            return says + ", and its sample " + std::to_string(k) + " is stamped " + std::to_string(stamp) +
                   " where the journal has " + std::to_string(journal);
    }
    return {};
}

int32_t cls_VideoFile_handler::Recover_Journal() {
    const std::string journal = Frame_Journal::Path_For(m_File_name);
    if (!Platform::File_Exists(journal)) return No_Journal;
    try {
        Frame_Journal::Contents c = Frame_Journal::Read(journal);
        if (!c.ok)
            throw HdxError(HdxErr::InputPastEnd, "The capture journal " + journal + " cannot be read; it is kept");
        Trace("*Recover_Journal: " + std::to_string(c.frames.size()) + " frames, " + std::to_string(c.damaged_bytes) +
              " bytes cut short");
        Close_File();
        if (!Open_nx3_for_Append()) return Journal_Kept;
        // The journal's records continue the recording from frames_before on:
        // the first in_file - frames_before of them are in it already, wherever
        // the crash came (while the window was open, in the middle of its
        // append, before or after the header counted it, before the journal
        // was deleted).
        const int64_t before = c.frames_before, in_file = m_Frames_Before_Pass;
        std::vector<int32_t> stamps;
        for (const Frame_Journal::Frame& f : c.frames) stamps.push_back(f.mill);
        const std::string mismatch = Journal_Mismatch(stamps, before, in_file);
        if (!mismatch.empty()) {
            Close_File();
            throw HdxError(HdxErr::InputPastEnd, "The capture journal " + journal + " does not fit its recording: " +
                                                     mismatch + ". Nothing was changed; the journal is kept");
        }
        c.frames.erase(c.frames.begin(), c.frames.begin() + static_cast<std::ptrdiff_t>(in_file - before));
        // A pass cut short before its header counted its samples (or a damaged
        // count) leaves the header behind the file: it counts them now.
        Cls_XML_header& h = Header();
        const int32_t n = m_Compressor.Rounded_Compressed_Size();
        if (n > 0 && h.G_Frames_no() != in_file) {
            h.Set_Frames_no(To_Int16(in_file, "frame count"));
            if (h.RGB_Sample_Size() <= NX3::Sample_Overhead)
                h.Set_L_RGB_Sample_Size(static_cast<int32_t>(NX3::Sample_Size(n)));
            Write_NX3_header();
        }
        if (c.frames.empty()) {
            Close_File();
            Platform::Delete_File(journal);
            return 0;
        }
        Close_File();
        Frame_Journal::Frames frames(std::move(c.frames));
        const Append_Result appended = Append_Window(frames);
        if (!appended.Complete()) {
            Trace("*Recover_Journal: " + std::to_string(appended.Not_Stored()) + " frames not stored, " + journal +
                  " is kept: " + appended.problem);
            return Journal_Kept;
        }
        Platform::Delete_File(journal);
        return appended.stored;
    } catch (const std::exception& e) {
        Close_File();
        Report_Exception(e, Loc_Append, 0, "File = " + m_File_name);
    }
    return Journal_Kept;
}

void cls_VideoFile_handler::Close_File() {
    Trace("*Close_File m_File_Num = " + std::to_string(m_File_Num));
    if (m_File.Is_Open()) {
        Trace("*Close_File nx3, m_RGB_frames_appended = " + std::to_string(m_RGB_frames_appended));
        // Every pass that stored frames records them, however few: frames on
        // disk that the header does not count would be invisible in review.
        if (m_RGB_frames_appended > 0) {
            try {
                Cls_XML_header& h = Header();
                h.Set_Frames_no(To_Int16(int64_t{m_Frames_Before_Pass} + m_RGB_frames_appended, "frame count"));
                m_RGB_frames_appended = 0;
                if (m_Sample_Size > 0) h.Set_L_RGB_Sample_Size(m_Sample_Size);
                h.Set_Segments_no(To_Int16(int64_t{h.Segments_no()} + 1, "segment count"));
                if (h.RGB_Compressed_max_Size() < m_Compressor.Largest_JPG())
                    h.Set_RGB_Compressed_max_Size(m_Compressor.Largest_JPG());
                if (m_Compressor.Smallest_JPG() < h.RGB_Compressed_min_Size())
                    h.Set_RGB_Compressed_min_Size(m_Compressor.Smallest_JPG());
                // The samples are on the device before a header counts them.
                m_File.Sync();
                Write_NX3_header();
            } catch (const std::exception& e) {
                if (m_Write_Problem.empty()) m_Write_Problem = e.what();
                Report_Exception(e, Loc_Close, 0, "File = " + m_File_name);
            }
            m_RGB_frames_appended = 0;
        }
        m_File.Close();
    }
    m_File_Num = 0;
    m_Append_Positioned = false;
    m_Sample_Size = 0;
    Reset_Reading_State();
}

void cls_VideoFile_handler::Reset_Reading_State() {
    m_Read_Ahead.Drop();
    m_Read_Ahead_Last = 0;
    m_Read_Ahead_Step = 1;
    m_num_Frames = 0;
    m_Num_fields = 0;
    m_By_Field = false;
    m_Last_Frame_Read = 0;
    m_Decoded_Frame = 0;
    m_Displayed_Frame = 0;
    m_Current_Field = 0;
    m_Field_To_Show = 99;
    m_Nominal_Elapsed = 0;
    m_Bad_Sample = false;
    m_Damaged_Frame = false;
    m_Read_only = false;
}

// ---------------------------------------------------------------------------
// reading

void cls_VideoFile_handler::Read_NX3_Headers() {
    m_Header_Block.resize(NX3::Header_Block_Size);
    m_File.Seek(0);
    size_t got = m_File.Read(m_Header_Block.data(), m_Header_Block.size());
    Take_Header_Copy(got);
    const NX3::Header_Text block = NX3::Parse_Header_Block(m_Header_Block.data(), got);
    if (!block.ok) throw Damaged_File(block.problem);
    Header().Set_XML_string(block.text);
    if (!Header().Has_XML()) throw Damaged_File("The header document cannot be read");
    m_Header_Path = m_File_name;
    // A handler that only opened the file to append (the recovery of a journal) fits
    // frames too: their size and kind come from the recording when nobody set them.
    if ((Cropped_X() <= 0 || Cropped_Y() <= 0) && Header().RGB_X() > 0 && Header().RGB_Y() > 0) {
        Set_Cropped_X(Header().RGB_X());
        Set_Cropped_Y(Header().RGB_Y());
        Set_RGB_interlaced(Header().RGB_interlaced());
    }
    // Frames appended to a recording take the field layout its frames have.
    m_Compressor.Fields_Stacked(Header().Fields_Stacked());
    m_First_Sample_Pos = NX3::First_Sample_Offset + 1;
    Trace("*Read_NX3_Headers end, mfrva = " + std::to_string(m_First_Sample_Pos) +
          ", XML_len = " + std::to_string(block.length_field));
}

void cls_VideoFile_handler::Take_Header_Copy(size_t& got) {
    m_Header_Recovered.clear();
    const std::string copy = Header_Copy_Path(m_File_name);
    if (!Platform::File_Exists(copy)) return;
    std::string bytes;
    const std::vector<uint8_t> block = Platform::Read_File(copy, bytes) ? Copy_Block(bytes) : std::vector<uint8_t>{};
    const bool may_write = m_File.Writable() && !m_Read_only && m_Repair_Header;
    if (block.empty()) {
        Trace("*Read_NX3_Headers, the header copy " + copy + " is not sound: ignored and left as it is");
        return;
    }
    if (got == block.size() && std::equal(block.begin(), block.end(), m_Header_Block.begin())) {
        // The rewrite finished; only the copy's removal did not.
        if (may_write) {
            try {
                Platform::Delete_File(copy);
            } catch (const std::exception&) {
            }
        }
        return;
    }
    m_Header_Block = block;
    got = block.size();
    m_Header_Recovered = "The last header write of " + m_File_name + " was cut short: the header was read from " + copy;
    if (may_write) {
        m_File.Seek(0);
        m_File.Write(m_Header_Block.data(), m_Header_Block.size());
        m_File.Sync();
        Platform::Delete_File(copy);
        m_Header_Recovered += " and written back into the recording";
    } else {
        m_Header_Recovered += "; the recording itself is not repaired";
    }
    Trace("*Read_NX3_Headers, " + m_Header_Recovered);
}

void cls_VideoFile_handler::Tell(const std::string& message) {
    if (m_Quiet)
        Trace("*" + message);
    else
        Platform::MsgBox(message);
}

void cls_VideoFile_handler::Report(const std::exception& e, const std::string& location, int32_t line,
                                   const std::string& extra) {
    if (m_Quiet)
        Trace("*" + location + ": " + Exception_Description(e));
    else
        Report_Exception(e, location, line, extra);
}

bool cls_VideoFile_handler::Open_For_Reading(const std::string& path) {
    m_Quiet = true;
    m_Repair_Header = false;
    Close_File();
    Set_File_name(path);
    if (!Platform::File_Exists(path) || Platform::File_Size(path) < 100 || Lower_Case(m_Current_File_Suffix) != "nx3")
        return false;
    m_Read_only = true;  // opened for reading whatever the file allows
    return Open_RGB_File();
}

bool cls_VideoFile_handler::Open_File(const std::string& path) {
    Close_File();
    Set_File_name(path);
    try {
        if (!Platform::File_Exists(path)) {
            Trace("*OF1, filename = " + path);
            return false;
        }
        if (Platform::File_Size(path) < 100) {
            Tell("Corrupt file, (Invalid file length)");
            return false;
        }
        if (Lower_Case(m_Current_File_Suffix) != "nx3") {
            Tell("cls_AVI_handler can't open this file type! " + path);
            return false;
        }
        m_Read_only = Platform::Is_Read_Only(path);
        return Open_RGB_File();
    } catch (const HdxError& e) {
        m_File.Close();
        m_File_Num = 0;
        if (e.number == HdxErr::PermissionDenied)
            Tell("Permission denied!");
        else
            Report(e, Loc_Open_File, 0, "File = " + path);
    } catch (const std::exception& e) {
        m_File.Close();
        m_File_Num = 0;
        Report(e, Loc_Open_File, 0, "File = " + path);
    }
    return false;
}

bool cls_VideoFile_handler::Open_RGB_File() {
    const std::string& path = m_File_name;
    Trace("*Open_RGB_File, begin Filename = " + path + " Filelength = " + std::to_string(Platform::File_Size(path)));
    m_Last_Frame_Read = 0;
    m_Decoded_Frame = 0;
    // The read-error mark belongs to the recording: a new one starts clean.
    m_Read_Error = false;
    m_Bad_Sample = false;
    m_Damaged_Frame = false;
    m_RGB_Checksum = 0;
    m_Fields = {};
    try {
        Open_Handle(m_Read_only ? Binary_File::Mode::Read : Binary_File::Mode::Read_Write);
    } catch (const HdxError& e) {
        m_File_Num = 0;
        if (e.number >= 70 && e.number <= 79) {
            if (!m_Quiet) Platform::Beep();
            Tell("Windows error when trying to open file: " + path + CRLF + "Windows says: " + e.description +
                 " ,error number = " + std::to_string(e.number));
        } else {
            Report(e, Loc_Open_RGB, 0, "File = " + path);
        }
        return false;
    }
    try {
        Read_NX3_Headers();
        Take_Header_Values();
        Count_Frames(m_File.Length());
        if (m_num_Frames >= 2) {
            Trace("*Open_RGB_File, Read_RGB_sample 1");
            Read_RGB_sample(1, false);
            Read_RGB_sample(2, false);
            Read_RGB_sample(1, false);
            if (m_Read_Error) return true;
            Trace("*Open_RGB_File, Read_RGB_sample 2");
            Read_RGB_sample(2, false);
            if (m_Read_Error) return true;
            Trace("*Open_RGB_File, Read_RGB_sample m_Num_RGB_Frames " + std::to_string(m_num_Frames));
            Read_RGB_sample(static_cast<int16_t>(m_num_Frames), false);
            if (m_Read_Error) return true;
        }
        Trace("*Open_RGB_File end, m_File_Num = " + std::to_string(m_File_Num));
        return true;
    } catch (const Damaged_File& e) {
        Close_File();
        Tell("Corrupt file, (" + e.description + ")");
    } catch (const std::exception& e) {
        Close_File();
        Report(e, Loc_Open_RGB, 0, "File = " + path);
    }
    return false;
}

void cls_VideoFile_handler::Take_Header_Values() {
    Cls_XML_header& h = Header();
    m_RGB_X = h.RGB_X();
    m_RGB_Y = h.RGB_Y();
    if (m_RGB_X > 0 && m_RGB_Y > 0) {
        // Only picture 1 of each kind is drawn with; it takes the recording's size.
        if (m_Deint_Source[0].Width() != m_RGB_X || m_Deint_Source[0].Height() != m_RGB_Y)
            m_Deint_Source[0].Create(m_RGB_X, m_RGB_Y);
        if (m_Deint_Target[0].Width() != m_RGB_X || m_Deint_Target[0].Height() != m_RGB_Y)
            m_Deint_Target[0].Create(m_RGB_X, m_RGB_Y);
        if (m_Rotate_Target.Width() != m_RGB_Y || m_Rotate_Target.Height() != m_RGB_X)
            m_Rotate_Target.Create(m_RGB_Y, m_RGB_X);
    }
    Set_RGB_interlaced(h.RGB_interlaced());
    m_Compressor.Fields_Stacked(h.Fields_Stacked());
    m_RGB_Rotated = h.RGB_Rotated();
    m_Fourcc = h.RGB_fourcc();
    m_Codec = h.RGB_JPEG_codec();
    int32_t quality = Int32_Or_Zero(h.RGB_JPEG_Quality());
    m_Base_Quality = static_cast<int16_t>(std::clamp<int32_t>(quality, 0, std::numeric_limits<int16_t>::max()));
    int32_t row = Int32_Or_Zero(h.Hdr_spare1());
    m_RGB_Topdelim_Y = static_cast<int16_t>(
        std::clamp<int32_t>(row, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

void cls_VideoFile_handler::Count_Frames(int64_t file_length) {
    Cls_XML_header& h = Header();
    const int32_t header_s = h.RGB_Sample_Size();
    const int32_t header_n = h.RGB_Image_size();
    int32_t header_frames = h.G_Frames_no();
    if (header_frames < 0) header_frames = 0;

    int64_t s = header_s;
    // A recording whose first append pass never closed has N but no sample size yet.
    if (s <= NX3::Sample_Overhead) s = header_n > 0 ? NX3::Sample_Size(header_n) : 0;
    if (s > std::numeric_limits<int32_t>::max()) s = 0;
    if (s == 0 && header_frames > 0)
        throw Damaged_File("Invalid sample size " + std::to_string(header_s) + " for " + std::to_string(header_frames) +
                           " frames");
    m_Read_Sample_Size = static_cast<int32_t>(s);

    const int64_t complete = NX3::Complete_Samples(file_length, s);
    if (header_frames > complete) {
        Tell("Damaged file: the header counts " + std::to_string(header_frames) + " frames, but the file holds only " +
             std::to_string(complete) + " complete frames. Only those can be shown.");
    } else if (header_frames < complete) {
        // An append that was cut short: its complete samples are used.
        Trace("*Open_RGB_File, the header counts " + std::to_string(header_frames) + " frames, the file holds " +
              std::to_string(complete));
    }
    m_num_Frames = static_cast<int32_t>(std::min<int64_t>(complete, NX3::Max_Frames));
    Take_Rate();
    m_Num_fields = m_By_Field ? 2 * m_num_Frames : m_num_Frames;
}

void cls_VideoFile_handler::Take_Rate() {
    int64_t fps = 0;
    if (!Parse_Int64(Header().RGB_fps(), fps)) fps = 0;
    // Recordings were once marked interlaced at every rate but 40: one marked
    // interlaced above 40 frames a second came from a progressive source
    // (no interlaced source delivers more than 30 frames) and is read picture
    // by picture, as it always was reviewed.
    m_By_Field = m_RGB_interlaced && fps <= 40;
    if (fps >= Min_Recording_Fps && fps <= Max_Recording_Fps) {
        m_Frame_Rate = static_cast<int16_t>(fps);
        m_Frame_Period = static_cast<int16_t>(std::lround(1000.0 / static_cast<double>(fps)));
        m_Field_Period =
            m_By_Field ? static_cast<int16_t>(std::lround(500.0 / static_cast<double>(fps))) : m_Frame_Period;
    } else {
        // No rate to go by: the periods of a 25-frame interlaced camera.
        m_Frame_Rate = 0;
        m_Frame_Period = m_RGB_interlaced ? 40 : 20;
        m_Field_Period = 20;
    }
}

int32_t cls_VideoFile_handler::RGB_video_adress(int32_t n) const {
    const int64_t p = int64_t{m_First_Sample_Pos} + (int64_t{n} - 1) * m_Read_Sample_Size;
    if (p > std::numeric_limits<int32_t>::max() || p < std::numeric_limits<int32_t>::min())
        throw HdxError(HdxErr::Overflow,
                       "Overflow: the position of frame " + std::to_string(n) + " does not fit 32 bits");
    return static_cast<int32_t>(p);
}

void cls_VideoFile_handler::Read_Sample(int16_t n) {
    if (!m_File.Is_Open()) throw HdxError(HdxErr::BadFileMode, "No recording is open");
    if (n < 1 || n > m_num_Frames)
        throw HdxError(HdxErr::SubscriptOutOfRange, "Frame " + std::to_string(n) + " is not in this recording of " +
                                                        std::to_string(m_num_Frames) + " frames");
    const int32_t position = RGB_video_adress(n);
    const size_t size = static_cast<size_t>(m_Read_Sample_Size);
    m_Read_Scratch.resize(size);
    m_File.Seek(int64_t{position} - 1);
    const size_t got = m_File.Read(m_Read_Scratch.data(), size);
    ++m_Sample_Reads;
    if (got < 4 || !NX3::Has_Tag(m_Read_Scratch.data(), "RGBS")) {
        // A bad position or a damaged file: the sample held before stays.
        m_Bad_Sample = true;
        Trace("*Read_RGB_sample, no RGBS at " + std::to_string(position) + ", FNum = " + std::to_string(n));
        return;
    }
    if (got < size)
        throw HdxError(HdxErr::InputPastEnd, "Input past end of file: the sample of frame " + std::to_string(n) +
                                                 " holds " + std::to_string(got) + " of " + std::to_string(size) +
                                                 " bytes");
    std::swap(m_Read_Scratch, m_Read_UDT);
    Take_Sample_Fields(n);
}

void cls_VideoFile_handler::Take_Sample_Fields(int16_t n) {
    const NX3::Sample_Fields f = NX3::Read_Sample_Fields(m_Read_UDT.data());
    m_Fields = {f.capture_mill, f.capture_delta, f.capture_local, f.quality, f.jpeg_size, f.capture_events};
    const int32_t data_area = m_Read_Sample_Size - NX3::Sample_Overhead;
    m_Damaged_Frame = f.jpeg_size < 1 || f.jpeg_size > data_area || f.element_count != data_area;
    // The checksum adds every thousandth byte from data index 100 (indices from 1).
    const uint8_t* data = m_Read_UDT.data() + NX3::Sample::Data;
    const int32_t last = std::min(f.jpeg_size, data_area);
    int32_t sum = 0;
    for (int32_t i = 100; i <= last; i += 1000) sum += data[i - 1];
    m_RGB_Checksum = sum;
    m_Last_Frame_Read = n;
    m_Decoded_Frame = 0;
}

Sample_Read_Ahead::Geometry cls_VideoFile_handler::Read_Ahead_Geometry() const {
    Sample_Read_Ahead::Geometry g;
    // Only decoded samples gain from it; anything else is read as it always was.
    if (!m_File.Is_Open() || (m_Fourcc != "IJL" && m_Fourcc != "JPEG")) return g;
    g.path = m_File_name;
    g.first_sample_pos = m_First_Sample_Pos;
    g.sample_size = m_Read_Sample_Size;
    g.frames = m_num_Frames;
    g.width = m_RGB_X;
    g.height = m_RGB_Y;
    g.layout = m_Compressor.Settings().Layout();
    return g;
}

bool cls_VideoFile_handler::Take_Read_Ahead(int16_t n) {
    const Sample_Read_Ahead::Geometry where = Read_Ahead_Geometry();
    if (where.path.empty() || !m_Read_Ahead.Take(where, n, m_Read_Scratch, m_Deint_Source[0])) return false;
    // As Read_Sample and Decode_Held_Sample leave a clean sample.
    std::swap(m_Read_Scratch, m_Read_UDT);
    ++m_Sample_Reads;
    m_Bad_Sample = false;
    Take_Sample_Fields(n);
    ++m_Decodes;
    m_Decoded_Bits = m_Deint_Source[0].DIBSectionBitsPtr();
    m_Decoded_Frame = n;
    return true;
}

void cls_VideoFile_handler::Read_Ahead_From(int16_t n) {
    // Onward in the direction the review last moved.
    if (m_Read_Ahead_Last != 0 && n != m_Read_Ahead_Last) m_Read_Ahead_Step = n > m_Read_Ahead_Last ? 1 : -1;
    m_Read_Ahead_Last = n;
    const Sample_Read_Ahead::Geometry where = Read_Ahead_Geometry();
    if (!where.path.empty()) m_Read_Ahead.Request(where, int32_t{n} + m_Read_Ahead_Step);
}

const uint8_t* cls_VideoFile_handler::Sample_JPEG() const {
    if (m_Last_Frame_Read < 1 || m_Damaged_Frame || m_Read_UDT.size() < static_cast<size_t>(NX3::Sample::Data))
        return nullptr;
    return m_Read_UDT.data() + NX3::Sample::Data;
}

void cls_VideoFile_handler::Decode_Held_Sample() {
    cDIBSection& picture = m_Deint_Source[0];
    const int16_t n = m_Last_Frame_Read;
    const uint8_t* data = m_Read_UDT.data() + NX3::Sample::Data;
    const int32_t data_area = m_Read_Sample_Size - NX3::Sample_Overhead;
    ++m_Decodes;
    if (m_Fourcc == "IJL" || m_Fourcc == "JPEG") {
        bool decoded = false;
        if (m_Damaged_Frame)
            Trace("*Read_RGB_sample, damaged frame " + std::to_string(n) + ": JPEG size " +
                  std::to_string(m_Fields.jpeg_size) + " is not 1 to " + std::to_string(data_area));
        else
            decoded = mIntelJPEGLibrary::Decode_JPG_To_DIB(picture, data, m_Fields.jpeg_size,
                                                           m_Compressor.Settings().Layout(), m_RGB_Y);
        if (!decoded) {
            Trace("*bres = false, Read_RGB_sample, FNum = " + std::to_string(n));
            m_Damaged_Frame = true;
            Draw_Damaged_Frame(picture);
        }
    } else {
        if (!picture.DIBSectionBitsPtr() && m_RGB_X > 0 && m_RGB_Y > 0) picture.Create(m_RGB_X, m_RGB_Y);
        if (picture.DIBSectionBitsPtr())
            std::memcpy(picture.DIBSectionBitsPtr(), data,
                        static_cast<size_t>(std::min(picture.SizeImage(), std::max(data_area, 0))));
    }
    m_Decoded_Bits = picture.DIBSectionBitsPtr();
    m_Decoded_Frame = n;
}

bool cls_VideoFile_handler::Read_RGB_sample(int16_t n, bool decode) {
    Trace("*Read_RGB_sample begin , FNum = " + std::to_string(n));
    m_Bad_Sample = false;
    int64_t position = 0;
    try {
        position = int64_t{m_First_Sample_Pos} + (int64_t{n} - 1) * m_Read_Sample_Size;
        if (n == 0 || n != m_Last_Frame_Read) {
            if (!decode || !Take_Read_Ahead(n)) {
                Read_Sample(n);
                if (m_Bad_Sample) return false;
            }
        }
        // A sample held without its picture is decoded from memory.
        if (decode && m_Decoded_Frame != n) Decode_Held_Sample();
        if (decode) Read_Ahead_From(n);
        if (decode) Trace("*Read_RGB_sample end , FNum = " + std::to_string(n));
        return true;
    } catch (const std::exception& e) {
        m_Read_Error = true;
        Report(e, Loc_Read_Sample, 0,
               " my_fnum = " + std::to_string(n) + CRLF + " My_Video_adress = " + std::to_string(position) + CRLF +
                   m_File_name + "/End of extra info");
    }
    return false;
}

int16_t cls_VideoFile_handler::NX3_Capture_Delta() const { return To_Int16(m_Fields.capture_delta, "capture delta"); }

int16_t cls_VideoFile_handler::NX3_Compression_Quality() const { return To_Int16(m_Fields.quality, "JPEG quality"); }

std::string cls_VideoFile_handler::NX3_Properties() {
    if (!File_open()) return "";
    Cls_XML_header& h = Header();
    auto text = [](const std::function<std::string()>& get) {
        try {
            return get();
        } catch (const std::exception&) {
            return std::string();
        }
    };
    const int64_t length = File_size();
    const int64_t frames = m_num_Frames;
    const int64_t pixels = int64_t{m_RGB_X} * m_RGB_Y;
    // Without frames there is no average to show.
    const int64_t average = frames > 0 ? length / frames : 0;
    const int64_t ratio = frames > 0 && pixels > 0 ? length * 100 / frames / (pixels * 3) : 0;
    std::string dimensions = m_RGB_Rotated ? std::to_string(m_RGB_Y) + "*" + std::to_string(m_RGB_X) + " Rotated"
                                           : std::to_string(m_RGB_X) + "*" + std::to_string(m_RGB_Y);
    const std::string lines[] = {
        "File size: " + Megabytes_Text(length) + " MB",
        "Average frame size : " + std::to_string(average / 1024) + " kB",
        "Read RGB sample size  : " + std::to_string(m_Read_Sample_Size),
        "Average compression ratio : " + std::to_string(ratio) + "%",
        "Frames : " + std::to_string(frames),
        "Segments : " + text([&] { return std::to_string(h.Segments_no()); }),
        "Rotated : " + Bool_Word(m_RGB_Rotated),
        "Dimensions : " + dimensions,
        "Fourcc : " + m_Fourcc,
        "Codec : " + m_Codec,
        "Base Quality : " + std::to_string(m_Base_Quality),
        "Reduced Quality instances : " + text([&] { return std::to_string(h.JPG_Reduced_Qual_num()); }),
        "JPG Threshold : " + text([&] { return h.RGB_Max_Seen_size(); }) + "/" +
            text([&] { return h.RGB_Comp_Threshold(); }),
        "Max JPG : " + text([&] { return std::to_string(h.RGB_Compressed_max_Size()); }),
        "Min JPG : " + text([&] { return std::to_string(h.RGB_Compressed_min_Size()); }),
        "Measured fps : " + text([&] { return h.RGB_fps(); }),
        "Interlaced : " + Bool_Word(m_RGB_interlaced),
        "Capture Computer : " + h.Comp_Name(),
        "Capture property : " + h.Capture_property(),
        "Capture .exe name : " + h.Exe_Name(),
        "Control Box serial : " + h.Phidget_serial(),
        "Comment : " + text([&] { return h.File_comment1(); }),
    };
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty()) out += CRLF;
        out += line;
    }
    return out;
}

// ---------------------------------------------------------------------------
// drawing

void cls_VideoFile_handler::Draw_Damaged_Frame(cDIBSection& picture) {
    if (!picture.DIBSectionBitsPtr())
        picture.Create(m_RGB_X > 0 ? m_RGB_X : Start_Width, m_RGB_Y > 0 ? m_RGB_Y : Start_Height);
    picture.Fill_with_RGB(Damaged_Blue);
    QImage canvas = picture.hDC();
    if (canvas.isNull()) return;
    QPainter painter(&canvas);
    painter.setTransform(picture.Upright_Transform());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(64);
    painter.setFont(font);
    painter.setPen(QColor(255, 0, 0));
    painter.drawText(QRect(10, 100, 490, 300), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("Corrupted video\n in this frame!"));
}

const cDIBSection* cls_VideoFile_handler::Show_Picture(cDIBSection& picture, const char* mismatch_message) {
    if (!picture.DIBSectionBitsPtr()) return nullptr;
    if (!m_RGB_Rotated) return &picture;
    // The quarter turn needs a target of the swapped size.
    if (m_Rotate_Target.Width() != picture.Height() || m_Rotate_Target.Height() != picture.Width()) {
        Tell(mismatch_message);
        return nullptr;
    }
    Picture_Ops::Rotate90(picture.DIBSectionBitsPtr(), m_Rotate_Target.DIBSectionBitsPtr(), picture.Width(),
                          picture.Height(), 0);
    return &m_Rotate_Target;
}

const cDIBSection* cls_VideoFile_handler::Prepare_RGB_frame(int16_t n) {
    Read_RGB_sample(n, true);
    m_Displayed_Frame = n;
    m_Field_To_Show = 99;
    m_Nominal_Elapsed = (int32_t{n} - 1) * m_Frame_Period;
    return Show_Picture(m_Deint_Source[0], "Draw_Current_RGB_frame rotate size mismatch!");
}

const cDIBSection* cls_VideoFile_handler::Prepare_RGB_Field(int32_t f) {
    try {
        // Fields 2k - 1 and 2k belong to frame k.
        const int64_t k = static_cast<int64_t>(std::floor(f / 2.0 + 0.5));
        Read_RGB_sample(To_Int16(k, "frame number"), true);
        if (m_Read_Error) return nullptr;
        m_Field_To_Show = (f % 2 != 0) ? 1 : 2;
        m_Current_Field = f;
        m_Displayed_Frame = static_cast<int16_t>(k);
        cDIBSection& source = m_Deint_Source[0];
        cDIBSection& target = m_Deint_Target[0];
        if (!source.DIBSectionBitsPtr()) return nullptr;
        if (target.Width() != source.Width() || target.Height() != source.Height()) {
            target.Create(source.Width(), source.Height());
            const std::string line = "Deinterlace, size mismatch for file = " + m_File_name;
            Trace(line);
            if (!Facts().AppData_Folder.empty()) Log_Event(line);  // no data folder, no log
        }
        if (source.SizeImage() != target.SizeImage() || !target.DIBSectionBitsPtr()) {
            Tell(" Draw_RFB_field deinterlaceFrame2 size mismatch!");
            return nullptr;
        }
        Picture_Ops::deinterlaceFrame2(source.DIBSectionBitsPtr(), target.DIBSectionBitsPtr(),
                                       To_Int16(target.Width(), "picture width"),
                                       To_Int16(target.Height(), "picture height"), m_Field_To_Show == 1 ? 2 : 1);
        m_Nominal_Elapsed = (f - 1) * m_Field_Period;
        return Show_Picture(target, "Draw_Current_Field rotate size mismatch!");
    } catch (const std::exception& e) {
        Report(e, Loc_Draw_Field);
    }
    return nullptr;
}

const cDIBSection* cls_VideoFile_handler::Prepare_Position(int32_t p) {
    if (m_By_Field) return Prepare_RGB_Field(p);
    if (p < 1 || p > std::numeric_limits<int16_t>::max()) return nullptr;
    return Prepare_RGB_frame(static_cast<int16_t>(p));
}

bool cls_VideoFile_handler::Draw_Position(int32_t p, Platform::Picture_Canvas& picture) {
    if (m_By_Field) return Draw_RGB_Field(p, picture);
    if (p < 1 || p > std::numeric_limits<int16_t>::max()) return false;
    return Draw_RGB_frame(static_cast<int16_t>(p), picture);
}

int32_t cls_VideoFile_handler::Frame_Of_Position(int32_t p) const { return m_By_Field ? (p + 1) / 2 : p; }

bool cls_VideoFile_handler::Holds_Intact_Sample(int32_t n) const {
    // A bad or unreadable sample leaves the one read before it held.
    return n >= 1 && m_Last_Frame_Read == n && m_Decoded_Frame == n && !m_Damaged_Frame;
}

bool cls_VideoFile_handler::Draw_RGB_frame(int16_t n, Platform::Picture_Canvas& picture) {
    const cDIBSection* shown = Prepare_RGB_frame(n);
    if (shown) {
        cDIBSection& p = const_cast<cDIBSection&>(*shown);
        p.DIB_DrawDib2(picture, 0, 0, p.Width(), p.Height());
    }
    return shown && Holds_Intact_Sample(n);
}

bool cls_VideoFile_handler::Draw_RGB_Field(int32_t f, Platform::Picture_Canvas& picture) {
    const cDIBSection* shown = Prepare_RGB_Field(f);
    if (shown) {
        cDIBSection& p = const_cast<cDIBSection&>(*shown);
        p.DIB_DrawDib2(picture, 0, 0, p.Width(), p.Height());
    }
    return shown && Holds_Intact_Sample(m_Displayed_Frame) && m_Current_Field == f;
}

void cls_VideoFile_handler::Draw_Damaged_Frame(Platform::Picture_Canvas& picture) {
    // A picture of its own: the held sample's decoded picture stays for the next position.
    cDIBSection damaged;
    Draw_Damaged_Frame(damaged);
    damaged.DIB_DrawDib2(picture, 0, 0, damaged.Width(), damaged.Height());
}

void cls_VideoFile_handler::Draw_Current_RGB_frame(Platform::Picture_Canvas& picture) {
    if (const cDIBSection* shown = Show_Picture(m_Deint_Source[0], "Draw_Current_RGB_frame rotate size mismatch!")) {
        cDIBSection& p = const_cast<cDIBSection&>(*shown);
        p.DIB_DrawDib2(picture, 0, 0, p.Width(), p.Height());
    }
}

void cls_VideoFile_handler::Draw_Current_Field(Platform::Picture_Canvas& picture) {
    if (const cDIBSection* shown = Show_Picture(m_Deint_Target[0], "Draw_Current_Field rotate size mismatch!")) {
        cDIBSection& p = const_cast<cDIBSection&>(*shown);
        p.DIB_DrawDib2(picture, 0, 0, p.Width(), p.Height());
    }
}

uint32_t cls_VideoFile_handler::Get_Field_Pixel(int32_t x, int32_t y) {
    return (m_RGB_Rotated ? m_Rotate_Target : m_Deint_Target[0]).Get_Pixel(x, y);
}

void cls_VideoFile_handler::Set_Field_Pixel(int32_t x, int32_t y, uint32_t colour) {
    (m_RGB_Rotated ? m_Rotate_Target : m_Deint_Target[0]).Set_Pixel(x, y, colour);
}

// ---------------------------------------------------------------------------
// header pass-throughs that report

int32_t cls_VideoFile_handler::Reported_Int(const char* property, const std::function<int32_t()>& get) {
    try {
        return get();
    } catch (const std::exception& e) {
        Report(e, std::string(property) + " of Class Module cls_AVI_handler");
    }
    return 0;
}

int32_t cls_VideoFile_handler::Hdx_Heat_time(int16_t box, bool split) {
    return Reported_Int("Hdx_Heat_time", [&] { return Header().Hdx_Heat_time(box, split); });
}

int32_t cls_VideoFile_handler::Hdx_Heat_Click_Time(int16_t box) {
    return Reported_Int("Hdx_Heat_Click_Time", [&] { return Header().Hdx_Heat_Click_Time(box); });
}

int32_t cls_VideoFile_handler::Hdx_heat_frame(int16_t box) {
    return Reported_Int("Hdx_heat_frame", [&] { return Header().Hdx_heat_frame(box); });
}

int32_t cls_VideoFile_handler::Hdx_start_PC_mill() {
    return Reported_Int("Hdx_start_PC_mill", [&] { return Int32_Or_Zero(Header().Hdx_heat_start_PC_mill()); });
}

int32_t cls_VideoFile_handler::Hdx_box_delay() {
    return Reported_Int("Hdx_box_delay", [&] {
        const std::string text = Header().Hdx_box_delay();
        int32_t v = 0;
        if (!Parse_Int32(text, v)) throw HdxError(HdxErr::TypeMismatch, "Type mismatch: box delay \"" + text + "\"");
        return v;
    });
}

double cls_VideoFile_handler::Hdx_Goal_compensation() {
    try {
        const std::string text = Header().Goal_Compensation();
        double v = 0;
        if (!Parse_Decimal(text, v))
            throw HdxError(HdxErr::TypeMismatch, "Type mismatch: goal compensation \"" + text + "\"");
        return v;
    } catch (const std::exception& e) {
        Report(e, "Hdx_Goal_compensation of Class Module cls_AVI_handler");
    }
    return 0;
}

double cls_VideoFile_handler::Hdx_Split_compensation() {
    try {
        const std::string text = Header().Split_Compensation();
        double v = 0;
        if (!Parse_Decimal(text, v))
            throw HdxError(HdxErr::TypeMismatch, "Type mismatch: split compensation \"" + text + "\"");
        return v;
    } catch (const std::exception& e) {
        Report(e, "Hdx_Split_compensation of Class Module cls_AVI_handler");
    }
    return 0;
}

int16_t cls_VideoFile_handler::Measured_fps() {
    const std::string text = Header().RGB_fps();
    int64_t v = 0;
    if (!Parse_Int64(text, v)) throw HdxError(HdxErr::TypeMismatch, "Type mismatch: frame rate \"" + text + "\"");
    return To_Int16(v, "frame rate");
}

int32_t cls_VideoFile_handler::Start_HDMI_events(int16_t heat) {
    try {
        const std::string text = Header().XML_string();
        if (text.find("<heat_record") == std::string::npos) return 0;  // this system's documents hold none
        pugi::xml_document doc;
        if (!Load_XML_Text(doc, text)) return 0;
        const std::string selector = "//heat_record[@id='" + std::to_string(heat) + "']/start_hdmi_events";
        const pugi::xpath_node node = doc.select_node(selector.c_str());
        return node ? Int32_Or_Zero(node.node().text().get()) : 0;
    } catch (...) {
        return 0;
    }
}
