#pragma once
#include <array>
#include <string>

#include <QMainWindow>

#include "event/Event_File.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class cls_VideoFile_handler;
class Form_Houndex_SpeakerCard;
class IEvent_Host;
namespace Platform {
class PictureBox;
}

// The event registration window: the race programme typed in, on the event
// file itself. Every edit of a heat or dog goes into the document in memory at
// once (the event name and day only on Enter, see Text_event_name_Change); the file is
// saved when a dog name, the heat length or the heat name is left, when the
// heat is changed down, when the window loses the focus or is closed, and
// before another event file replaces this one. Edits and heat changes need a
// loaded event file; without one a key typed into a heat or dog field beeps.
//
// The window is made once at start-up (Form_Load) and kept, hidden, for the
// whole run: closing and "Hide" only hide it. What it needs from the main
// window is IEvent_Host (event/IEvent_Host.h, which also lists what the main
// window uses of it).
class Form_event_registration : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int Boxes_Shown = 6;

    explicit Form_event_registration(IEvent_Host* host, QWidget* owner = nullptr);
    ~Form_event_registration() override;

    // Start-up (and after a new file was created): the event file named by
    // setting "current_event_file" is opened and heat 1 shown.
    void Form_Load();

    // ---- offered to the other windows ----------------------------------------
    // The event file's read accessors: "" without a loaded event file.
    std::string Event_name() const { return m_Event_File.Event_name(); }
    std::string Get_day() const { return m_Event_File.Get_day(); }
    std::string Heat_Name(int heat) const { return m_Event_File.Heat_Name(heat); }
    std::string Heat_Length(int heat) const { return m_Event_File.Heat_Length(heat); }
    std::string Reg_Dog_Name(int heat, int box) const { return m_Event_File.Reg_Dog_Name(heat, box); }
    const Event_File& Event_Data() const { return m_Event_File; }
    // Full path of the event file in use; "" when there is none.
    std::string Event_File_Path() const;
    bool Event_Loaded() const { return m_Event_Loaded; }
    int Current_Heat() const { return m_Current_Heat; }
    // Shows the given heat (edits of the one shown are saved first): the main
    // window's heat is what the speaker card is made for unless the official
    // picks another here.
    void Show_Heat(int heat);
    // "No event file", or the event file's name without its folder.
    void Update_Event_file_name();
    // The main window's "No Event File": the event file is put away (saved
    // first, then closed like "Close event file") and g_Use_Event_File cleared.
    void No_Event_File();
    // The main window's Update_Dog_names at file initiation: the header's dog
    // names of boxes 1..6 become the programme's for that heat ("" when no
    // event file is in use). The header is not written here. False (reported)
    // when the header refused a name.
    bool Update_Dog_names(cls_VideoFile_handler& handler, int heat) const;
    // The speaker card, once "Make speaker card" has made it.
    Form_Houndex_SpeakerCard* Speaker_Card() const { return m_Speaker_Card; }

    // ---- menu "Form" -------------------------------------------------------
    void item_open_event_file_Click();
    void item_create_file_Click();
    void item_close_event_file_Click();
    void item_import_dog_names_Click();
    void item_print_speaker_card_Click();
    void item_hide_Click();
    // Printing the window as an image comes with the printer selection; until
    // then this does nothing and its menu entry (intem_print_form) is hidden.
    void Print_Form();

    // ---- fields --------------------------------------------------------------
    // Enter in the event name or day: the loaded event takes it, and is saved.
    // Typing alone changes nothing but the field: a name and day typed there are
    // a new event's, for "Create new Event file".
    void Text_event_name_Change();
    void Text_day_Change();
    void Text_dog_name_Change(int box);
    void Text_dog_name_LostFocus(int box);
    void Text_heatName_Validate();
    void Text_heat_start_time_Validate();
    void Text_heatLength_Validate();
    void UpDown_heat_Change(int value);
    // Shows the current heat's programme in the heat fields and dog names.
    void Load_Heat_Data();
    void Form_Activate();
    void Form_Deactivate();

    QLineEdit* Text_dog_name(int box) const { return m_Text_dog_name.at(static_cast<size_t>(box - 1)); }
    Platform::PictureBox* Picture_box(int box) const { return m_Picture_box.at(static_cast<size_t>(box - 1)); }

    QGroupBox* Frame_event_file = nullptr;
    QLabel* Label_event_filename = nullptr;
    QGroupBox* Frame_event_name = nullptr;
    QLineEdit* Text_event_name = nullptr;
    QGroupBox* Frame_day = nullptr;
    QLineEdit* Text_day = nullptr;
    QGroupBox* Frame_boxes = nullptr;
    QSpinBox* UpDown_heat = nullptr;
    QLineEdit* Text_heatName = nullptr;
    QLineEdit* Text_heat_start_time = nullptr;
    QLineEdit* Text_heatLength = nullptr;
    QLabel* Label_import_help = nullptr;  // the import formats, in a few lines
    QMenu* menu_form = nullptr;
    QAction* item_open_event_file = nullptr;
    QAction* item_create_file = nullptr;
    QAction* item_close_event_file = nullptr;
    QAction* item_import_dog_names = nullptr;
    QAction* intem_print_form = nullptr;
    QAction* item_print_speaker_card = nullptr;
    QAction* item_hide = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool Open_Event_File(const std::string& path);
    // Loads the document of the file in use and shows the current heat;
    // afterwards m_Event_Loaded says whether there is a programme to edit.
    void Load_Document();
    bool Save();                      // XML_to_File, once at a time
    void Set_Current_Heat(int heat);  // selector, caption; no loading, no saving
    void Set_Fields_Editable();
    bool Is_Heat_Or_Dog_Field(QObject* watched) const;
    void Set_Text(QLineEdit* field, const std::string& text);  // no write-back
    void Refresh_Host();
    void Show_Name_Hint();  // status line: the name or day typed differ from the loaded event's

    IEvent_Host* m_Host;
    Event_File m_Event_File;
    bool m_Event_Loaded = false;
    int m_Current_Heat = 1;
    bool m_Loading = false;  // fields are being filled by the program
    bool m_Busy = false;     // a command is changing the event file: no save in between
    std::string m_Last_Chosen;
    std::array<QLineEdit*, Boxes_Shown> m_Text_dog_name{};
    std::array<Platform::PictureBox*, Boxes_Shown> m_Picture_box{};
    Form_Houndex_SpeakerCard* m_Speaker_Card = nullptr;
};
