#include "controlbox/Form_Control_Box_Select.h"

#include <cstdlib>

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Protocol.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"

namespace {

enum Column { Col_Box, Col_Port, Col_Description, Col_USB, Col_Board };
const int kOption_Role = Qt::UserRole;
const int kBauds[] = {115200, 57600, 38400, 19200, 9600};

const char* const kKey_Captions[3] = {"Start line (input 2)", "Goal capture, held (input 3)",
                                      "Split capture, held (input 4)"};

int Baud_Of(const std::string& option) {
    try {
        return Parse_Control_Box_Option(option).baud;
    } catch (const HdxError&) {
        return Control_Box_Protocol::kDefault_Baud;
    }
}

// The option of a serial row without its baud rate.
std::string Port_Of(const std::string& option) {
    const size_t at = option.rfind('@');
    return at == std::string::npos ? option : option.substr(0, at);
}

}  // namespace

Form_Control_Box_Select::Form_Control_Box_Select(QWidget* parent) : QWidget(parent) {
    setObjectName("Form_Control_Box_Select");
    setWindowTitle("Control Box");
    auto* col = new QVBoxLayout(this);

    current_label_ = new QLabel(this);
    current_label_->setObjectName("Label_current");
    col->addWidget(current_label_);

    list_ = new QTreeWidget(this);
    list_->setObjectName("List_boxes");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({"Control Box", "Port", "Description", "USB id", "Board"});
    list_->header()->setStretchLastSection(true);
    list_->setMinimumWidth(640);
    col->addWidget(list_);

    auto* row = new QHBoxLayout();
    row->addWidget(new QLabel("Baud rate of serial boards:", this));
    baud_ = new QComboBox(this);
    baud_->setObjectName("Combo_baud");
    for (int b : kBauds) baud_->addItem(QString::number(b), b);
    row->addWidget(baud_);
    row->addStretch(1);
    col->addLayout(row);

    auto* keys = new QGroupBox("Keyboard / foot pedal keys", this);
    keys->setObjectName("Frame_keys");
    auto* form = new QFormLayout(keys);
    const Key_Choice stored = Stored_Key_Choice();
    for (int i = 0; i < 3; ++i) {
        keys_[i] = new QKeySequenceEdit(QKeySequence(stored.Key_For(i + 2)), keys);
        keys_[i]->setObjectName(QString("Key_input_%1").arg(i + 2));
        form->addRow(kKey_Captions[i], keys_[i]);
    }
    col->addWidget(keys);

    auto* buttons = new QHBoxLayout();
    auto* refresh = new QPushButton("Refresh", this);
    refresh->setObjectName("Command_refresh");
    auto* use = new QPushButton("Use", this);
    use->setObjectName("Command_use");
    auto* close = new QPushButton("Close", this);
    close->setObjectName("Command_close");
    buttons->addWidget(refresh);
    buttons->addStretch(1);
    buttons->addWidget(use);
    buttons->addWidget(close);
    col->addLayout(buttons);
    connect(refresh, &QPushButton::clicked, this, [this] { Command_refresh_Click(); });
    connect(use, &QPushButton::clicked, this, [this] { Command_use_Click(); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Command_use_Click(); });
}

QKeySequenceEdit* Form_Control_Box_Select::Key_Edit(int input) const {
    return input >= 2 && input <= 4 ? keys_[input - 2] : nullptr;
}

std::string Form_Control_Box_Select::Row_Option(const QTreeWidgetItem* row) {
    return row ? row->data(Col_Box, kOption_Role).toString().toStdString() : std::string();
}

void Form_Control_Box_Select::Show_Current(const std::string& option, const std::string& serial_text) {
    current_option_ = option;
    current_serial_ = serial_text;
    const int baud = Baud_Of(option);
    const int index = baud_->findData(baud);
    if (index >= 0) baud_->setCurrentIndex(index);
    current_label_->setText(QString::fromStdString("In use: " + Control_Box_Choice_Caption(option)));
    Command_refresh_Click();
}

void Form_Control_Box_Select::Fill_Rows(const std::vector<Serial_Port_Entry>& ports) {
    list_->clear();
    auto add = [this](const std::string& option, const QStringList& cells) {
        auto* item = new QTreeWidgetItem(list_, cells);
        item->setData(Col_Box, kOption_Role, QString::fromStdString(option));
        return item;
    };
    add("sim", {"Simulator", "", "built-in virtual box: not for a real race", "", ""});
    for (const auto& p : ports)
        add("serial:" + p.location,
            {"Serial board", QString::fromStdString(p.name), QString::fromStdString(p.description),
             QString::fromStdString(p.USB_Id()), "asking..."});
    add("keys", {"Keyboard / foot pedal", "", "keys chosen below", "", ""});
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
}

