#pragma once
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// How the official looks at the review picture: zoomed into part of the
// recording and with the picture lifted or sharpened. Only the view changes;
// the recording and its pixels never do. Positions are converted between the
// canvas and recording pixels here, so the goal line, its drag, nose marks
// and box clicks stay exact at every zoom.
struct Review_View {
    int Zoom = 1;            // 1, 2, 4 or 8
    QPointF Centre{-1, -1};  // recording pixel at the view's centre; (-1, -1): the picture's centre
    int Brightness = 0;      // -100 .. 100, a share of full white added
    int Contrast = 0;        // -100 .. 100, percent more (less) spread round mid grey
    double Gamma = 1.0;      // 0.25 .. 4; above 1 lifts the dark parts
    bool Sharpen = false;
    bool Greyscale = false;

    bool Enhanced() const { return Brightness != 0 || Contrast != 0 || Gamma != 1.0 || Sharpen || Greyscale; }
    bool operator==(const Review_View&) const = default;
};

namespace Review_Views {

// The next zoom step up (down) from zoom: 1, 2, 4, 8; it stays at the ends.
int Zoom_In(int zoom);
int Zoom_Out(int zoom);

// The part of a recording of the given size that the view shows: 1/zoom of
// each side round the centre, kept inside the recording.
QRectF Source(const Review_View& view, QSizeF recording);

// A canvas position (canvas of the given size showing Source) in recording
// pixels, and back.
QPointF To_Recording(const Review_View& view, QPointF canvas_point, QSizeF canvas, QSizeF recording);
QPointF To_Canvas(const Review_View& view, QPointF recording_point, QSizeF canvas, QSizeF recording);

// Zooms to zoom keeping the recording point under the same canvas position
// (the pointer's place), or centred on it when keep_place is false.
void Zoom_At(Review_View& view, int zoom, QPointF recording_point, QPointF canvas_point, QSizeF canvas,
             QSizeF recording, bool keep_place = true);
// Moves the view by a distance in recording pixels (kept inside the recording).
void Pan(Review_View& view, QPointF by, QSizeF recording);

// Redraws canvas (which shows the whole recording) as the view sees it: the
// Source part enlarged with whole pixels kept sharp, then the enhancement.
void Apply(QImage& canvas, const Review_View& view, QSizeF recording);

}  // namespace Review_Views
