#include "QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace Platform {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QWidget* Parent() { return QApplication::activeWindow(); }
}  // namespace

namespace {
MsgResult Result_Of(int button) {
    switch (button) {
        case QMessageBox::Ok: return MsgResult::OK;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Retry: return MsgResult::Retry;
        default: return MsgResult::Cancel;
    }
}
}  // namespace

// The text, title, icon and buttons of a message box.
void Fill_Box(QMessageBox& box, const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title);

MsgResult QtDialogs::Message_Box(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) {
    QMessageBox box(Parent());
    Fill_Box(box, text, buttons, icon, title);
    return Result_Of(box.exec());
}

void QtDialogs::Ask_Meanwhile(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                              std::function<void(MsgResult)> answered) {
    auto* box = new QMessageBox(Parent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    Fill_Box(*box, text, buttons, icon, title);
    QObject::connect(box, &QMessageBox::finished, box, [answered = std::move(answered)](int button) {
        if (answered) answered(Result_Of(button));
    });
    box->show();
    box->raise();
    box->activateWindow();
}

void Fill_Box(QMessageBox& box, const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) {
    box.setText(Q(text));
    box.setWindowTitle(title.empty() ? QApplication::applicationName() : Q(title));
    switch (icon) {
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::None: break;
    }
    switch (buttons) {
        case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::OKCancel:
            // The OK/Cancel questions confirm what cannot be undone: Enter must not do it.
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MsgButtons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    }
}

std::optional<std::string> QtDialogs::Input_Box(const std::string& prompt, const std::string& title,
                                                const std::string& default_text) {
    bool ok = false;
    const QString s = QInputDialog::getText(Parent(), Q(title), Q(prompt), QLineEdit::Normal, Q(default_text), &ok);
    if (!ok) return std::nullopt;
    return S(s);
}

std::optional<std::string> QtDialogs::Open_File(const std::string& title, const std::string& folder,
                                                const std::string& filter) {
    const QString f = QFileDialog::getOpenFileName(Parent(), Q(title), Q(folder), Q(filter));
    if (f.isEmpty()) return std::nullopt;
    return S(f);
}

std::optional<std::string> QtDialogs::Save_File(const std::string& title, const std::string& folder,
                                                const std::string& filter, const std::string& default_name) {
    QString start = Q(folder);
    if (!default_name.empty()) start = start.isEmpty() ? Q(default_name) : start + "/" + Q(default_name);
    const QString f = QFileDialog::getSaveFileName(Parent(), Q(title), start, Q(filter));
    if (f.isEmpty()) return std::nullopt;
    return S(f);
}

std::optional<std::string> QtDialogs::Browse_Folder(const std::string& title, const std::string& start) {
    const QString f = QFileDialog::getExistingDirectory(Parent(), Q(title), Q(start));
    if (f.isEmpty()) return std::nullopt;
    return S(f);
}

void QtDialogs::Beep() { QApplication::beep(); }

}  // namespace Platform
