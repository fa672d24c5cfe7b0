#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <QImage>
#include <QRect>
#include <QTransform>

namespace Platform {
class Picture_Canvas;
}

// The header that describes a 24-bit picture laid out like a section's bits.
struct Bitmap_Info_Header {
    int32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // positive: rows are stored bottom-up
    int16_t biPlanes = 1;
    int16_t biBitCount = 24;
    int32_t biCompression = 0;  // uncompressed RGB
    int32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    int32_t biClrUsed = 0;
    int32_t biClrImportant = 0;
};

// Row length of a 24-bit picture: 3 bytes per pixel, padded to a multiple of 4.
constexpr int64_t Bytes_Per_Scan_Line(int64_t width) { return (3 * width + 3) / 4 * 4; }

// Header for a width x height picture in the section layout.
Bitmap_Info_Header Make_Info_Header(int32_t width, int32_t height);

// Raster operation of a plain copy.
constexpr uint32_t SRCCOPY = 0x00CC0020;

// A 24-bit picture in memory with direct access to its bytes: blue, green, red
// per pixel, rows bottom-up (the first bytes are the bottom row), each row padded
// to a multiple of 4 bytes. Every decoded, deinterlaced, rotated, compressed or
// shown picture lives in one of these.
class cDIBSection {
public:
    cDIBSection() = default;
    virtual ~cDIBSection();
    cDIBSection(const cDIBSection&) = delete;
    cDIBSection& operator=(const cDIBSection&) = delete;

    // Releases the current picture, then makes a zeroed width x height one.
    // False (and no picture) when the size is zero, negative or too large.
    bool Create(int32_t width, int32_t height);
    void ClearUp();
    // Exchanges the pictures (bits, size) and nothing else.
    void Swap(cDIBSection& other) noexcept;

    int32_t Width() const { return header_.biWidth; }
    int32_t Height() const { return header_.biHeight; }
    int32_t BytesPerScanLine() const { return bytes_per_line_; }
    int32_t SizeImage() const { return header_.biSizeImage; }
    uint8_t* DIBSectionBitsPtr() { return bits_.get(); }
    const uint8_t* DIBSectionBitsPtr() const { return bits_.get(); }
    int16_t BitCount() const { return header_.biBitCount; }
    int16_t Planes() const { return header_.biPlanes; }
    int32_t Compression() const { return header_.biCompression; }
    int32_t SizeInfoHeader() const { return header_.biSize; }
    int32_t ClrUsed() const { return header_.biClrUsed; }
    int32_t ClrImportant() const { return header_.biClrImportant; }
    int32_t XPelsPerMeter() const { return header_.biXPelsPerMeter; }
    int32_t YPelsPerMeter() const { return header_.biYPelsPerMeter; }
    const Bitmap_Info_Header* pBitmapInfo() const { return &header_; }
    const Bitmap_Info_Header* Addr_InfoHeader() const { return &header_; }

    // The drawing context: a fresh image over the bits in memory order (its row
    // 0 is the bottom row of the picture); painting on it paints the picture. Use
    // Upright_Transform() for picture coordinates. Null while there is no picture.
    // Paint on the returned image itself: a copy of it would detach from the bits.
    QImage hDC();
    // Maps picture coordinates (origin top left) onto hDC().
    QTransform Upright_Transform() const;

    // Kept for callers that switch the stretching service on or off; the
    // setting survives Create. Drawing always has the service here.
    bool UseDrawDib() const { return use_drawdib_; }
    void UseDrawDib(bool on) { use_drawdib_ = on; }

    const std::string& ID_string() const { return id_string_; }
    void ID_string(const std::string& id) { id_string_ = id; }

    // Every pixel to the colour 0x00BBGGRR; row padding is left alone.
    void Fill_with_RGB(uint32_t colour);

    // Picture row y counted from the top (nullptr outside the picture).
    uint8_t* Scan_Line(int32_t y);
    const uint8_t* Scan_Line(int32_t y) const;
    // Pixel colour 0x00BBGGRR at picture position x, y (top left origin);
    // 0xFFFFFFFF outside the picture. Set_Pixel ignores positions outside.
    uint32_t Get_Pixel(int32_t x, int32_t y) const;
    void Set_Pixel(int32_t x, int32_t y, uint32_t colour);

    // Stretches the source rectangle (picture coordinates) over the whole
    // picture box and refreshes it. A call that arrives while a draw of this
    // section is still running is dropped; drawing faults are swallowed.
    void DIB_DrawDib2(Platform::Picture_Canvas& picture, int32_t source_top, int32_t source_left, int32_t source_width,
                      int32_t source_height);

    // Draws the picture from the source corner (full picture size) stretched to
    // the destination rectangle; a negative destination width or height means
    // the picture's own. Failures show "DIB_paintpicture error".
    void DIB_PaintPicture(QImage& target, int32_t dest_left, int32_t dest_top, int32_t dest_width, int32_t dest_height,
                          int32_t source_left, int32_t source_top, uint32_t raster_op = SRCCOPY);
    void DIB_PaintPicture(Platform::Picture_Canvas& picture, int32_t dest_left, int32_t dest_top, int32_t dest_width,
                          int32_t dest_height, int32_t source_left, int32_t source_top, uint32_t raster_op = SRCCOPY);

protected:
    // The stretching copy of a source rectangle (picture coordinates, inside the
    // picture) onto a destination rectangle of target.
    virtual void Stretch_Draw(QImage& target, const QRectF& dest, const QRect& source);
    // Stretch_Draw's one-to-one case into a 32-bit picture, row by row; false
    // (nothing drawn) when the draw needs scaling or another target format.
    bool Copy_Upright(QImage& target, const QRectF& dest, const QRect& source) const;

private:
    // Clips source to the picture and shrinks dest in proportion; false when
    // nothing is left to draw.
    bool Clip(QRectF& dest, QRect& source) const;

    struct Free_Bits {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    // Read-only view of the bits for drawing from.
    QImage Source_Image() const;

    std::unique_ptr<uint8_t, Free_Bits> bits_;
    Bitmap_Info_Header header_{};
    int32_t bytes_per_line_ = 0;
    bool use_drawdib_ = false;
    bool drawing_ = false;
    std::string id_string_;
};
