#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include <QWidget>

#include "review/Heat_Result.h"

class IResults_Host;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class cls_VideoFile_handler;

namespace Platform {
class PictureBox;
}

// The results window: the ranked result of the reviewed heat (event, heat,
// start time and one row per rank with rank, box square, dog name, time and
// split). The main window owns it, fills it through Display, and receives its
// jumps and corrections through IResults_Host. Corrections of the event, heat
// and dog names are written into the open recording's header at once.
class Form_Hdx_Results : public QWidget {
    Q_OBJECT
public:
    static constexpr int Rows = 6;

    explicit Form_Hdx_Results(IResults_Host& host, QWidget* owner = nullptr);

    // Shows the window where the official last put it (beside the main window
    // until then) and clears it.
    void Form_Load();
    // Where the window goes beside its owner: to its right, else to its left,
    // else in the screen's lower right corner; always on the screen.
    static QPoint Beside(const QRect& owner_frame, const QSize& window, const QRect& screen);
    // Where the official clicks while timing (screen coordinates): where the
    // screen has no room beside the owner, the window opens clear of it,
    // narrowed to the room there down to what its columns need.
    void Set_Keep_Clear(std::function<QRect()> area) { m_Keep_Clear = std::move(area); }
    bool Placed_By_Official() const { return m_Placed_By_Official; }
    // Empties event, heat ID, heat name, start and box delay; every row gets no
    // name, "00,00" for time and split, no rank and no box colours.
    void Clear_Results_Display();
    // Shows the heat's one result (its rows already hold the heat's box delay).
    void Display(const Heat_Result& result);

    // The rows as they are shown now (rank, name, time and split texts).
    Result_Rows_Type Displayed_Rows() const;
    // The margin texts as they are shown now, rank by rank.
    std::array<std::string, Rows> Displayed_Margins() const;

    // ---- handlers (row index 0..5 is rank 1..6; buttons as Platform::Mouse_Button_Code)
    void Label_rank_Click(int index);
    void Label_name_MouseUp(int index);
    void Picture_box_MouseUp(int index);
    void Label_Split_MouseUp(int index);
    void Label_event_name_MouseDown(int button);
    void Label_Heat_name_MouseDown(int button);
    void Label_name_MouseDown(int index, int button);
    void item_print_Click();
    void item_hide_Click();
    void item_clear_results_Click();
    void Export_to_Clipboard();
    // "Save results...": the heat as a CSV or JSON file (by the suffix chosen).
    void item_save_results_Click();
    // "Declare official": hashes the frames, stores the declaration; later
    // changes need a reason and go into the audit trail.
    void item_declare_official_Click();
    // "Box delay of this heat...": a correction of the delay the heat was made with.
    void item_box_delay_Click();
    void item_paint_boxes_Click();

    QMenuBar* Menu_bar = nullptr;
    QMenu* menu_form = nullptr;
    QAction* item_print = nullptr;
    QAction* item_hide = nullptr;
    QAction* item_clear_results = nullptr;
    QAction* item_export_to_clipboard = nullptr;
    QAction* item_save_results = nullptr;
    QAction* item_declare_official = nullptr;
    QAction* item_box_delay = nullptr;
    QMenu* menu_debug = nullptr;
    QAction* item_paint_boxes = nullptr;

    QGroupBox* Frame_event = nullptr;
    QLabel* Label_event_name = nullptr;
    QGroupBox* Frame_heat = nullptr;
    QLabel* Label_Heat_ID = nullptr;
    QLabel* Label_Heat_name = nullptr;
    QLabel* Label_heat_started = nullptr;
    QLabel* Label_header = nullptr;
    std::array<QLabel*, Rows> Label_rank{};
    std::array<Platform::PictureBox*, Rows> Picture_box{};
    std::array<QWidget*, Rows> Shape_dead_circle{};
    std::array<QLabel*, Rows> Label_name{};
    std::array<QLabel*, Rows> Label_time{};
    // The crossing estimated between two fields, beside the official time.
    std::array<QLabel*, Rows> Label_estimate{};
    std::array<QLabel*, Rows> Label_Split{};
    // The beaten distance behind the dog ranked above, in lengths.
    std::array<QLabel*, Rows> Label_margin{};
    QLabel* Label_box_delay = nullptr;
    QLabel* Label_official = nullptr;  // "Provisional" or the declaration with its frame hash
    QLabel* Label_audit = nullptr;     // the audit trail, one change a line; hidden without changes
    QLabel* Label_Houndex = nullptr;
    QLabel* Label_printed = nullptr;
    Platform::PictureBox* Picture1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Place_Beside_Owner();
    bool m_Placed_By_Official = false;
    std::function<QRect()> m_Keep_Clear;
    bool m_Widened = false;
    QPoint m_Placed_At;
    enum class Correction { Event_Name, Heat_Name, Dog_Name };
    // Asks for a new name and writes it into the open recording's header.
    void Correct(Correction what, int index);
    static int Index_Of(const std::array<QLabel*, Rows>& labels, const QObject* widget);

    IResults_Host& m_Host;
    // Shows the declaration and the audit trail of the heat.
    void Show_Official(const Heat_Result& result);

    // The result last shown.
    Heat_Result m_Result;
    // Hidden picture on which dog names are measured.
    Platform::PictureBox* m_Picture_temp = nullptr;
    // A correction opens a box on the mouse press; the release that follows
    // belongs to it and is no jump.
    const QObject* m_Correction_Source = nullptr;
    const QObject* m_Pressed_Rank = nullptr;
    // Controls on which a mouse release only gives the slider the focus.
    std::vector<const QObject*> m_Focus_Only;
};