void Form_Control_Box_Select::Command_refresh_Click() {
    try {
        const std::vector<Serial_Port_Entry> ports = List_Serial_Ports();
        Fill_Rows(ports);
        const uint64_t generation = ++generation_;
        pending_ = 0;
        row_serial_.clear();
        const int baud = baud_->currentData().toInt();
        for (size_t i = 0; i < ports.size(); ++i) {
            const int row = static_cast<int>(i) + 1;
            // The board in use holds its port: it is not asked, it is known.
            if (Port_Of(current_option_) == "serial:" + ports[i].location && !current_serial_.empty()) {
                list_->topLevelItem(row)->setText(Col_Board, QString::fromStdString("serial " + current_serial_));
                row_serial_[row] = std::atoi(current_serial_.c_str());
                continue;
            }
            // Other equipment on a serial port is never sent "?ID" unasked.
            if (!Could_Be_Board(ports[i])) {
                list_->topLevelItem(row)->setText(Col_Board, "not asked: not a board's USB identity");
                continue;
            }
            ++pending_;
            QPointer<Form_Control_Box_Select> self(this);
            const std::string location = ports[i].location;
            QThreadPool::globalInstance()->start([self, generation, row, location, baud] {
                const Probe_Answer answer = Probe_Port(location, baud);
                // Back on the UI thread; the window may have gone meanwhile.
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [self, generation, row, answer] {
                        if (self) self->Port_Answered(generation, row, answer);
                    },
                    Qt::QueuedConnection);
            });
        }
        Mark_Current();
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_refresh_Click of Form Form_Control_Box_Select");
    }
}

void Form_Control_Box_Select::Port_Answered(uint64_t generation, int row, const Probe_Answer& answer) {
    if (generation != generation_) return;
    --pending_;
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) return;
    if (answer.answered) row_serial_[row] = answer.serial;
    item->setText(Col_Board, answer.answered ? QString::fromStdString("serial " + std::to_string(answer.serial) +
                                                                      (answer.name.empty() ? "" : ", " + answer.name))
                                             : QString("no answer"));
    list_->resizeColumnToContents(Col_Board);
}

void Form_Control_Box_Select::Mark_Current() {
    const std::string current = Port_Of(current_option_.empty() ? std::string("sim") : current_option_);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const bool in_use = Row_Option(item) == current;
        QFont f = item->font(Col_Box);
        f.setBold(in_use);
        item->setFont(Col_Box, f);
        if (in_use) list_->setCurrentItem(item);
    }
}

std::string Form_Control_Box_Select::Selected_Option() const {
    std::string option = Row_Option(list_->currentItem());
    if (option.rfind("serial:", 0) == 0) {
        const int baud = baud_->currentData().toInt();
        if (baud != Control_Box_Protocol::kDefault_Baud) option += "@" + std::to_string(baud);
    }
    return option;
}

void Form_Control_Box_Select::Command_use_Click() {
    try {
        const std::string option = Selected_Option();
        if (option.empty()) {
            Platform::MsgBox("Choose a Control Box in the list first.");
            return;
        }
        if (option == "keys") {
            Key_Choice keys;
            int* fields[3] = {&keys.start_line, &keys.goal_capture, &keys.split_capture};
            for (int i = 0; i < 3; ++i) {
                const QKeySequence seq = keys_[i]->keySequence();
                *fields[i] = seq.isEmpty() ? 0 : seq[0].key();
            }
            try {
                Store_Key_Choice(keys);
            } catch (const HdxError& e) {
                Platform::MsgBox(e.description);
                return;
            }
        }
        const auto known = row_serial_.find(list_->indexOfTopLevelItem(list_->currentItem()));
        Store_Control_Box_Choice(option, known != row_serial_.end() ? known->second : 0);
        current_option_ = option;
        current_label_->setText(QString::fromStdString("In use: " + Control_Box_Choice_Caption(option)));
        Mark_Current();
        emit Choice_Made(QString::fromStdString(option));
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_use_Click of Form Form_Control_Box_Select");
    }
}
