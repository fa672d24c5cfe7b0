#include "capture/Form_Camera_Delay.h"

#include <cmath>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "capture/cls_Capture_HDMI.h"
#include "platform/Error_Entry.h"

namespace {
constexpr const char* kLocation = "Form_Camera_Delay";
constexpr int Zoom_Half = 16;  // crop pixels each side of the mark in the zoom
constexpr int Zoom_Scale = 5;

QString Ms(double ms) { return QString::number(std::lround(ms)) + " ms"; }
}  // namespace

Form_Camera_Delay::Form_Camera_Delay(cls_Capture_HDMI& capture, QWidget* picture, Camera_Delay_Host host,
                                     QWidget* parent)
    : QWidget(parent), m_Capture(capture), m_Picture(picture), m_Host(std::move(host)) {
    setObjectName("Form_Camera_Delay");
    setWindowTitle("Calibrate camera delay");
    auto* outer = new QVBoxLayout(this);
    Label_instructions = new QLabel(
        "Put the start LED where the camera sees it, near the finish line, and click its centre in the live "
        "picture. \"Start\" then switches the LED on and off; keep everything else out of the way.",
        this);
    Label_instructions->setObjectName("Label_instructions");
    Label_instructions->setWordWrap(true);
    outer->addWidget(Label_instructions);

    auto* row = new QHBoxLayout();
    Picture_zoom = new QLabel(this);
    Picture_zoom->setObjectName("Picture_zoom");
    Picture_zoom->setFixedSize((2 * Zoom_Half + 1) * Zoom_Scale, (2 * Zoom_Half + 1) * Zoom_Scale);
    Picture_zoom->setStyleSheet("background: black;");
    row->addWidget(Picture_zoom);
    auto* controls = new QVBoxLayout();
    Label_LED_place = new QLabel("LED not marked yet", this);
    Label_LED_place->setObjectName("Label_LED_place");
    controls->addWidget(Label_LED_place);
    auto* switches = new QHBoxLayout();
    switches->addWidget(new QLabel("Switches", this));
    UpDown_switches = new QSpinBox(this);
    UpDown_switches->setObjectName("UpDown_switches");
    UpDown_switches->setRange(4, 40);
    UpDown_switches->setValue(Camera_Delay_Calibration::Default_Switches);
    switches->addWidget(UpDown_switches);
    controls->addLayout(switches);
    Command_start = new QPushButton("Start", this);
    Command_start->setObjectName("Command_start");
    Command_stop = new QPushButton("Stop", this);
    Command_stop->setObjectName("Command_stop");
    controls->addWidget(Command_start);
    controls->addWidget(Command_stop);
    Label_progress = new QLabel(this);
    Label_progress->setObjectName("Label_progress");
    controls->addWidget(Label_progress);
    controls->addStretch(1);
    row->addLayout(controls);
    outer->addLayout(row);

    List_measurements = new QTreeWidget(this);
    List_measurements->setObjectName("List_measurements");
    List_measurements->setRootIsDecorated(false);
    List_measurements->setHeaderLabels({"Switch", "LED", "Delay"});
    List_measurements->header()->setStretchLastSection(true);
    List_measurements->setMinimumHeight(200);
    outer->addWidget(List_measurements);

    Label_result = new QLabel(this);
    Label_result->setObjectName("Label_result");
    Label_result->setWordWrap(true);
    outer->addWidget(Label_result);
    auto* buttons = new QHBoxLayout();
    Command_store = new QPushButton("Store", this);
    Command_store->setObjectName("Command_store");
    Command_close = new QPushButton("Close", this);
    Command_close->setObjectName("Command_close");
    buttons->addWidget(Command_store);
    buttons->addStretch(1);
    buttons->addWidget(Command_close);
    outer->addLayout(buttons);

    Timer_switch = new QTimer(this);
    Timer_switch->setObjectName("Timer_switch");
    Timer_switch->setTimerType(Qt::PreciseTimer);
    Timer_switch->setInterval(1);
    connect(Timer_switch, &QTimer::timeout, this, [this] { Tick(); });
    connect(Command_start, &QPushButton::clicked, this, [this] { Command_start_Click(); });
    connect(Command_stop, &QPushButton::clicked, this, [this] { Command_stop_Click(); });
    connect(Command_store, &QPushButton::clicked, this, [this] { Command_store_Click(); });
    connect(Command_close, &QPushButton::clicked, this, [this] { close(); });
    connect(&m_Capture, &cls_Capture_HDMI::HDMIreceived, this, [this] { On_Frame(); });
    if (m_Picture) m_Picture->installEventFilter(this);
    Show_State();
}

