#include "recording/Frame_Compressor.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "recording/mIntelJPEGLibrary.h"

namespace {
const char* const Compress_Location = "Compress_Frame of Class Module Class_RGB_file_handler";
const char* const Append_Location = "append_RGB_frame of cls_avi_handler";

// CInt of a non-negative numerator / denominator: nearest integer, halves to even.
int64_t Round_Half_Even(int64_t numerator, int64_t denominator) {
    int64_t q = numerator / denominator;
    const int64_t twice_rest = 2 * (numerator % denominator);
    if (twice_rest > denominator || (twice_rest == denominator && (q % 2) != 0)) ++q;
    return q;
}
}  // namespace

Frame_Compressor::Frame_Compressor() : m_JPG_Buffer(JPG_Buffer_Size) {}

void Frame_Compressor::Cropped_Y(int32_t height) {
    cropped_y_ = height;
    m_Frame_Header = Make_Info_Header(cropped_x_, cropped_y_);
    // Frames of this size are then encoded straight into the buffer, never through a copy.
    const int32_t need = mIntelJPEGLibrary::Worst_Case_Size(cropped_x_, cropped_y_);
    if (need > static_cast<int32_t>(m_JPG_Buffer.size())) m_JPG_Buffer.resize(static_cast<size_t>(need));
}

void Frame_Compressor::Initial_Quality(int16_t quality) { m_Initial_Quality = std::clamp<int16_t>(quality, 1, 100); }

void Frame_Compressor::JPG_Sizes(int32_t smallest, int32_t largest) {
    m_Smallest_JPG = smallest;
    m_Largest_JPG = largest;
}

void Frame_Compressor::Reset_For_New_Recording() {
    m_Compressed_Size = 0;
    m_Rounded_Compressed_Size = 0;
    JPG_Sizes(No_Smallest, 0);
}

Fit_Settings Frame_Compressor::Settings() const {
    return Fit_Settings{cropped_x_,
                        cropped_y_,
                        m_Frame_Header.biSizeImage,
                        m_Initial_Quality,
                        m_Rounded_Compressed_Size,
                        static_cast<int32_t>(m_JPG_Buffer.size()),
                        m_Interlaced,
                        m_Fields_Stacked};
}

int32_t Frame_Compressor::Encode_Frame(const Fit_Settings& settings, const std::optional<Stored_Frame_Ref>& frame,
                                       int32_t index, int32_t count, int16_t quality, uint8_t* output) {
    if (!frame || !frame->Video_Adress)
        throw HdxError(HdxErr::SubscriptOutOfRange,
                       "No stored frame " + std::to_string(index) + " (" + std::to_string(count) + " stored)");
    const int32_t need = settings.Image_Size;
    if (settings.Width <= 0 || settings.Height <= 0 || need <= 0)
        throw HdxError(HdxErr::InvalidProcedureCall, "The frame size is not set");
    if (frame->RGB_Length < need)
        throw HdxError(HdxErr::SubscriptOutOfRange,
                       "Stored frame " + std::to_string(index) + " holds " + std::to_string(frame->RGB_Length) +
                           " bytes, a " + std::to_string(settings.Width) + " x " + std::to_string(settings.Height) +
                           " frame needs " + std::to_string(need));
    // The stored pixels already have the section layout: encode them where they are.
    int32_t size = settings.Capacity;
    settings.Encode(frame->Video_Adress, output, size, quality);
    return size;
}

bool Frame_Compressor::Compress_Frame(const IStored_Frames& frames, int32_t index, int16_t quality) {
    m_Compressed_Size = 0;
    try {
        m_Compressed_Size =
            Encode_Frame(Settings(), frames.Item(index), index, frames.Count(), quality, m_JPG_Buffer.data());
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, Compress_Location);
    }
    return false;
}

