#include "review/Paint_Box.h"

#include <QApplication>
#include <QPalette>

#include "platform/PictureBox.h"
#include "review/Module_Results.h"

void Paint_box(Platform::PictureBox& picture, int box) {
    picture.Cls();
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    for (int size = 64; size >= 1; --size) {
        font.setPointSize(size);
        picture.Set_Font(font);
        if (0.9 * picture.Text_Height(QStringLiteral("8")) < picture.Scale_Height()) break;
    }
    QColor back, number;
    switch (box) {
        case 1:
            back = QColor(181, 0, 0);
            number = Qt::white;
            break;
        case 2:
            back = QColor(64, 116, 202);
            number = Qt::white;
            break;
        case 3:
            back = Qt::white;
            number = Qt::black;
            break;
        case 4:
            back = Qt::black;
            number = Qt::white;
            break;
        case 5:
            back = QColor(231, 177, 27);
            number = Qt::black;
            break;
        case 6:
            back = Qt::white;
            number = QColor(255, 0, 0);
            break;
        default: picture.Refresh(); return;
    }
    const double w = picture.Scale_Width(), h = picture.Scale_Height();
    picture.Box(0, 0, w, h, back, true);
    if (box == 6) {
        // The button-shadow colour of the desktop theme.
        const QColor shadow = QApplication::palette().color(QPalette::Dark);
        picture.Box(0, h / 4, w, h / 2, shadow, true);
        picture.Box(0, 3 * h / 4, w, h, shadow, true);
    }
    picture.Set_Fore_Color(number);
    picture.Current_X = 0;
    picture.Current_Y = 0;
    picture.Print(QString::number(box));
    picture.Refresh();
}

void Paint_box(Platform::PictureBox& picture, const Result_Record& record) { Paint_box(picture, record.Box); }