Form_Camera_Delay::~Form_Camera_Delay() {
    // The LED never stays lit behind a closed window.
    if (m_Calibration) m_Calibration->Cancel("Closed.");
}

int Form_Camera_Delay::Camera() const { return m_Host.Selected_Camera && m_Host.Selected_Camera() == 2 ? 2 : 1; }

void Form_Camera_Delay::Mark_LED(QPoint crop_px) {
    if (m_Calibration && m_Calibration->Running()) return;  // the mark stays while the LED is switched
    m_LED = crop_px;
    Show_Zoom();
    Show_State();
}

bool Form_Camera_Delay::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_Picture && e->type() == QEvent::MouseButtonPress && isVisible()) {
        auto* me = static_cast<QMouseEvent*>(e);
        const cDIBSection& crop = m_Capture.Crop_DIB();
        if (me->button() == Qt::LeftButton && crop.Width() > 0 && m_Picture->width() > 0 && m_Picture->height() > 0 &&
            !(m_Calibration && m_Calibration->Running())) {
            // The live picture stretches the crop over the whole widget.
            const QPointF p = me->position();
            Mark_LED(QPoint(static_cast<int>(p.x() * crop.Width() / m_Picture->width()),
                            static_cast<int>(p.y() * crop.Height() / m_Picture->height())));
            return true;  // the click marks the LED, it does not move the goal line
        }
    }
    return QWidget::eventFilter(watched, e);
}

void Form_Camera_Delay::Command_start_Click() {
    try {
        if (m_Calibration && m_Calibration->Running()) return;
        if (!m_Host.Ready || !m_Host.Ready()) {
            Label_result->setText("The camera must run and no heat may run.");
            return;
        }
        if (!m_LED) {
            Label_result->setText("Click the LED in the live picture first.");
            return;
        }
        const int fps = m_Capture.Running_Fps();
        if (fps <= 0) {
            Label_result->setText("The camera's frame rate is not measured yet: wait a few seconds.");
            return;
        }
        Camera_Delay_Calibration::Setup setup;
        setup.Switches = UpDown_switches->value();
        setup.Frame_Period_Mill = static_cast<int32_t>(std::lround(1000.0 / fps));
        setup.Interlaced = m_Capture.Interlaced_Recording();  // as the recording will be marked
        setup.LED = *m_LED;
        m_Calibration = std::make_unique<Camera_Delay_Calibration>(setup, m_Host.Switch_LED);
        List_measurements->clear();
        m_Shown_Measurements = 0;
        m_Calibration->Start();
        Timer_switch->start();
        Show_State();
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_start_Click of Form " + std::string(kLocation));
    }
}

void Form_Camera_Delay::Command_stop_Click() {
    if (m_Calibration) m_Calibration->Cancel("Stopped: nothing measured.");
    Timer_switch->stop();
    Show_State();
}

void Form_Camera_Delay::Command_store_Click() {
    try {
        if (!m_Calibration || !m_Calibration->Result_Mill() || !m_Host.Store) return;
        const int32_t ms = *m_Calibration->Result_Mill();
        m_Host.Store(Camera(), ms);
        // The verdict again, with the compensation now in use: the one just stored.
        Label_result->setText(Result_Text() + "\nStored as the " + (Camera() == 2 ? "Split" : "Goal") +
                              " camera's compensation.");
        Command_store->setEnabled(false);
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_store_Click of Form " + std::string(kLocation));
    }
}

void Form_Camera_Delay::LED_Written(int index, bool lit, int32_t stamp_mill) {
    if (index == 0 && m_Calibration) m_Calibration->LED_Written(lit, stamp_mill);
}

void Form_Camera_Delay::Tick() {
    if (!m_Calibration || !m_Calibration->Running()) {
        Timer_switch->stop();
        return;
    }
    if (!m_Host.Ready || !m_Host.Ready()) {
        m_Calibration->Cancel("Stopped: the camera stopped or a heat started.");
    } else {
        m_Calibration->Tick();
    }
    if (!m_Calibration->Running()) Timer_switch->stop();
    Show_State();
}

