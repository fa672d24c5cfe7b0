#pragma once
#include <functional>
#include <vector>

#include <QWidget>

#include "common/NXF_Error_Report.h"
#include "diagnostics/Report_Printer.h"
#include "platform/Error_Entry.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QProgressBar;
class QGroupBox;

// The error report window: shows the report, takes the operator's comment and
// saves, prints or mails it. Created on the first report and kept.
class NXF_error_form : public QWidget {
    Q_OBJECT
public:
    explicit NXF_error_form(QWidget* parent = nullptr);

    void NXF_Error_Initialize();
    void Show_Report(const std::string& description, int16_t number, int32_t line, const std::string& location,
                     const std::string& extra);
    void Clear_Text_Array();

    const Report_Lines& Lines() const { return lines_; }
    QString Report_Shown() const;
    QString Comment() const;
    void Set_Comment(const QString& text);

    void Cmd_save_log_Click();
    void Cmd_print_error_Click();
    void Cmd_mailto_Click();
    void Cmd_continue_Click();
    void Cmd_exit_Click();
    void Command_copy_clipboard_Click();

    // The mail link; report lines and comment escaped where they would break it.
    std::string Mail_Link() const;
    // The printed report, line by line, as "Print report" prints it on the report printer.
    std::vector<Print_Line> Print_Lines() const;

    // What "Exit program" does; the program ends the process at once.
    std::function<void()> Exit_Hook;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Report_Lines lines_;
    uint64_t reports_ = 0;
    QLabel* Label1;
    QLabel* err_lbl;
    QGroupBox* Frame_PC_techs;
    QLabel* Label_Windows_version;
    QLabel* Label_PC_info;
    QGroupBox* Frame_Comments;
    QPlainTextEdit* Text_error_comments;
    QPushButton* Cmd_save_log;
    QPushButton* Cmd_print_error;
    QPushButton* Cmd_mailto;
    QPushButton* Cmd_continue;
    QPushButton* Cmd_exit;
    QPushButton* Command_copy_clipboard;
    QProgressBar* ProgressBar1;
};

// The program's error reporter: every NXF_Error_Handler call lands in the one error window.
class Error_Window_Reporter : public IErrorReporter {
public:
    void Report(const std::string& description, int16_t number, int32_t line, const std::string& location,
                const std::string& extra) override;
    NXF_error_form* Form() const { return form_; }
    ~Error_Window_Reporter() override;

private:
    NXF_error_form* form_ = nullptr;
};

// Support contact used by the printout and the mail link.
namespace Support_Contact {
inline constexpr const char* Email = "support@houndex-timing.example";
inline constexpr const char* Address[4] = {"Houndex Timing Support", "Finish Line Road 1", "1234 AB Racetown",
                                           "The Netherlands"};
inline constexpr const char* Phone = "+31 (0)10 123 4567 / +31 (0)6 1234 5678";
}  // namespace Support_Contact
