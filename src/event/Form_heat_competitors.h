#pragma once
#include <array>
#include <string>

#include <QMainWindow>

class Event_File;
class IEvent_Host;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class cls_VideoFile_handler;

// The heat competitors window: shows and edits the dog names and heat name in
// the open recording's header, and fills them from any heat of the event file
// (for a recording made without the right programme heat). Every change is
// written into the recording at once, as every result is, and the results are
// recomputed. The window belongs to the recording it was opened for: it writes
// into no other, and follows the main window's recording (Follow_Recording).
//
// The main window makes it (menu "Dog names") with its recording handler and
// the registration window's event file, shows it non-modally, keeps a QPointer
// to it and calls Follow_Recording whenever its recording is opened, replaced
// or closed: closing and "Hide" unload (delete) the window.
class Form_heat_competitors : public QMainWindow {
    Q_OBJECT
public:
    // Why the names of an official heat are not changed here.
    static constexpr const char* Official_Text =
        "This heat was declared official: correct its names in the results window, which asks for the reason.";
    static constexpr int Boxes_Shown = 6;

    Form_heat_competitors(cls_VideoFile_handler& recording, const Event_File& programme, IEvent_Host* host,
                          QWidget* owner = nullptr);

    // Shows the open recording's names; the header is left as it is.
    void Form_Load();
    // The main window's recording changed: the window shows the one now open,
    // or closes when none is.
    void Follow_Recording();
    void UpDown_heat_Change(int heat);
    // The programme heat offered first (the recording's own), without taking its names.
    void Preset_Heat(int heat);
    void Text_dog_name_Change(int box);
    void Text_Heat_name_Change();
    void Command_update_Click();
    void item_hide_Click();
    // Refreshes the results display (the names are already in the file).
    void Form_Unload();

    bool Names_Changed() const { return m_Names_Changed; }
    QLineEdit* Text_dog_name(int box) const { return m_Text_dog_name.at(static_cast<size_t>(box - 1)); }

    QGroupBox* Frame_heat_name = nullptr;
    QLineEdit* Text_Heat_name = nullptr;
    QLabel* Label_boxes = nullptr;
    QLabel* Label_dogs_in_heat = nullptr;
    QSpinBox* UpDown_heat = nullptr;
    QLabel* Label_heatno = nullptr;
    QPushButton* Command_update = nullptr;
    QMenu* menu_form = nullptr;
    QAction* item_hide = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool Recording_Open() const;
    // The guard in front of every change to the recording: a read-only one is
    // not changed, and the operator is told once.
    bool May_Change();
    // Writes the header with the names just changed and shows the results;
    // within a heat choice once, at its end.
    void Store_Names();

    cls_VideoFile_handler& m_Recording;
    const Event_File& m_Programme;
    IEvent_Host* m_Host;
    // The recording the window shows: changes go into it and no other.
    std::string m_For_File;
    bool m_Names_Changed = false;
    bool m_Loading = false;
    bool m_Choosing_Heat = false;  // the heat's names are being filled in
    bool m_Store_Pending = false;
    bool m_Told_Read_Only = false;
    bool m_Unloaded = false;
    std::array<QLineEdit*, Boxes_Shown> m_Text_dog_name{};
};
