#include "review/Review_View.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <QPainter>

namespace Review_Views {

namespace {

QPointF Centre_Of(const Review_View& view, QSizeF recording) {
    if (view.Centre.x() < 0 || view.Centre.y() < 0) return {recording.width() / 2, recording.height() / 2};
    return view.Centre;
}

// Tone curve of one channel: gamma, then contrast round mid grey, then brightness.
std::array<uint8_t, 256> Tone_Table(const Review_View& v) {
    std::array<uint8_t, 256> t{};
    const double gamma = std::clamp(v.Gamma, 0.25, 4.0);
    const double contrast = 1.0 + std::clamp(v.Contrast, -100, 100) / 100.0;
    const double brightness = std::clamp(v.Brightness, -100, 100) / 100.0;
    for (int i = 0; i < 256; ++i) {
        double x = std::pow(i / 255.0, 1.0 / gamma);
        x = (x - 0.5) * contrast + 0.5 + brightness;
        t[static_cast<size_t>(i)] = static_cast<uint8_t>(std::lround(std::clamp(x, 0.0, 1.0) * 255.0));
    }
    return t;
}

void Sharpen(QImage& image) {
    const QImage source = image.copy();
    const int w = image.width(), h = image.height();
    for (int y = 1; y + 1 < h; ++y) {
        const auto* up = reinterpret_cast<const QRgb*>(source.constScanLine(y - 1));
        const auto* mid = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        const auto* down = reinterpret_cast<const QRgb*>(source.constScanLine(y + 1));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 1; x + 1 < w; ++x) {
            auto channel = [&](int (*part)(QRgb)) {
                const int v = 5 * part(mid[x]) - part(mid[x - 1]) - part(mid[x + 1]) - part(up[x]) - part(down[x]);
                return std::clamp(v, 0, 255);
            };
            out[x] = qRgb(channel(qRed), channel(qGreen), channel(qBlue));
        }
    }
}

}  // namespace

int Zoom_In(int zoom) { return std::min(8, std::max(1, zoom) * 2); }
int Zoom_Out(int zoom) { return std::max(1, std::min(8, zoom) / 2); }

QRectF Source(const Review_View& view, QSizeF recording) {
    const double zoom = std::clamp(view.Zoom, 1, 8);
    const double w = recording.width() / zoom, h = recording.height() / zoom;
    const QPointF c = Centre_Of(view, recording);
    const double left = std::clamp(c.x() - w / 2, 0.0, recording.width() - w);
    const double top = std::clamp(c.y() - h / 2, 0.0, recording.height() - h);
    return {left, top, w, h};
}

QPointF To_Recording(const Review_View& view, QPointF p, QSizeF canvas, QSizeF recording) {
    const QRectF s = Source(view, recording);
    if (canvas.width() <= 0 || canvas.height() <= 0) return s.topLeft();
    return {s.left() + p.x() * s.width() / canvas.width(), s.top() + p.y() * s.height() / canvas.height()};
}

QPointF To_Canvas(const Review_View& view, QPointF p, QSizeF canvas, QSizeF recording) {
    const QRectF s = Source(view, recording);
    if (s.width() <= 0 || s.height() <= 0) return {};
    return {(p.x() - s.left()) * canvas.width() / s.width(), (p.y() - s.top()) * canvas.height() / s.height()};
}

void Zoom_At(Review_View& view, int zoom, QPointF point, QPointF canvas_point, QSizeF canvas, QSizeF recording,
             bool keep_place) {
    view.Zoom = std::clamp(zoom, 1, 8);
    if (view.Zoom == 1) {
        view.Centre = {-1, -1};
        return;
    }
    if (!keep_place || canvas.width() <= 0 || canvas.height() <= 0) {
        view.Centre = point;
        return;
    }
    // The point stays under the pointer: the view's centre is as far from it as the pointer is from the canvas's
    // centre.
    const double w = recording.width() / view.Zoom, h = recording.height() / view.Zoom;
    view.Centre = {point.x() - (canvas_point.x() / canvas.width() - 0.5) * w,
                   point.y() - (canvas_point.y() / canvas.height() - 0.5) * h};
    const QRectF s = Source(view, recording);  // kept inside the recording
    view.Centre = s.center();
}

void Pan(Review_View& view, QPointF by, QSizeF recording) {
    if (view.Zoom <= 1) return;
    const QRectF s = Source(view, recording);
    view.Centre = s.center() + by;
    view.Centre = Source(view, recording).center();
}

void Apply(QImage& canvas, const Review_View& view, QSizeF recording) {
    if (canvas.isNull()) return;
    if (view.Zoom > 1 && recording.width() > 0 && recording.height() > 0) {
        const QRectF s = Source(view, recording);
        const double kx = canvas.width() / recording.width(), ky = canvas.height() / recording.height();
        const QRect part = QRectF(s.left() * kx, s.top() * ky, s.width() * kx, s.height() * ky).toAlignedRect();
        const QImage seen = canvas.copy(part.intersected(canvas.rect()));
        // Whole recording pixels become even blocks: nothing is smoothed into the nose.
        const QImage enlarged = seen.scaled(canvas.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QPainter(&canvas).drawImage(0, 0, enlarged);
    }
    if (!view.Enhanced()) return;
    if (canvas.format() != QImage::Format_RGB32 && canvas.format() != QImage::Format_ARGB32 &&
        canvas.format() != QImage::Format_ARGB32_Premultiplied)
        canvas = canvas.convertToFormat(QImage::Format_RGB32);
    if (view.Sharpen) Sharpen(canvas);
    const std::array<uint8_t, 256> tone = Tone_Table(view);
    for (int y = 0; y < canvas.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            int r = qRed(row[x]), g = qGreen(row[x]), b = qBlue(row[x]);
            if (view.Greyscale) r = g = b = (299 * r + 587 * g + 114 * b + 500) / 1000;
            row[x] = qRgb(tone[static_cast<size_t>(r)], tone[static_cast<size_t>(g)], tone[static_cast<size_t>(b)]);
        }
    }
}

}  // namespace Review_Views
