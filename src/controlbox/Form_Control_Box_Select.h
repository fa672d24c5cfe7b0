#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <QWidget>

#include "controlbox/Control_Box_Choice.h"

class QComboBox;
class QKeySequenceEdit;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "Control Box": the operator chooses the board the program uses. Rows: the
// simulator, every serial port of the system (asked "?ID" in the background;
// a board that answers shows its serial number) and the keyboard / foot pedal
// with its three keys. "Use" stores the choice and asks the main window to
// switch to it at once (Choice_Made).
class Form_Control_Box_Select : public QWidget {
    Q_OBJECT
public:
    explicit Form_Control_Box_Select(QWidget* parent = nullptr);

    // option: the one in use; serial_text: its board's serial number while it is
    // attached (the port it holds open is shown with it, not asked again).
    void Show_Current(const std::string& option, const std::string& serial_text);
    // Lists the ports again and asks them.
    void Command_refresh_Click();
    void Command_use_Click();

    // The option of a row (item data), for tests and the list's own use.
    static std::string Row_Option(const QTreeWidgetItem* row);
    QTreeWidget* List_boxes() const { return list_; }
    QComboBox* Combo_baud() const { return baud_; }
    QKeySequenceEdit* Key_Edit(int input) const;
    QLabel* Label_current() const { return current_label_; }
    // Probes still out.
    int Pending_Probes() const { return pending_; }

signals:
    void Choice_Made(const QString& option);

private:
    void Fill_Rows(const std::vector<Serial_Port_Entry>& ports);
    void Port_Answered(uint64_t generation, int row, const Probe_Answer& answer);
    void Mark_Current();
    std::string Selected_Option() const;

    QTreeWidget* list_ = nullptr;
    QComboBox* baud_ = nullptr;
    QKeySequenceEdit* keys_[3] = {};
    QLabel* current_label_ = nullptr;
    std::string current_option_;
    std::string current_serial_;
    std::map<int, int32_t> row_serial_;  // what each port's board answered (row), stored with the choice
    uint64_t generation_ = 0;
    int pending_ = 0;
};