int32_t Frame_Compressor::Calculate_Compressed_Size(const IStored_Frames& frames) {
    const int32_t count = frames.Count();
    if (count < 1) {
        Trace("*Calculate_Compressed_Size, no stored frames");
        return m_Rounded_Compressed_Size;
    }
    const std::vector<int32_t> tests = Test_Frames(count);
    for (int32_t index : tests) {
        const std::optional<Stored_Frame_Ref> frame = frames.Item(index);
        if (frame && frame->Jpeg.Data && frame->Jpeg.Data_Area > 0) {
            m_Rounded_Compressed_Size = frame->Jpeg.Data_Area;
            return m_Rounded_Compressed_Size;
        }
    }
    int32_t largest = -1;
    for (int32_t index : tests) {
        // A frame compressed as it arrived at this quality has its size already.
        const std::optional<Stored_Frame_Ref> frame = frames.Item(index);
        if (frame && frame->Jpeg.Data && frame->Jpeg.Data_Area == 0 && frame->Jpeg.Quality == m_Initial_Quality) {
            largest = std::max(largest, frame->Jpeg.Size);
            continue;
        }
        if (Compress_Frame(frames, index, m_Initial_Quality)) largest = std::max(largest, m_Compressed_Size);
    }
    if (largest < 0) return m_Rounded_Compressed_Size;  // nothing compressed; already reported
    m_Rounded_Compressed_Size = Data_Area_Size(largest);
    return m_Rounded_Compressed_Size;
}

std::vector<int32_t> Frame_Compressor::Test_Frames(int32_t count) {
    if (count < 1) return {};
    // With fewer than three frames some test positions do not exist; they fall
    // on the nearest frame there is.
    const int32_t tests[3] = {count - 1, static_cast<int32_t>(Round_Half_Even(count, 2)), 2};
    std::vector<int32_t> out;
    for (int32_t t : tests) out.push_back(std::clamp(t, 1, count));
    return out;
}

JPG_Fit Frame_Compressor::Fit_Frame(const IStored_Frames& frames, int32_t index) {
    if (m_Rounded_Compressed_Size <= 0) {
        JPG_Fit fit;
        fit.Status = Fit_Status::No_Data_Area;
        NXF_Error_Handler("The JPEG data-area size is not chosen; frame " + std::to_string(index) + " is not stored",
                          Fit_Error, 0, Append_Location);
        return fit;
    }
    const Fit_Findings findings = Find_Fit(Settings(), frames.Item(index), index, frames.Count(), m_JPG_Buffer.data());
    m_Compressed_Size = findings.Fit.Status == Fit_Status::Encode_Failed ? 0 : findings.Fit.Size;
    return Take_Fit(findings, index);
}

