#pragma once
#include <array>

#include <QImage>
#include <QMainWindow>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
namespace Platform {
class PictureBox;
}

// The speaker card: one heat of the programme for the commentator, with the
// event, heat number and name, start time, length and the six dogs beside their
// box colours. The registration window's "Make speaker card" fills and shows it;
// it stays loaded and is refilled each time. The card is printed as an image of
// its window, so what it shows is what is printed.
class Form_Houndex_SpeakerCard : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int Boxes_Shown = 6;

    explicit Form_Houndex_SpeakerCard(QWidget* owner = nullptr);

    // Paints the six box squares.
    void Form_Load();
    // Fills the card; names[i] is the dog of box i + 1.
    void Fill(const QString& event_name, const QString& heat_name, const QString& heat_number,
              const QString& start_time, const QString& length, const std::array<QString, Boxes_Shown>& names);
    // The card's client area as a picture, kept in Picture1 for the page.
    QImage Capture_Card();
    // Printing comes with the printer selection; until then this does nothing
    // and its menu entry (item_print) is hidden.
    void item_print_Click();

    Platform::PictureBox* Picture_box(int index) const { return m_Picture_box.at(static_cast<size_t>(index)); }
    QLabel* Label_dog_name(int index) const { return m_Label_dog_name.at(static_cast<size_t>(index)); }

    QLabel* Label_event = nullptr;
    QLabel* Label_heat_num = nullptr;
    QLabel* Label_Heat_name = nullptr;
    QLabel* Label_start = nullptr;
    QLabel* Label_length = nullptr;
    QGroupBox* Frame_dogs = nullptr;
    Platform::PictureBox* Picture1 = nullptr;  // hidden: the card's picture for printing
    QMenu* menu_form = nullptr;
    QAction* item_print = nullptr;

private:
    std::array<Platform::PictureBox*, Boxes_Shown> m_Picture_box{};  // 0..5: boxes 1..6
    std::array<QLabel*, Boxes_Shown> m_Label_dog_name{};
};
