#include "review/Font_Fit.h"

#include <exception>

#include <QFontMetrics>
#include <QLabel>

#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"

int Max_Font(Platform::PictureBox& picture, const std::string& text) {
    try {
        const QString caption = QString::fromStdString(text);
        QFont font = picture.Font();
        font.setFamily(QStringLiteral("Arial"));
        for (int size = 110; size >= 8; size -= 2) {
            font.setPointSize(size);
            picture.Set_Font(font);
            if (picture.Text_Width(caption) < picture.Scale_Width() &&
                picture.Text_Height(caption) < picture.Scale_Height())
                return size;
        }
        font.setPointSize(8);
        picture.Set_Font(font);
    } catch (const std::exception& e) {
        Platform::MsgBox("Max_Font error! " + std::to_string(Exception_Number(e)) + " " + Exception_Description(e));
    }
    // The smallest size is the answer also after a failure, so a caller never
    // sets a font of size 0.
    return 8;
}

void Fit_Font_Size(QLabel& label) {
    QFont font = label.font();
    int size = font.pointSize();
    if (size < 1) return;  // a pixel-sized font: nothing to step
    const double room = 0.9 * label.width();
    for (;;) {
        font.setPointSize(size);
        if (QFontMetrics(font).horizontalAdvance(label.text()) < room || size <= 7) break;
        size -= 2;
    }
    label.setFont(font);
}
