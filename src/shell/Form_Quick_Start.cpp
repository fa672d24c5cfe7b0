#include "shell/Form_Quick_Start.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

Form_Quick_Start::Form_Quick_Start(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName("Form_Quick_Start");
    setWindowTitle("Houndex HDMI Quick start");
    auto* layout = new QVBoxLayout(this);
    Text_guide = new QTextBrowser(this);
    Text_guide->setObjectName("Text_guide");
    Text_guide->setOpenLinks(false);
    layout->addWidget(Text_guide);
    auto* close_button = new QPushButton("Close", this);
    close_button->setObjectName("Command_close");
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close_button, 0, Qt::AlignRight);
    resize(560, 600);
}

QString Form_Quick_Start::Guide_Html(const std::string& capture_folder, const std::string& data_folder) {
    const QString capture = QString::fromStdString(capture_folder).toHtmlEscaped();
    const QString data = QString::fromStdString(data_folder).toHtmlEscaped();
    return QStringLiteral(
               "<h2>Quick start</h2>"
               "<h3>A heat, step by step</h3>"
               "<ol>"
               "<li><b>Start camera</b>. The live picture shows the goal line: drag its ends onto the "
               "finish line.</li>"
               "<li>Check the heat under <b>Heat</b>, then <b>Initiate file</b>.</li>"
               "<li>The start signal (the Control Box, or <b>Start heat</b>) starts the heat clock.</li>"
               "<li>While the dogs reach the line, hold the Control Box's capture trigger or the "
               "<b>Capture</b> button.</li>"
               "<li><b>Heat finish</b> stops the camera and keeps the recording.</li>"
               "<li>Review: <b>Form &gt; Open last heat</b>. Step to the field where a dog's nose reaches "
               "the line and click its box number (1 to 6). Times go into the recording at once.</li>"
               "</ol>"
               "<p>The status line at the bottom of the main window says where the heat stands, and why an "
               "action was refused.</p>"
               "<h3>Keys</h3>"
               "<table>"
               "<tr><td>Left / Right</td><td>one field back or on in the review</td></tr>"
               "<tr><td>Ctrl+L</td><td>open the last heat</td></tr>"
               "<tr><td>Ctrl+R</td><td>show the results window</td></tr>"
               "<tr><td>Ctrl+G, then keypad 4 / 6</td><td>displace the goal line</td></tr>"
               "<tr><td>Escape</td><td>abort the running heat (asks first)</td></tr>"
               "<tr><td>Ctrl+X</td><td>exit (asks first while a heat runs)</td></tr>"
               "</table>"
               "<h3>Where the files go</h3>"
               "<p>Recordings: <b>%1</b> (click the capture folder in the main window to choose another).</p>"
               "<p>Settings, logs and event files: <b>%2</b></p>"
               "<p>This guide is under <b>Help &gt; Quick start</b>.</p>")
        .arg(capture, data);
}

void Form_Quick_Start::Show_Guide(const std::string& capture_folder, const std::string& data_folder) {
    Text_guide->setHtml(Guide_Html(capture_folder, data_folder));
    show();
    raise();
}