void Form_Camera_Delay::On_Frame() {
    if (m_Calibration) m_Calibration->Frame(m_Capture.Crop_DIB(), m_Capture.last_Capture_mill());
    if (isVisible() && m_LED) Show_Zoom();
}

void Form_Camera_Delay::Show_Zoom() {
    if (!m_LED) return;
    const cDIBSection& crop = m_Capture.Crop_DIB();
    const int side = 2 * Zoom_Half + 1;
    QImage zoom(side, side, QImage::Format_RGB32);
    zoom.fill(Qt::black);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint32_t c = crop.Get_Pixel(m_LED->x() - Zoom_Half + x, m_LED->y() - Zoom_Half + y);
            if (c != 0xFFFFFFFFu) zoom.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        }
    QPixmap shown = QPixmap::fromImage(zoom.scaled(side * Zoom_Scale, side * Zoom_Scale));
    QPainter p(&shown);
    p.setPen(QPen(QColor(0, 255, 255), 1));
    const int box = Camera_Delay_Calibration::Box_Half;
    p.drawRect((Zoom_Half - box) * Zoom_Scale, (Zoom_Half - box) * Zoom_Scale, (2 * box + 1) * Zoom_Scale - 1,
               (2 * box + 1) * Zoom_Scale - 1);
    p.end();
    Picture_zoom->setPixmap(shown);
}

QString Form_Camera_Delay::Result_Text() const {
    if (!m_Calibration) return {};
    const Camera_Delay_Calibration& c = *m_Calibration;
    const int camera = Camera();
    QString text = QString::fromStdString(c.Verdict());
    if (c.Median_Mill() && c.Spread_Mill() && c.Status() == Camera_Delay_Calibration::State::Refused)
        text += QString("\nMedian %1, spread %2.").arg(Ms(*c.Median_Mill()), Ms(*c.Spread_Mill()));
    if (c.Result_Mill() && m_Host.Compensation)
        text += QString("\nThe %1 camera's compensation is now %2.")
                    .arg(camera == 2 ? "Split" : "Goal")
                    .arg(Ms(m_Host.Compensation(camera)));
    return text;
}

void Form_Camera_Delay::Show_State() {
    const bool running = m_Calibration && m_Calibration->Running();
    if (m_LED) Label_LED_place->setText(QString("LED at %1, %2 of the live picture").arg(m_LED->x()).arg(m_LED->y()));
    Command_start->setEnabled(!running);
    Command_stop->setEnabled(running);
    UpDown_switches->setEnabled(!running);
    const int camera = Camera();
    const std::optional<int32_t> result = m_Calibration ? m_Calibration->Result_Mill() : std::nullopt;
    if (!m_Calibration) {
        Command_store->setText("Store");
        Command_store->setEnabled(false);
        return;
    }
    const Camera_Delay_Calibration& c = *m_Calibration;
    Label_progress->setText(QString("Switch %1 of %2").arg(c.Switches_Done()).arg(c.Switches_Planned()));
    // Measurements appear once the run is over: until then a change may still be on its way.
    const auto& ms = c.Measurements();
    for (; m_Shown_Measurements < ms.size(); ++m_Shown_Measurements) {
        const auto& m = ms[m_Shown_Measurements];
        auto* item = new QTreeWidgetItem(List_measurements, {QString::number(m.Switch), m.Lit ? "on" : "off",
                                                             m.Delay_Mill ? Ms(*m.Delay_Mill) : "not seen"});
        item->setTextAlignment(2, Qt::AlignRight);
    }
    if (running) {
        Label_result->setText("Switching the LED...");
    } else {
        const QString text = Result_Text();
        if (Label_result->text() != text && !Label_result->text().startsWith(text)) Label_result->setText(text);
    }
    if (result) {
        Command_store->setText(QString("Store %1 as %2 compensation").arg(Ms(*result), camera == 2 ? "Split" : "Goal"));
    } else {
        Command_store->setText("Store");
    }
    Command_store->setEnabled(result.has_value() && !running && !Label_result->text().contains("Stored as"));
}

void Form_Camera_Delay::closeEvent(QCloseEvent* e) {
    if (m_Calibration) m_Calibration->Cancel("Closed.");
    Timer_switch->stop();
    QWidget::closeEvent(e);
}
