#pragma once
#include <string>

#include <QWidget>

class QTextBrowser;

// A short guide for a new official: the order of a heat, the keys and where
// the files go. Opened from Help, and once by itself on the first start.
class Form_Quick_Start : public QWidget {
    Q_OBJECT
public:
    explicit Form_Quick_Start(QWidget* owner = nullptr);

    // capture_folder: where recordings go; data_folder: settings, logs, event files.
    void Show_Guide(const std::string& capture_folder, const std::string& data_folder);
    static QString Guide_Html(const std::string& capture_folder, const std::string& data_folder);

    QTextBrowser* Text_guide = nullptr;
};
