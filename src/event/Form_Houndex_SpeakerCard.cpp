#include "event/Form_Houndex_SpeakerCard.h"
#include "printing/Window_Print.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "review/Paint_Box.h"

namespace {

QLabel* Make_Label(QWidget* parent, const char* name, const char* family, int size, bool bold) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont font{QString(family)};
    font.setPointSize(size);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

Form_Houndex_SpeakerCard::Form_Houndex_SpeakerCard(QWidget* owner) : QMainWindow(owner, Qt::Window) {
    setObjectName("Form_Houndex_SpeakerCard");
    setWindowTitle("Houndex HDMI SpeakerCard");

    menu_form = menuBar()->addMenu("Form");
    menu_form->setObjectName("menu_form");
    item_print = menu_form->addAction("Print");
    item_print->setObjectName("item_print");
    connect(item_print, &QAction::triggered, this, [this] { item_print_Click(); });

    auto* central = new QWidget(this);
    central->setObjectName("Card");
    central->setAutoFillBackground(true);
    QPalette white = central->palette();
    white.setColor(QPalette::Window, Qt::white);
    central->setPalette(white);
    setCentralWidget(central);
    auto* main = new QVBoxLayout(central);

    Label_event = Make_Label(central, "Label_event", "Arial", 20, true);
    main->addWidget(Label_event);
    auto* heat_row = new QHBoxLayout();
    Label_heat_num = Make_Label(central, "Label_heat_num", "Arial", 20, true);
    Label_Heat_name = Make_Label(central, "Label_Heat_name", "Arial", 20, false);
    heat_row->addWidget(Label_heat_num);
    heat_row->addWidget(Label_Heat_name, 1);
    main->addLayout(heat_row);
    auto* time_row = new QHBoxLayout();
    Label_start = Make_Label(central, "Label_start", "Times New Roman", 16, false);
    Label_length = Make_Label(central, "Label_length", "Times New Roman", 16, false);
    time_row->addWidget(Label_start, 1);
    time_row->addWidget(Label_length, 1);
    main->addLayout(time_row);

    Frame_dogs = new QGroupBox(central);
    Frame_dogs->setObjectName("Frame_dogs");
    auto* grid = new QGridLayout(Frame_dogs);
    for (int i = 0; i < Boxes_Shown; ++i) {
        auto* picture = new Platform::PictureBox(Frame_dogs);
        picture->setObjectName(QString("Picture_box_%1").arg(i));
        picture->Set_Canvas_Size(56, 56);
        m_Picture_box[static_cast<size_t>(i)] = picture;
        QLabel* name = Make_Label(Frame_dogs, "", "Times New Roman", 26, false);
        name->setObjectName(QString("Label_dog_name_%1").arg(i));
        name->setMinimumWidth(360);
        m_Label_dog_name[static_cast<size_t>(i)] = name;
        grid->addWidget(picture, i, 0);
        grid->addWidget(name, i, 1);
    }
    main->addWidget(Frame_dogs);

    Picture1 = new Platform::PictureBox(central);
    Picture1->setObjectName("Picture1");
    Picture1->hide();
}

void Form_Houndex_SpeakerCard::Form_Load() {
    try {
        for (int i = 0; i < Boxes_Shown; ++i) {
            Platform::PictureBox& box = *Picture_box(i);
            box.Set_Font(QFont(QStringLiteral("Times"), 48));
            box.Current_X = 0;
            box.Current_Y = 0;
            Paint_box(box, i + 1);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Form_Load of Form Form_Houndex_SpeakerCard");
    }
}

void Form_Houndex_SpeakerCard::Fill(const QString& event_name, const QString& heat_name, const QString& heat_number,
                                    const QString& start_time, const QString& length,
                                    const std::array<QString, Boxes_Shown>& names) {
    Label_event->setText(event_name);
    Label_Heat_name->setText(heat_name);
    Label_heat_num->setText(heat_number);
    Label_start->setText(start_time);
    Label_length->setText(length);
    for (int i = 0; i < Boxes_Shown; ++i) Label_dog_name(i)->setText(names[static_cast<size_t>(i)]);
}

QImage Form_Houndex_SpeakerCard::Capture_Card() {
    QWidget* card = centralWidget();
    card->adjustSize();
    const QImage picture = card->grab().toImage();
    Picture1->Set_Canvas_Size(picture.width(), picture.height());
    QPainter(&Picture1->Canvas()).drawImage(0, 0, picture);
    return Picture1->Canvas();
}

void Form_Houndex_SpeakerCard::item_print_Click() {
    Window_Print::Print_Speaker_Card(*this, [this] { return Capture_Card(); });
}
