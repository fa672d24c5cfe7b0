#pragma once
#include <string>
#include <vector>

#include <QWidget>

class QMenuBar;
class QMenu;
class QPlainTextEdit;

// The debug text window: the diagnostic commands show their text reports in
// it. Kept above all windows; "Hide" unloads it.
class Houndex_debug_form : public QWidget {
    Q_OBJECT
public:
    explicit Houndex_debug_form(QWidget* parent = nullptr);

    // Replaces the text, shows the window and keeps it above all windows.
    void Show_Lines(const std::vector<std::string>& lines);
    QString Text() const;

    // Menu "Form": "Print" prints the text on the report printer; "Hide" unloads.
    void item_print_Click();
    void item_hide_Click();
    // The printout: heading, computer and printer, two empty lines, the text.
    std::vector<std::string> Print_Text(const std::string& printer_name) const;

    QPlainTextEdit* Text_debug;
    QMenuBar* Menu_bar;
    QMenu* menu_form;

protected:
    void resizeEvent(QResizeEvent* e) override;
};
