#pragma once
#include <QWidget>

class QLineEdit;
class QProgressBar;

// Small window shown during long work (appending frames, printing): a caption
// and a percentage bar.
class Frm_progress : public QWidget {
    Q_OBJECT
public:
    explicit Frm_progress(QWidget* parent = nullptr);

    void Set_Caption(const QString& text);
    // Moves the bar only for a value within its range.
    void Set_Percent(int percent);
    // 14 points, made smaller until the caption fits in 0.9 of its box.
    void Adapt_Font();

    QLineEdit* Text_caption;
    QProgressBar* ProgressBar1;

protected:
    void resizeEvent(QResizeEvent* e) override;
};
