#include "review/Finish_Strip.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QPainter>

#include "common/Module_dependant.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Review_Timing.h"

int32_t Finish_Strip::Field_At(int32_t x) const {
    if (x < 0 || Column_Width <= 0) return 0;
    const int32_t f = x / Column_Width + 1;
    return f <= Fields() ? f : 0;
}

namespace Finish_Strip_Builder {

namespace {

constexpr int32_t Scale_Rows = 26;

// Ticks under every field and a labelled one at every tenth of a second,
// placed between the fields whose times enclose it.
void Draw_Scale(QImage& picture, const std::vector<std::optional<int32_t>>& times, double x_per_field, int32_t top) {
    QPainter p(&picture);
    p.fillRect(0, top, picture.width(), picture.height() - top, Qt::white);
    p.setPen(Qt::black);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    p.setFont(font);
    int last_label_right = -1000;
    for (size_t i = 0; i < times.size(); ++i) {
        if (!times[i]) continue;
        const double x = (static_cast<double>(i) + 0.5) * x_per_field;
        if (x_per_field >= 2) p.drawLine(QPointF(x, top), QPointF(x, top + 3));
        if (i + 1 >= times.size() || !times[i + 1]) continue;
        const int32_t a = *times[i], b = *times[i + 1];
        if (b <= a) continue;
        // The first tenth of a second in (a, b]: marked between the two fields.
        const int32_t tenth = static_cast<int32_t>(std::floor(a / 100.0)) * 100 + 100;
        if (tenth > b) continue;
        const double tx = x + x_per_field * (tenth - a) / static_cast<double>(b - a);
        p.drawLine(QPointF(tx, top), QPointF(tx, top + 8));
        const QString label = QString::fromStdString(Display_Mill_Time(tenth, true));
        const int w = p.fontMetrics().horizontalAdvance(label);
        const int left = static_cast<int>(std::lround(tx)) - w / 2;
        if (left > last_label_right + 6 && left >= 0 && left + w <= picture.width()) {
            p.drawText(left, top + 9 + p.fontMetrics().ascent(), label);
            last_label_right = left + w;
        }
    }
}

}  // namespace

double Line_X(const Goal_Line_Points& line, double y) {
    const double dy = line.P2.Y - line.P1.Y;
    if (dy == 0) return line.P1.X;
    return line.P1.X + (line.P2.X - line.P1.X) * (y - line.P1.Y) / dy;
}

Finish_Strip Build(cls_VideoFile_handler& h, const Goal_Line_Points& line, int32_t column_width,
                   const std::function<void(int)>& progress) {
    Finish_Strip strip;
    strip.Column_Width = std::clamp(column_width, 1, 16);
    const int32_t fields = h.Num_fields();
    if (fields <= 0) return strip;
    const cDIBSection* first = h.Prepare_Position(1);
    if (!first) return strip;
    const int32_t width = first->Width(), height = first->Height();
    const int32_t top = std::max(0, std::min(line.P1.Y, line.P2.Y));
    const int32_t bottom = std::min(height - 1, std::max(line.P1.Y, line.P2.Y));
    if (bottom < top) return strip;
    strip.Line_Top = top;
    strip.Rows = bottom - top + 1;
    strip.Scale_Height = Scale_Rows;
    strip.Times.assign(static_cast<size_t>(fields), std::nullopt);
    strip.Picture = QImage(fields * strip.Column_Width, strip.Rows + Scale_Rows, QImage::Format_RGB32);
    strip.Picture.fill(Qt::black);

    const int32_t start = h.Hdx_start_PC_mill();
    const double compensation = h.Hdx_Goal_compensation();
    std::vector<int32_t> xs(static_cast<size_t>(strip.Rows));
    for (int32_t r = 0; r < strip.Rows; ++r)
        xs[static_cast<size_t>(r)] = static_cast<int32_t>(std::lround(Line_X(line, top + r)));
    for (int32_t f = 1; f <= fields; ++f) {
        if (progress && (f == 1 || f % 50 == 0)) progress(static_cast<int>(100LL * (f - 1) / fields));
        const cDIBSection* field = h.Prepare_Position(f);
        // A damaged field stays black and has no time.
        if (!field || h.Damaged_Frame() || field->Width() != width || field->Height() != height) continue;
        strip.Times[static_cast<size_t>(f - 1)] = Review_Timing::Position_Elapsed(h, start, compensation);
        const int32_t x0 = strip.X_Of(f);
        for (int32_t r = 0; r < strip.Rows; ++r) {
            auto* out = reinterpret_cast<QRgb*>(strip.Picture.scanLine(r));
            for (int32_t c = 0; c < strip.Column_Width; ++c) {
                const uint32_t bgr = field->Get_Pixel(xs[static_cast<size_t>(r)] + c, top + r);
                out[x0 + c] =
                    bgr == 0xFFFFFFFF ? qRgb(0, 0, 0) : qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
            }
        }
    }
    Draw_Scale(strip.Picture, strip.Times, strip.Column_Width, strip.Rows);
    if (progress) progress(100);
    return strip;
}

QImage Scaled(const Finish_Strip& strip, int32_t width) {
    if (strip.Picture.isNull() || width <= 0) return {};
    const QImage fields = strip.Picture.copy(0, 0, strip.Picture.width(), strip.Rows);
    QImage out(width, strip.Rows + strip.Scale_Height, QImage::Format_RGB32);
    QPainter(&out).drawImage(QRect(0, 0, width, strip.Rows),
                             fields.scaled(width, strip.Rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    Draw_Scale(out, strip.Times, static_cast<double>(width) / std::max(1, strip.Fields()), strip.Rows);
    return out;
}

Finish_Strip Section(const Finish_Strip& strip, int32_t first, int32_t last) {
    first = std::max(first, 1);
    last = std::min(last, strip.Fields());
    Finish_Strip part;
    part.Column_Width = strip.Column_Width;
    if (strip.Picture.isNull() || first > last) return part;
    part.Line_Top = strip.Line_Top;
    part.Rows = strip.Rows;
    part.Scale_Height = strip.Scale_Height;
    part.Times.assign(strip.Times.begin() + (first - 1), strip.Times.begin() + last);
    part.Picture =
        strip.Picture.copy(strip.X_Of(first), 0, (last - first + 1) * strip.Column_Width, strip.Picture.height());
    Draw_Scale(part.Picture, part.Times, part.Column_Width, part.Rows);
    return part;
}

}  // namespace Finish_Strip_Builder
