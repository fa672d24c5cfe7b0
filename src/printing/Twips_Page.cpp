#include "printing/Twips_Page.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPrinter>

#include "platform/HdxError.h"

namespace {
constexpr int Printer_Error = 482;
constexpr double Twips_Per_Point = 20.0;
}  // namespace

Twips_Page::Twips_Page(QPrinter& printer) : m_Printer(printer) {
    const QPageLayout layout = printer.pageLayout();
    m_Width = layout.fullRect(QPageLayout::Point).width() * Twips_Per_Point;
    m_Height = layout.fullRect(QPageLayout::Point).height() * Twips_Per_Point;
    m_Scale_Width = layout.paintRect(QPageLayout::Point).width() * Twips_Per_Point;
    m_Scale_Height = layout.paintRect(QPageLayout::Point).height() * Twips_Per_Point;
    if (!m_Painter.begin(&printer)) throw HdxError(Printer_Error, "Printer error: the document could not be started");
    const double dots_per_inch = printer.resolution() > 0 ? printer.resolution() : 1200;
    m_Twips_Per_Dot = 1440.0 / dots_per_inch;
    // Everything below is given in twips; the painter's origin is already the
    // top left corner of the printable area.
    m_Painter.scale(1.0 / m_Twips_Per_Dot, 1.0 / m_Twips_Per_Dot);
    m_Painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_Font = QFont(QStringLiteral("Arial"));
    Set_Font_Size(10);
}

Twips_Page::~Twips_Page() {
    if (m_Painter.isActive()) {
        m_Printer.abort();
        m_Painter.end();
    }
}

void Twips_Page::Set_Font_Size(double points) {
    if (points < 1) points = 1;
    m_Font_Size = points;
    // Pixel sizes in twips: the painter's scale turns them into the point size on paper.
    m_Font.setPixelSize(static_cast<int>(std::lround(points * Twips_Per_Point)));
}

double Twips_Page::Text_Width(const QString& text) const { return QFontMetricsF(m_Font).horizontalAdvance(text); }

double Twips_Page::Text_Height() const { return QFontMetricsF(m_Font).lineSpacing(); }

void Twips_Page::Print(const QString& text) {
    if (!text.isEmpty()) {
        m_Painter.setFont(m_Font);
        m_Painter.setPen(Qt::black);
        m_Painter.drawText(QPointF(Current_X, Current_Y + QFontMetricsF(m_Font).ascent()), text);
    }
    Current_X = 0;
    Current_Y += Text_Height();
}

void Twips_Page::Line(double x1, double y1, double x2, double y2) {
    QPen pen(Qt::black);
    pen.setWidthF(m_Draw_Width * m_Twips_Per_Dot);
    m_Painter.setPen(pen);
    m_Painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    Current_X = x2;
    Current_Y = y2;
}

void Twips_Page::Paint_Picture(const QImage& picture, double x, double y, double width, double height) {
    m_Painter.drawImage(QRectF(x, y, width, height), picture);
}

void Twips_Page::End_Doc() {
    if (!m_Painter.end()) throw HdxError(Printer_Error, "Printer error: the document could not be ended");
}