Fit_Findings Frame_Compressor::Find_Fit(const Fit_Settings& settings, const std::optional<Stored_Frame_Ref>& frame,
                                        int32_t index, int32_t count, uint8_t* output) {
    if (frame && frame->Jpeg.Data) {
        const Stored_Jpeg& j = frame->Jpeg;
        const auto taken = [&](Fit_Status status) {
            // The fitting done as the frame arrived: the same result, no encoding.
            Fit_Findings found;
            found.Fit = JPG_Fit{status, j.Quality, j.Size, 0};
            found.Largest = j.Largest;
            found.Smallest = j.Smallest;
            if (status == Fit_Status::Stored) std::memcpy(output, j.Data, static_cast<size_t>(j.Size));
            return found;
        };
        // A fit read back from a journal is checked: one larger than N is fitted again.
        if (j.Data_Area > 0 && j.Data_Area == settings.Data_Area && j.Size <= settings.Capacity &&
            (j.Too_Large || j.Size <= settings.Data_Area))
            return taken(j.Too_Large ? Fit_Status::Too_Large : Fit_Status::Stored);
        if (j.Data_Area == 0 && j.Quality == settings.Initial_Quality && j.Size <= settings.Data_Area)
            return taken(Fit_Status::Stored);
        // The ladder goes on below the initial quality: from the raw picture
        // while the frame has it, else from the compressed one decoded.
        Stored_Frame_Ref raw = *frame;
        raw.Jpeg = Stored_Jpeg{};
        std::vector<uint8_t> decoded;
        if (!raw.Video_Adress) {
            decoded.resize(static_cast<size_t>(std::max(0, settings.Image_Size)));
            // The compressed picture was made with these settings: its fields lie as theirs do.
            if (decoded.empty() ||
                !mIntelJPEGLibrary::Decode_JPG_To_Bits(j.Data, j.Size, decoded.data(), settings.Width, settings.Height,
                                                       settings.Layout())) {
                Fit_Findings failed;
                failed.Fit.Status = Fit_Status::Encode_Failed;
                failed.Compress_Error = std::make_exception_ptr(
                    HdxError(HdxErr::InvalidProcedureCall,
                             "Stored frame " + std::to_string(index) + " has neither its picture nor a readable JPEG"));
                return failed;
            }
            raw.Video_Adress = decoded.data();
            raw.RGB_Length = settings.Image_Size;
        }
        Fit_Findings found = Find_Fit(settings, raw, index, count, output);
        if (j.Data_Area == 0) {
            // The encoding made on arrival was the ladder's first attempt.
            found.Largest = std::max(found.Largest, j.Size);
            found.Smallest = std::min(found.Smallest, j.Size);
        }
        return found;
    }
    Fit_Findings found;
    JPG_Fit& fit = found.Fit;
    const int32_t n = settings.Data_Area;
    int16_t q = settings.Initial_Quality;
    for (;;) {
        fit.Quality = q;
        ++fit.Attempts;
        try {
            fit.Size = Encode_Frame(settings, frame, index, count, q, output);
        } catch (...) {
            found.Compress_Error = std::current_exception();
            fit.Status = Fit_Status::Encode_Failed;
            fit.Size = 0;
            return found;
        }
        found.Largest = std::max(found.Largest, fit.Size);
        found.Smallest = std::min(found.Smallest, fit.Size);
        if (fit.Size <= n) {
            fit.Status = Fit_Status::Stored;
            return found;
        }
        const int16_t next = Next_Quality(q);
        if (next == q) break;
        q = next;
    }
    fit.Status = Fit_Status::Too_Large;
    return found;
}

JPG_Fit Frame_Compressor::Take_Fit(const Fit_Findings& findings, int32_t index) {
    const JPG_Fit& fit = findings.Fit;
    if (findings.Largest > m_Largest_JPG) m_Largest_JPG = findings.Largest;
    if (findings.Smallest < m_Smallest_JPG) m_Smallest_JPG = findings.Smallest;
    if (fit.Status == Fit_Status::Encode_Failed && findings.Compress_Error) {
        try {
            std::rethrow_exception(findings.Compress_Error);
        } catch (const std::exception& e) {
            Report_Exception(e, Compress_Location);
        } catch (...) {
            NXF_Error_Handler("Frame " + std::to_string(index) + " could not be compressed", Fit_Error, 0,
                              Compress_Location);
        }
    } else if (fit.Status == Fit_Status::Too_Large) {
        NXF_Error_Handler("Frame " + std::to_string(index) + " does not fit into the JPEG data area of " +
                              std::to_string(m_Rounded_Compressed_Size) + " bytes even at quality " +
                              std::to_string(fit.Quality) + " (" + std::to_string(fit.Size) +
                              " bytes); the frame is not stored",
                          Fit_Error, 0, Append_Location);
    }
    return fit;
}

int16_t Frame_Compressor::Next_Quality(int16_t quality) {
    if (quality < 1) return quality;
    return static_cast<int16_t>(Round_Half_Even(static_cast<int64_t>(quality) * 17, 20));
}

std::vector<int16_t> Frame_Compressor::Quality_Ladder(int16_t start) {
    std::vector<int16_t> ladder{start};
    for (int16_t q = Next_Quality(start); q != ladder.back(); q = Next_Quality(q)) ladder.push_back(q);
    return ladder;
}

int32_t Frame_Compressor::Data_Area_Size(int32_t largest_jpg) {
    const int64_t m = largest_jpg < 0 ? 0 : largest_jpg;
    return static_cast<int32_t>((m + 5500) / 1000 * 1000);
}
