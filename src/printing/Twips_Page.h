#pragma once
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

class QPrinter;

// One printed page drawn in twips (1/1440 inch) with a current position, as
// the printouts are laid out: text lines start at the current position and
// move it to the start of the next line, pictures and lines are placed in
// twips. The origin is the top left corner of the printable area.
class Twips_Page {
public:
    // Starts the document; HdxError 482 when the printer cannot start it.
    explicit Twips_Page(QPrinter& printer);
    // Abandons a document that was not ended.
    ~Twips_Page();
    Twips_Page(const Twips_Page&) = delete;
    Twips_Page& operator=(const Twips_Page&) = delete;

    // Paper size and printable area, in twips.
    double Width() const { return m_Width; }
    double Height() const { return m_Height; }
    double ScaleWidth() const { return m_Scale_Width; }
    double ScaleHeight() const { return m_Scale_Height; }
    double ScaleTop() const { return 0; }

    double Current_X = 0;
    double Current_Y = 0;

    void Set_Font_Name(const QString& name) { m_Font.setFamily(name); }
    void Set_Font_Size(double points);
    double Font_Size() const { return m_Font_Size; }
    void Set_Bold(bool on) { m_Font.setBold(on); }
    void Set_Italic(bool on) { m_Font.setItalic(on); }
    void Set_Underline(bool on) { m_Font.setUnderline(on); }
    const QFont& Font() const { return m_Font; }
    // Line width in printer dots.
    void Set_Draw_Width(int dots) { m_Draw_Width = dots < 1 ? 1 : dots; }

    double Text_Width(const QString& text) const;
    double Text_Height() const;
    // Draws text at the current position; the position moves to the left edge
    // of the next line.
    void Print(const QString& text);
    void Line(double x1, double y1, double x2, double y2);
    void Paint_Picture(const QImage& picture, double x, double y, double width, double height);
    // Ends the document (sends the page); HdxError 482 when that fails.
    void End_Doc();

private:
    QPrinter& m_Printer;
    QPainter m_Painter;
    QFont m_Font;
    double m_Font_Size = 10;
    int m_Draw_Width = 1;
    double m_Width = 0, m_Height = 0, m_Scale_Width = 0, m_Scale_Height = 0;
    double m_Twips_Per_Dot = 1;
};
