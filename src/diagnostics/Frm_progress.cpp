#include "Frm_progress.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QProgressBar>

Frm_progress::Frm_progress(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("Frm_progress");
    Text_caption = new QLineEdit(this);
    Text_caption->setObjectName("Text_caption");
    Text_caption->setReadOnly(true);
    Text_caption->setFrame(false);
    Text_caption->setAlignment(Qt::AlignCenter);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    resize(420, 110);
}

void Frm_progress::Set_Caption(const QString& text) {
    Text_caption->setText(text);
    Text_caption->repaint();
}

void Frm_progress::Set_Percent(int percent) {
    if (percent < ProgressBar1->minimum() || percent > ProgressBar1->maximum()) return;
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
}

void Frm_progress::Adapt_Font() {
    QFont f = font();
    int size = 14;
    f.setPointSize(size);
    const QString text = Text_caption->text();
    const double room = 0.9 * Text_caption->width();
    while (!text.isEmpty() && size > 1 && QFontMetrics(f).horizontalAdvance(text) > room) {
        f.setPointSize(--size);
    }
    setFont(f);
    Text_caption->setFont(f);
}

void Frm_progress::resizeEvent(QResizeEvent* e) {
    const int w = width();
    const int bar_w = static_cast<int>(0.7 * w);
    ProgressBar1->setGeometry((w - bar_w) / 3, height() / 2 + 5, bar_w, 22);
    Text_caption->setGeometry(20, 10, w - 40, height() / 2 - 10);
    QWidget::resizeEvent(e);
}
