#pragma once
#include <string>
#include <vector>

#include <QWidget>

class IInterfaceKit;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;

// The about window: program identity and version, the data folder, and the
// versions of the components the program runs on. Modeless, kept above all
// windows; "OK" unloads it.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    // kit: the program's Control Box object (nullptr: none).
    explicit frmAbout(IInterfaceKit* kit, QWidget* parent = nullptr);

    // Menu "Form": a click with Ctrl held shows or hides the "Debug" menu.
    void menu_form_Click();
    void item_print_Click();  // prints the window's picture
    void item_date_formats_Click();
    // "date = ", "time = ", "now = " (the system's short forms), "ISODate = ", "ISOnow = ".
    static std::vector<std::string> Date_Formats_Lines();
    void Label_userapp_Click();  // opens the data folder in the file manager
    void Command_OK_Click();

    QMenuBar* Menu_bar;
    QMenu* menu_form;
    QMenu* menu_debug;
    QLabel* Lbldescription;
    QLabel* Lbl_description_text;
    QLabel* Label_userapp;
    QLabel* Lblversion;
    QLabel* Lbl_filedate;
    QLabel* Lbl_AppFlags;
    QLabel* Lbl_pellcap;
    QLabel* Lbl_PellGraphics;
    QLabel* Label_phidget_version;
    QLabel* Label_ControlBox;
    QLabel* Lbl_components;
    QLabel* Picture_product;
    QLabel* Lbldisclaimer;
    QPushButton* Command_OK;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
};
