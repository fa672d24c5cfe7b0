#include "recording/cDIBSection.h"

#include <cstring>
#include <utility>
#include <limits>
#include <stdexcept>

#include <QPainter>

#include "platform/Dialogs.h"
#include "platform/Picture_Canvas.h"

Bitmap_Info_Header Make_Info_Header(int32_t width, int32_t height) {
    Bitmap_Info_Header h;
    h.biWidth = width;
    h.biHeight = height;
    const int64_t size = Bytes_Per_Scan_Line(width) * height;
    h.biSizeImage = size > std::numeric_limits<int32_t>::max() ? 0 : static_cast<int32_t>(size);
    return h;
}

cDIBSection::~cDIBSection() { ClearUp(); }

bool cDIBSection::Create(int32_t width, int32_t height) {
    ClearUp();
    if (width <= 0 || height <= 0) return false;
    const int64_t line = Bytes_Per_Scan_Line(width);
    const int64_t size = line * height;
    // The image size is a signed 32-bit header field, and QImage counts bytes per line in an int.
    if (size > std::numeric_limits<int32_t>::max()) return false;
    // calloc: large pictures get zero pages lazily instead of being cleared up front.
    uint8_t* p = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
    if (!p) return false;
    bits_.reset(p);
    header_ = Make_Info_Header(width, height);
    bytes_per_line_ = static_cast<int32_t>(line);
    return true;
}

void cDIBSection::ClearUp() {
    bits_.reset();
    header_ = Bitmap_Info_Header{};
    bytes_per_line_ = 0;
}

void cDIBSection::Swap(cDIBSection& other) noexcept {
    std::swap(bits_, other.bits_);
    std::swap(header_, other.header_);
    std::swap(bytes_per_line_, other.bytes_per_line_);
}

QImage cDIBSection::hDC() {
    if (!bits_) return QImage();
    return QImage(bits_.get(), Width(), Height(), bytes_per_line_, QImage::Format_BGR888);
}

QImage cDIBSection::Source_Image() const {
    if (!bits_) return QImage();
    return QImage(static_cast<const uchar*>(bits_.get()), Width(), Height(), bytes_per_line_, QImage::Format_BGR888);
}

QTransform cDIBSection::Upright_Transform() const {
    // Memory row r holds picture row height-1-r.
    return QTransform(1, 0, 0, -1, 0, Height());
}

void cDIBSection::Fill_with_RGB(uint32_t colour) {
    uint8_t* bits = bits_.get();
    if (!bits) return;
    const uint8_t px[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                           static_cast<uint8_t>(colour)};
    const size_t row_bytes = static_cast<size_t>(Width()) * 3;
    for (size_t i = 0; i < row_bytes; i += 3) std::memcpy(bits + i, px, 3);
    for (int32_t r = 1; r < Height(); ++r)
        std::memcpy(bits + static_cast<size_t>(r) * bytes_per_line_, bits, row_bytes);
}

uint8_t* cDIBSection::Scan_Line(int32_t y) {
    if (!bits_ || y < 0 || y >= Height()) return nullptr;
    return bits_.get() + static_cast<size_t>(Height() - 1 - y) * bytes_per_line_;
}

const uint8_t* cDIBSection::Scan_Line(int32_t y) const { return const_cast<cDIBSection*>(this)->Scan_Line(y); }

uint32_t cDIBSection::Get_Pixel(int32_t x, int32_t y) const {
    const uint8_t* row = Scan_Line(y);
    if (!row || x < 0 || x >= Width()) return 0xFFFFFFFFu;
    const uint8_t* p = row + static_cast<size_t>(x) * 3;
    return static_cast<uint32_t>(p[2]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[0]) << 16);
}

void cDIBSection::Set_Pixel(int32_t x, int32_t y, uint32_t colour) {
    uint8_t* row = Scan_Line(y);
    if (!row || x < 0 || x >= Width()) return;
    uint8_t* p = row + static_cast<size_t>(x) * 3;
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
}

