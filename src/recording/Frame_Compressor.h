#pragma once
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

#include "recording/IStored_Frames.h"
#include "recording/cDIBSection.h"
#include "recording/mIntelJPEGLibrary.h"

// How fitting one frame into the recording's data area ended.
enum class Fit_Status {
    Stored,         // a fresh JPEG of Size bytes at Quality is in JPG_Buffer()
    Too_Large,      // larger than the data area even at the lowest quality; reported
    Encode_Failed,  // the frame could not be compressed; reported
    No_Data_Area,   // the data-area size has not been chosen yet; reported
};

struct JPG_Fit {
    Fit_Status Status = Fit_Status::Encode_Failed;
    int16_t Quality = 0;   // quality of the last attempt
    int32_t Size = 0;      // size of the last JPEG produced
    int32_t Attempts = 0;  // encodings tried
    bool Stored() const { return Status == Fit_Status::Stored; }
};

// Everything fitting one frame found out, worked out without touching a
// compressor's state, so that frames can be fitted on several threads and the
// findings entered in frame order afterwards.
struct Fit_Findings {
    JPG_Fit Fit;                        // Stored, Too_Large or Encode_Failed
    int32_t Largest = 0;                // largest JPEG of the attempts (0: none)
    int32_t Smallest = 999999;          // smallest JPEG of the attempts (999999: none)
    std::exception_ptr Compress_Error;  // why the last attempt could not compress
};

// The settings fitting reads, taken at one moment, so that worker threads
// never read a compressor that the writer may change.
struct Fit_Settings {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Image_Size = 0;  // bytes a stored frame must hold
    int16_t Initial_Quality = 80;
    int32_t Data_Area = 0;    // N
    int32_t Capacity = 0;     // bytes the encoder output may need
    bool Interlaced = false;  // frames hold two fields
    // The two fields of an interlaced frame are stored apart (stacked), not
    // interleaved as recordings made before were.
    bool Fields_Stacked = false;

    mIntelJPEGLibrary::Field_Layout Layout() const {
        return Interlaced && Fields_Stacked ? mIntelJPEGLibrary::Field_Layout::Stacked
                                            : mIntelJPEGLibrary::Field_Layout::Interleaved;
    }
    // Interleaved fields keep a colour row per picture row, else colour halved
    // over two rows would mix them; stacked fields never share a block.
    mIntelJPEGLibrary::Chroma Chroma() const {
        return Interlaced && !Fields_Stacked ? mIntelJPEGLibrary::Chroma::Full_Rows
                                             : mIntelJPEGLibrary::Chroma::Half_Rows;
    }
    // Encodes bits laid out like a frame of this size into output of size
    // bytes (the JPEG size on return); raises as the JPEG layer does.
    void Encode(const uint8_t* bits, uint8_t* output, int32_t& size, int quality) const {
        mIntelJPEGLibrary::Encode_Bits_To_JPG(bits, Width, Height, output, size, quality, Chroma(), Layout());
    }
};

// The compression state of one recording handler: the encoder buffer, the
// frame size, the start quality, the data-area size N of the recording's
// samples, and the size statistics. It compresses stored frames and fits each
// one into N bytes by lowering the quality.
class Frame_Compressor {
public:
    static constexpr int16_t Start_Quality = 80;
    static constexpr int32_t JPG_Buffer_Size = 1000001;
    static constexpr int32_t No_Smallest = 999999;
    // Error number of a frame that cannot be fitted.
    static constexpr int Fit_Error = 26002;

    Frame_Compressor();
    Frame_Compressor(const Frame_Compressor&) = delete;
    Frame_Compressor& operator=(const Frame_Compressor&) = delete;

    // Frame size; setting Cropped_Y (after Cropped_X) prepares the frame header
    // and makes the encoder buffer large enough for frames of that size.
    int32_t Cropped_X() const { return cropped_x_; }
    void Cropped_X(int32_t width) { cropped_x_ = width; }
    int32_t Cropped_Y() const { return cropped_y_; }
    void Cropped_Y(int32_t height);
    const Bitmap_Info_Header& Frame_Header() const { return m_Frame_Header; }

    // Frames of two fields; stacked: their fields are stored apart (see Fit_Settings).
    bool Interlaced() const { return m_Interlaced; }
    void Interlaced(bool value) { m_Interlaced = value; }
    bool Fields_Stacked() const { return m_Fields_Stacked; }
    void Fields_Stacked(bool value) { m_Fields_Stacked = value; }

