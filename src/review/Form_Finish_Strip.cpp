#include "review/Form_Finish_Strip.h"

#include <utility>

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "common/Module_dependant.h"

namespace {

// Paints the strip and the marker of the shown field; passes clicks on.
class Strip_View : public QWidget {
public:
    Strip_View(Form_Finish_Strip& form, QWidget* parent) : QWidget(parent), form_(form) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const Finish_Strip& s = form_.Strip();
        if (s.Picture.isNull()) return;
        p.drawImage(0, 0, s.Picture);
        if (form_.Current_Field() > 0) {
            const int x = s.X_Of(form_.Current_Field());
            p.setPen(QPen(QColor(255, 255, 0), 1));
            p.drawRect(x - 1, 0, s.Column_Width + 1, s.Rows - 1);
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) form_.Strip_Click(static_cast<int>(e->position().x()));
    }

private:
    Form_Finish_Strip& form_;
};

}  // namespace

Form_Finish_Strip::Form_Finish_Strip(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName("Form_Finish_Strip");
    setWindowTitle("Houndex HDMI Finish strip");
    auto* layout = new QVBoxLayout(this);
    Scroll_strip = new QScrollArea(this);
    Scroll_strip->setObjectName("Scroll_strip");
    Scroll_strip->setWidgetResizable(false);
    Picture_strip = new Strip_View(*this, Scroll_strip);
    Picture_strip->setObjectName("Picture_strip");
    Picture_strip->setCursor(Qt::PointingHandCursor);
    Scroll_strip->setWidget(Picture_strip);
    layout->addWidget(Scroll_strip);
    Label_strip_info = new QLabel(this);
    Label_strip_info->setObjectName("Label_strip_info");
    Label_strip_info->setText("Click a dog's nose to go to its field");
    layout->addWidget(Label_strip_info);
    resize(900, 320);
}

void Form_Finish_Strip::Set_Strip(Finish_Strip strip) {
    m_Strip = std::move(strip);
    m_Current = 0;
    Picture_strip->setFixedSize(m_Strip.Picture.isNull() ? QSize(1, 1) : m_Strip.Picture.size());
    Picture_strip->update();
}

void Form_Finish_Strip::Set_Current_Field(int32_t field) {
    m_Current = field >= 1 && field <= m_Strip.Fields() ? field : 0;
    if (m_Current > 0) {
        Scroll_strip->ensureVisible(m_Strip.X_Of(m_Current), 0, Scroll_strip->viewport()->width() / 3, 0);
        const auto& t = m_Strip.Times[static_cast<size_t>(m_Current - 1)];
        Label_strip_info->setText(
            QString("Field %1%2")
                .arg(m_Current)
                .arg(t ? QString::fromStdString("  " + Display_Mill_Time(*t, true)) : QString("  (no time)")));
    }
    Picture_strip->update();
}

void Form_Finish_Strip::Strip_Click(int x) {
    const int32_t field = m_Strip.Field_At(x);
    if (field > 0 && Go_To_Field) Go_To_Field(field);
}