bool cDIBSection::Clip(QRectF& dest, QRect& source) const {
    if (!bits_ || source.width() <= 0 || source.height() <= 0 || dest.width() <= 0 || dest.height() <= 0) return false;
    const QRect visible = source.intersected(QRect(0, 0, Width(), Height()));
    if (visible.isEmpty()) return false;
    const double fx = dest.width() / source.width();
    const double fy = dest.height() / source.height();
    dest = QRectF(dest.left() + (visible.left() - source.left()) * fx, dest.top() + (visible.top() - source.top()) * fy,
                  visible.width() * fx, visible.height() * fy);
    source = visible;
    return true;
}

bool cDIBSection::Copy_Upright(QImage& target, const QRectF& dest, const QRect& source) const {
    const QImage::Format f = target.format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QRect to = dest.toRect();
    if (QRectF(to) != dest || to.size() != source.size() || !target.rect().contains(to)) return false;
    const int32_t w = to.width();
    for (int32_t y = 0; y < to.height(); ++y) {
        const uint8_t* from = Scan_Line(source.top() + y) + static_cast<size_t>(source.left()) * 3;
        auto* row = reinterpret_cast<uint32_t*>(target.scanLine(to.top() + y)) + to.left();
        for (int32_t x = 0; x < w; ++x, from += 3)
            row[x] =
                0xFF000000u | (static_cast<uint32_t>(from[2]) << 16) | (static_cast<uint32_t>(from[1]) << 8) | from[0];
    }
    return true;
}

void cDIBSection::Stretch_Draw(QImage& target, const QRectF& dest, const QRect& source) {
    // The review's usual draw is one to one: the painter's flipped draw would
    // convert the whole picture on its worker threads first, slower than this
    // copy on a busy two-core machine.
    if (Copy_Upright(target, dest, source)) return;
    QPainter p(&target);
    // Flip inside the destination: the section's first memory row is the picture's bottom row.
    p.translate(dest.left(), dest.top() + dest.height());
    p.scale(1, -1);
    const QRectF from(source.left(), Height() - source.top() - source.height(), source.width(), source.height());
    p.drawImage(QRectF(0, 0, dest.width(), dest.height()), Source_Image(), from);
}

void cDIBSection::DIB_DrawDib2(Platform::Picture_Canvas& picture, int32_t source_top, int32_t source_left,
                               int32_t source_width, int32_t source_height) {
    if (drawing_) return;  // a draw of this section is still running (re-entered through events)
    drawing_ = true;
    try {
        QImage& canvas = picture.Canvas();
        QRectF dest(0, 0, picture.To_Pixel_X(picture.Scale_Width()), picture.To_Pixel_Y(picture.Scale_Height()));
        QRect source(source_left, source_top, source_width, source_height);
        if (!canvas.isNull() && Clip(dest, source)) Stretch_Draw(canvas, dest, source);
        picture.Refresh();
    } catch (...) {
        // A failed draw leaves the box as it was; the next frame draws again.
    }
    drawing_ = false;
}

void cDIBSection::DIB_PaintPicture(QImage& target, int32_t dest_left, int32_t dest_top, int32_t dest_width,
                                   int32_t dest_height, int32_t source_left, int32_t source_top,
                                   uint32_t /*raster_op: the stretching path never uses it*/) {
    try {
        if (!bits_ || target.isNull()) throw std::runtime_error("no picture");
        if (dest_width < 0) dest_width = Width();
        if (dest_height < 0) dest_height = Height();
        QRectF dest(dest_left, dest_top, dest_width, dest_height);
        QRect source(source_left, source_top, Width(), Height());
        if (Clip(dest, source)) Stretch_Draw(target, dest, source);
    } catch (...) {
        Platform::MsgBox("DIB_paintpicture error");
    }
}

void cDIBSection::DIB_PaintPicture(Platform::Picture_Canvas& picture, int32_t dest_left, int32_t dest_top,
                                   int32_t dest_width, int32_t dest_height, int32_t source_left, int32_t source_top,
                                   uint32_t raster_op) {
    DIB_PaintPicture(picture.Canvas(), dest_left, dest_top, dest_width, dest_height, source_left, source_top,
                     raster_op);
    picture.Refresh();
}
