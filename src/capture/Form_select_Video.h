#pragma once
#include <optional>

#include <QMainWindow>

#include "capture/IVideoCap.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The choice of video source and media type: lists every source with its
// distinct formats; a row click saves the choice in the settings at once.
// Hidden, not closed, by its buttons. The tick box's state is saved in the
// settings at every change; the capture controller's source set-up reads the
// saved state (Saved_Limit_Fps), so the window need not exist then.
class Form_select_Video : public QMainWindow {
    Q_OBJECT
public:
    explicit Form_select_Video(QWidget* parent = nullptr);

    // Handlers
    void Command_enum2_Click();
    void Command_select_done_Click();
    void Command_Cancel_Click();
    void ListView_prop_ItemClick(QTreeWidgetItem* item);
    void item_copy_to_clipboard_Click();
    void item_iterate_Click();
    // The "Form" menu opened: with Alt held the "Debug" menu appears or goes.
    void menu_form_Click();

    void Do_Enum();
    void Do_Select();

    // "Limit capture to 25 fps" is ticked.
    bool Limit_Fps() const;
    bool Selection_Made() const { return m_Selection_Made; }
    // The text "List contents to ClipBoard" puts on the clipboard.
    std::string List_Text() const;

    QTreeWidget* ListView_prop;
    QCheckBox* Check_limit_fps;
    QLabel* Label_video_source;
    QLabel* Label_selected_friendly;
    QLabel* Label_property_string;
    QLabel* Label_property_num;
    // What the chosen format's pictures become with the tick box as it is.
    QLabel* Label_rate_effect;
    QMenu* menu_form;
    QMenu* menu_debug;

private:
    QPushButton* Command_enum2;
    QPushButton* Command_select_done;
    QPushButton* Command_Cancel;
    QGroupBox* frame_Capture_rate;
    QGroupBox* Frame_selection;
    QAction* item_copy_to_clipboard;
    QAction* item_iterate;
    bool m_Selection_Made = false;
    std::optional<Media_Type> m_Selected_Type;  // the row clicked last
    void Show_Rate_Effect();
};