    int16_t Initial_Quality() const { return m_Initial_Quality; }
    void Initial_Quality(int16_t quality);  // kept within 1 .. 100

    // N; 0 = not chosen yet.
    int32_t Rounded_Compressed_Size() const { return m_Rounded_Compressed_Size; }
    void Rounded_Compressed_Size(int32_t n) { m_Rounded_Compressed_Size = n < 0 ? 0 : n; }

    // The JPEG last produced: Compressed_Size() bytes at JPG_Buffer(); size 0
    // after a failed compression, so a stale picture is never taken for a new one.
    int32_t Compressed_Size() const { return m_Compressed_Size; }
    const uint8_t* JPG_Buffer() const { return m_JPG_Buffer.data(); }

    int32_t Largest_JPG() const { return m_Largest_JPG; }
    int32_t Smallest_JPG() const { return m_Smallest_JPG; }
    void JPG_Sizes(int32_t smallest, int32_t largest);

    // A new recording: no JPEG, N not chosen, statistics 0 and 999999.
    void Reset_For_New_Recording();

    // Compresses frame index of frames at quality into JPG_Buffer(). False (and
    // reported as "Compress_Frame of Class Module Class_RGB_file_handler") when
    // the frame is missing, smaller than the frame size, or cannot be encoded.
    bool Compress_Frame(const IStored_Frames& frames, int32_t index, int16_t quality);

    // Chooses N from test frames C-1, CInt(C/2) and 2 (clamped to the frames
    // there are) compressed at the initial quality, and sets it; returns N.
    // With no frames, or none that compresses, N stays unchosen (0). Frames
    // fitted as they arrived into an N chosen before the window by the same
    // rule (from the pre-trigger frames) bring that N: it is taken as it is.
    int32_t Calculate_Compressed_Size(const IStored_Frames& frames);
    // The test frames of count frames, 1-based, in the order they are tried.
    static std::vector<int32_t> Test_Frames(int32_t count);

    // Compresses the frame at the initial quality, then at falling qualities,
    // until it fits into N bytes; every attempt enters the statistics. The
    // lowest quality is tried once: a frame that is still too large is reported
    // and not stored.
    JPG_Fit Fit_Frame(const IStored_Frames& frames, int32_t index);

    // The fitting of Fit_Frame for one frame (count: the frames there are, for
    // the messages) with these settings into output, which must hold
    // settings.Capacity bytes. It touches nothing else, so several threads may
    // run it at once; it reports nothing and enters no statistics.
    static Fit_Findings Find_Fit(const Fit_Settings& settings, const std::optional<Stored_Frame_Ref>& frame,
                                 int32_t index, int32_t count, uint8_t* output);
    Fit_Settings Settings() const;
    // Enters the findings of frame index as Fit_Frame would have: statistics,
    // then the report of a frame that could not be compressed or fitted.
    JPG_Fit Take_Fit(const Fit_Findings& findings, int32_t index);

    // CInt(q * 0.85) with halves to even; at 3 and below it gives q again.
    static int16_t Next_Quality(int16_t quality);
    // The qualities the fitting tries from start down to the lowest.
    static std::vector<int16_t> Quality_Ladder(int16_t start);
    // N for the largest test JPEG M: the multiple of 1000 that is floor((M + 5500) / 1000) * 1000.
    static int32_t Data_Area_Size(int32_t largest_jpg);

private:
    // Encodes the frame at quality into output of settings.Capacity bytes and
    // returns the JPEG size; raises what Compress_Frame reports.
    static int32_t Encode_Frame(const Fit_Settings& settings, const std::optional<Stored_Frame_Ref>& frame,
                                int32_t index, int32_t count, int16_t quality, uint8_t* output);

    std::vector<uint8_t> m_JPG_Buffer;
    int32_t m_Compressed_Size = 0;
    int16_t m_Initial_Quality = Start_Quality;
    int32_t m_Rounded_Compressed_Size = 0;
    int32_t m_Largest_JPG = 0;
    int32_t m_Smallest_JPG = No_Smallest;
    bool m_Interlaced = false;
    bool m_Fields_Stacked = false;
    int32_t cropped_x_ = 0;
    int32_t cropped_y_ = 0;
    Bitmap_Info_Header m_Frame_Header{};
};
