// The main window's review of a recording: opening and closing, the display
// refresh, slider and jumps, goal-line editing, time assignment and results.
#include <algorithm>
#include <cmath>

#include <QScrollArea>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "Form_Houndex.h"
#include "Keyboard_Hook.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "platform/System_Info.h"
#include "platform/Window_Fit.h"
#include "recording/cls_VideoFile_handler.h"
#include "diagnostics/Frm_progress.h"
#include "review/Finish_Strip.h"
#include "review/Form_Finish_Strip.h"
#include "review/Form_Hdx_Results.h"
#include "review/Module_Results.h"
#include "review/Official_Record.h"
#include "review/Results_Export.h"
#include "review/Results_Feed.h"
#include "web/Web_Server.h"
#include "review/Review_Timing.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {
const QColor kGoal_Colour(128, 0, 129);   // 8454016
const QColor kSplit_Colour(255, 255, 0);  // &HFFFF
const QColor kDisplaced_Colour(255, 100, 255);
const QColor kTimed_Colour(192, 255, 255);  // &HFFFFC0
constexpr int kTwips_Per_Pixel = 15;
constexpr int kSlider_Start_Twips = 170;

std::string Loc(const char* procedure) { return std::string(procedure) + " of Form Form_Houndex"; }

void Paint_Button(QPushButton* b, const QColor* colour) {
    if (!b) return;
    QPalette p = QApplication::palette(b);
    if (colour) p.setColor(QPalette::Button, *colour);
    b->setPalette(p);
}

// An armed button is yellow and pressed in.
void Paint_Armed(QPushButton* b, bool armed) {
    if (!b) return;
    Paint_Button(b, armed ? &kSplit_Colour : nullptr);
    b->setChecked(armed);
}
}  // namespace

// --- Controls and menus ------------------------------------------------------------

void Form_Houndex::Build_Review_Controls() {
    m_Mode_Colour = kGoal_Colour;
    m_Line_Colour = kGoal_Colour;
    Label_line_warning = new QLabel(
        "No goal line on the picture: drag its ends into view or use "
        "Form > Reset Goal line.",
        Picture_out);
    Label_line_warning->setObjectName("Label_line_warning");
    Label_line_warning->setWordWrap(true);
    Label_line_warning->setStyleSheet("background: rgb(192, 0, 0); color: white; font-weight: bold; padding: 4px;");
    Label_line_warning->hide();
    // Two lines (the boxes, then the other buttons): in one line they made the
    // picture's column far wider than a picture shrunk to a laptop screen.
    auto* lines = new QVBoxLayout(Frame_settimes);
    lines->setContentsMargins(4, 2, 4, 2);
    auto* boxes = new QHBoxLayout();
    auto* row = new QHBoxLayout();
    lines->addLayout(boxes);
    lines->addLayout(row);
    for (int i = 0; i < 6; ++i) {
        // The button, and the assistant's proposal for the box beneath it.
        auto* column = new QVBoxLayout;
        column->setSpacing(1);
        auto* b = new QPushButton(QString::number(i + 1), Frame_settimes);
        b->setObjectName(QString("Command_BOX_set_time_%1").arg(i));
        b->setFixedWidth(34);
        Command_BOX_set_time[static_cast<size_t>(i)] = b;
        column->addWidget(b, 0, Qt::AlignHCenter);
        auto* proposal = new QLabel(Frame_settimes);
        proposal->setObjectName(QString("Label_proposal_%1").arg(i));
        proposal->setWordWrap(true);
        proposal->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        proposal->setFixedWidth(96);
        QFont small = proposal->font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        proposal->setFont(small);
        Label_proposal[static_cast<size_t>(i)] = proposal;
        column->addWidget(proposal);
        boxes->addLayout(column);
        connect(b, &QPushButton::clicked, this, [this, i] { Command_BOX_set_time_Click(i); });
    }
    auto make = [this, row](const char* caption, const char* name) {
        auto* b = new QPushButton(caption, Frame_settimes);
        b->setObjectName(name);
        row->addWidget(b);
        return b;
    };
    Cmd_add_hundredth = make("+ 1/100", "Cmd_add_hundredth");
    Cmd_Split = make("Split", "Cmd_Split");
    Cmd_Notime = make("No Time", "Cmd_Notime");
    // DSQ, DNF and no rank are chosen in sight, not only by a right-click.
    Cmd_Notime_choice = make("\u25BE", "Cmd_Notime_choice");
    Cmd_Notime_choice->setFixedWidth(22);
    Cmd_Notime->setToolTip(
        "Arms a special result for the next goal click: No Time, or what \u25BE (or a right-click) chose: DSQ, "
        "DNF or No Rank");
    Cmd_Notime_choice->setToolTip("Choose the special result: DSQ, DNF or No Rank");
    Cmd_DeadHeat = make("Dead heat", "Cmd_DeadHeat");
    Cmd_add_hundredth->setToolTip("Adds 1/100 to the next box click");
    Cmd_DeadHeat->setToolTip("Marks the next goal click as a dead heat with the dog above");
    // An armed button stays pressed in until a box click uses it.
    for (QPushButton* b : {Cmd_add_hundredth, Cmd_Notime, Cmd_DeadHeat}) b->setCheckable(true);
    connect(Cmd_add_hundredth, &QPushButton::clicked, this, [this] { Cmd_add_hundredth_Click(); });
    connect(Cmd_Split, &QPushButton::clicked, this, [this] { Cmd_Split_Click(); });
    connect(Cmd_Notime, &QPushButton::clicked, this, [this] { Cmd_Notime_Click(); });
    connect(Cmd_DeadHeat, &QPushButton::clicked, this, [this] { Cmd_DeadHeat_Click(); });
    connect(Cmd_Notime_choice, &QPushButton::clicked, this, [this] { Cmd_Notime_MouseDown(2); });
    Cmd_Notime->installEventFilter(this);
    Slider_play->installEventFilter(this);
    Picture_out->installEventFilter(this);  // the wheel zooms round the pointer
    Slider_play->setMinimum(1);
    Slider_play->setMaximum(1);
    Slider_play->setSingleStep(1);
    Slider_play->setPageStep(5);
    connect(Slider_play, &QSlider::valueChanged, this, [this] { Slider_play_Scroll(); });
    connect(Picture_out, &Platform::PictureBox::Mouse_Down, this,
            [this](int b, int s, double x, double y) { Picture_out_MouseDown(b, s, x, y); });
    connect(Picture_out, &Platform::PictureBox::Mouse_Move, this,
            [this](int b, int s, double x, double y) { Picture_out_MouseMove(b, s, x, y); });
    connect(Picture_out, &Platform::PictureBox::Mouse_Up, this,
            [this](int b, int s, double x, double y) { Picture_out_MouseUp(b, s, x, y); });
}

void Form_Houndex::Build_Review_Menus() {
    auto item = [this](QMenu* menu, const char* caption, const char* name, const char* shortcut = nullptr) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        if (shortcut) a->setShortcut(QKeySequence(shortcut));
        return a;
    };
    // The review items come first in the "Form" menu, before "Show settings".
    QAction* first = menu_form->actions().isEmpty() ? nullptr : menu_form->actions().first();
    auto front = [this, first](const char* caption, const char* name, const char* shortcut = nullptr) {
        auto* a = new QAction(caption, menu_form);  // owned by the menu it is shown in
        a->setObjectName(name);
        if (shortcut) a->setShortcut(QKeySequence(shortcut));
        menu_form->insertAction(first, a);
        return a;
    };
    item_open_file = front("Open Houndex file", "item_open_file");
    item_last_heat = front("Open last heat", "item_last_heat", "Ctrl+L");
    item_show_result = front("Show result form", "item_show_result", "Ctrl+R");
    item_show_strip = front("Show finish strip", "item_show_strip", "Ctrl+T");
    item_reset_line = front("Reset Goal line", "item_reset_line");
    item_close_file = front("Close Houndex file", "item_close_file");
    item_displace_goalline = front("Displace goalline", "item_displace_goalline", "Ctrl+G");
    item_displace_goalline->setCheckable(true);
    item_propose = front("Propose crossings", "item_propose", "Ctrl+P");
    item_show_candidates = front("Show the assistant's candidates", "item_show_candidates", "Ctrl+Shift+P");
    item_show_candidates->setCheckable(true);
    QMenu* proposals = new QMenu("Go to proposal", menu_form);
    proposals->setObjectName("Menu_goto_proposal");
    for (int box = 1; box <= 6; ++box) {
        QAction* a = proposals->addAction(QString("Box %1").arg(box));
        a->setObjectName(QString("item_goto_proposal_%1").arg(box));
        a->setShortcut(QKeySequence(QString("Alt+%1").arg(box)));
        connect(a, &QAction::triggered, this, [this, box] { GoTo_Proposal(box); });
    }
    item_store_proposal = proposals->addAction("Store the proposal shown");
    item_store_proposal->setObjectName("item_store_proposal");
    item_store_proposal->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    item_store_proposal->setEnabled(false);
    connect(item_store_proposal, &QAction::triggered, this, [this] { Store_Proposal(); });
    menu_form->insertMenu(first, proposals);
    connect(item_propose, &QAction::triggered, this, [this] { item_propose_Click(); });
    connect(item_show_candidates, &QAction::triggered, this, [this] { Slider_play_Scroll(); });
    QMenu* stretch = new QMenu("X-stretch", menu_form);
    stretch->setObjectName("Menu_x_extension");
    const char* factors[] = {"1/1", "1/1,5", "1/2"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = stretch->addAction(factors[i]);
        a->setObjectName(QString("item_extension_%1").arg(i));
        a->setCheckable(true);
        item_extension[static_cast<size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { item_extension_Click(i); });
    }
    item_extension[0]->setChecked(true);
    menu_form->insertMenu(first, stretch);
    Build_View_Menu();

    connect(item_open_file, &QAction::triggered, this, [this] { item_open_file_Click(); });
    connect(item_last_heat, &QAction::triggered, this, [this] { item_last_heat_Click(); });
    connect(item_show_result, &QAction::triggered, this, [this] { item_show_result_Click(); });
    connect(item_show_strip, &QAction::triggered, this, [this] { item_show_strip_Click(); });
    connect(item_reset_line, &QAction::triggered, this, [this] { Reset_Goal_Line(m_Selected_Camera); });
    connect(item_close_file, &QAction::triggered, this, [this] { Do_Close(); });
    connect(item_displace_goalline, &QAction::triggered, this, [this] { item_displace_goalline_Click(); });

    item_disqualified = item(Menu_notime, "Disqualified", "item_disqualified");
    item_DNF = item(Menu_notime, "Did Not Finish", "item_DNF");
    item_NoRank = item(Menu_notime, "No Rank", "item_NoRank");
    connect(item_disqualified, &QAction::triggered, this, [this] { item_notime_Click("DSQ"); });
    connect(item_DNF, &QAction::triggered, this, [this] { item_notime_Click("DNF"); });
    connect(item_NoRank, &QAction::triggered, this, [this] { item_notime_Click("No Rnk"); });
    // The same choices in the menu bar, where the keyboard reaches them.
    QMenu* special = Menu_assign_times->addMenu("Special result");
    special->setObjectName("Menu_special_result");
    special->addActions({item_disqualified, item_DNF, item_NoRank});
}

void Form_Houndex::Build_View_Menu() {
    // Before "Help", which stays last.
    QMenu* view = new QMenu("View", menuBar());
    view->setObjectName("menu_view");
    QAction* help = nullptr;
    for (QAction* a : menuBar()->actions())
        if (a->text() == "Help") help = a;
    menuBar()->insertMenu(help, view);
    auto item = [view](const QString& caption, const QString& name, const char* shortcut) {
        QAction* a = view->addAction(caption);
        a->setObjectName(name);
        a->setShortcut(QKeySequence(shortcut));
        return a;
    };
    const int zooms[] = {1, 2, 4, 8};
    const char* keys[] = {"Ctrl+1", "Ctrl+2", "Ctrl+4", "Ctrl+8"};
    for (size_t i = 0; i < item_zoom.size(); ++i) {
        QAction* a = item(QString("Zoom %1x").arg(zooms[i]), QString("item_zoom_%1").arg(zooms[i]), keys[i]);
        a->setCheckable(true);
        item_zoom[i] = a;
        connect(a, &QAction::triggered, this, [this, z = zooms[i]] { Set_Zoom(z); });
    }
    item_zoom[0]->setChecked(true);
    view->addSeparator();
    struct Step {
        const char* caption;
        const char* name;
        const char* key;
        std::function<void(Review_View&)> change;
    } steps[] = {
        {"Brighter", "item_brighter", "Ctrl+B",
         [](Review_View& v) { v.Brightness = std::min(100, v.Brightness + 10); }},
        {"Darker", "item_darker", "Ctrl+Shift+B",
         [](Review_View& v) { v.Brightness = std::max(-100, v.Brightness - 10); }},
        {"More contrast", "item_more_contrast", "Ctrl+K",
         [](Review_View& v) { v.Contrast = std::min(100, v.Contrast + 20); }},
        {"Less contrast", "item_less_contrast", "Ctrl+Shift+K",
         [](Review_View& v) { v.Contrast = std::max(-100, v.Contrast - 20); }},
        {"Lift dark parts (gamma up)", "item_gamma_up", "Ctrl+M",
         [](Review_View& v) { v.Gamma = std::min(4.0, v.Gamma * 1.25); }},
        {"Gamma down", "item_gamma_down", "Ctrl+Shift+M",
         [](Review_View& v) { v.Gamma = std::max(0.25, v.Gamma / 1.25); }},
    };
    for (const Step& st : steps)
        connect(item(st.caption, st.name, st.key), &QAction::triggered, this,
                [this, c = st.change] { Change_View(c); });
    item_sharpen = item("Sharpen", "item_sharpen", "Ctrl+H");
    item_sharpen->setCheckable(true);
    connect(item_sharpen, &QAction::triggered, this,
            [this](bool on) { Change_View([on](Review_View& v) { v.Sharpen = on; }); });
    item_greyscale = item("Greyscale", "item_greyscale", "Ctrl+Y");
    item_greyscale->setCheckable(true);
    connect(item_greyscale, &QAction::triggered, this,
            [this](bool on) { Change_View([on](Review_View& v) { v.Greyscale = on; }); });
    connect(item("Reset enhancement", "item_reset_view", "Ctrl+0"), &QAction::triggered, this,
            [this] { item_reset_view_Click(); });
}

QSizeF Form_Houndex::Recording_Size() const {
    const QPointF scale = Line_Scale();
    return {Picture_out->Scale_Width() * scale.x(), Picture_out->Scale_Height() * scale.y()};
}

QSizeF Form_Houndex::Canvas_Size() const { return {Picture_out->Scale_Width(), Picture_out->Scale_Height()}; }

QPointF Form_Houndex::To_Recording(double x, double y) const {
    return Review_Views::To_Recording(m_View, {x, y}, Canvas_Size(), Recording_Size());
}

QPointF Form_Houndex::To_Canvas(QPointF recording) const {
    return Review_Views::To_Canvas(m_View, recording, Canvas_Size(), Recording_Size());
}

void Form_Houndex::Set_Zoom(int zoom) {
    // From the menu and keys the zoom goes round the middle of the goal line.
    const Goal_Line_Points& line = Line(m_Review_Line == 2 ? 2 : 1);
    const QPointF middle((line.P1.X + line.P2.X) / 2.0, (line.P1.Y + line.P2.Y) / 2.0);
    Review_Views::Zoom_At(m_View, zoom, middle, {}, Canvas_Size(), Recording_Size(), false);
    for (size_t i = 0; i < item_zoom.size(); ++i) item_zoom[i]->setChecked((1 << i) == m_View.Zoom);
    if (Review_File_Open()) Slider_play_Scroll();
}

void Form_Houndex::Change_View(const std::function<void(Review_View&)>& change) {
    change(m_View);
    item_sharpen->setChecked(m_View.Sharpen);
    item_greyscale->setChecked(m_View.Greyscale);
    if (Review_File_Open()) Slider_play_Scroll();
}

void Form_Houndex::item_reset_view_Click() {
    Change_View([](Review_View& v) {
        const Review_View plain;
        v.Brightness = plain.Brightness;
        v.Contrast = plain.Contrast;
        v.Gamma = plain.Gamma;
        v.Sharpen = plain.Sharpen;
        v.Greyscale = plain.Greyscale;
    });
}

bool Form_Houndex::Review_File_Open() const { return obj_NX3_Handler && obj_NX3_Handler->File_open(); }

cls_VideoFile_handler* Form_Houndex::Review_Handler() { return Review_File_Open() ? obj_NX3_Handler.get() : nullptr; }

Form_Hdx_Results* Form_Houndex::Results_Form() {
    auto* form = findChild<Form_Hdx_Results*>();
    if (!form) {
        form = new Form_Hdx_Results(*this, this);
        // While timing the official clicks the picture, the box buttons and the
        // slider's column: the results open clear of them.
        form->Set_Keep_Clear([this] {
            QRect area;
            for (const QWidget* w : {static_cast<QWidget*>(Picture_out), static_cast<QWidget*>(Frame_settimes),
                                     static_cast<QWidget*>(Scroll_controls)})
                if (w && w->isVisible()) area |= QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
            return area;
        });
        form->Form_Load();
        // However the recording goes away, its results go with it.
        connect(this, &Form_Houndex::Review_Recording_Changed, form, [this, form] {
            if (!Review_File_Open()) form->Clear_Results_Display();
        });
    }
    return form;
}

void Form_Houndex::Session_Changed(const std::string& change) {
    if (!m_Session) return;
    const Heat_Result& result = m_Session->Result();
    try {
        if (Review_File_Open()) Results_Form()->Display(result);
        Set_Buttons();
        const bool opened = change == "opened";
        const bool web = m_Web && m_Web->Listening();
        // Opening a heat changes nothing a board shows; the stewards' page shows the heat on screen.
        if (!web && (!m_Feed || opened)) return;
        Results_Export::Heat_Results heat =
            Results_Export::From_Result(result, Margins::Load_Table(Facts().Ini_file_path));
        // Every line of a heat a higher revision than the last, never below its trail's count.
        int& revision = m_Feed_Revisions[result.File];
        revision = heat.revision = opened ? std::max(revision, heat.revision) : std::max(revision + 1, heat.revision);
        const std::string line = "{\"change\":" + Results_Export::Json_String(change) +
                                 ",\"sent_at\":" + Results_Export::Json_String(Date_Time_Text()) +
                                 ",\"heat\":" + Results_Export::To_Json(heat, true) + "}";
        if (m_Feed && !opened) m_Feed->Publish(result.File, line);
        if (web) m_Web->Publish(Web_Heat_Of(result, line, !opened), opened);
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Results_Changed"));
    }
}

Web_Heat Form_Houndex::Web_Heat_Of(const Heat_Result& result, const std::string& line, bool photo) {
    Web_Heat heat;
    heat.File = result.File;
    heat.Line = line;
    heat.Official = result.Declaration.official;
    // The printout's picture: the review picture as drawn when the result changed.
    if (heat.Official && photo) heat.Photo = Picture_out->Canvas().copy();
    Web_Recording& r = heat.Recording;
    r = Web_Recording_Of(*obj_NX3_Handler, result.File);
    r.Start_Mill = m_File_Start_PC_mill;
    r.Goal = m_Session->Goal_Line(1);
    return heat;
}

const Heat_Result* Form_Houndex::Reviewed_Result() { return m_Session ? &m_Session->Result() : nullptr; }

std::optional<std::string> Form_Houndex::Reason_For(const std::string& what) {
    return Official_Record::Ask_Reason(m_Session && m_Session->Official(), what);
}

bool Form_Houndex::Change_Refused(const Review_Session::Outcome& outcome, const char* procedure) {
    if (outcome.done) return false;
    Trace(std::string("*") + procedure + ", nothing changed: " + outcome.error);
    Platform::MsgBox("Nothing was changed:\r\n" + outcome.error, Platform::MsgButtons::OK,
                     Platform::MsgIcon::Exclamation, "Houndex results");
    return true;
}

bool Form_Houndex::Correct_Name(Result_Name what, int16_t box, const std::string& value) {
    if (!m_Session) return false;
    const std::optional<std::string> reason = Reason_For(Review_Session::What(what, box));
    if (!reason) return false;
    return !Change_Refused(m_Session->Correct_Name(what, box, value, *reason), "Correct_Name");
}

bool Form_Houndex::Correct_Box_Delay(int32_t ms) {
    if (!m_Session) return false;
    const std::optional<std::string> reason = Reason_For("the box delay");
    if (!reason) return false;
    return !Change_Refused(m_Session->Set_Box_Delay(ms, *reason), "Correct_Box_Delay");
}

bool Form_Houndex::Declare_Official() {
    if (!m_Session) {
        Platform::Beep();
        return false;
    }
    const std::string caption = "Checking the frames of heat " + m_Session->Result().Heat_ID;
    const Review_Session::Outcome outcome = m_Session->Declare([&](int percent) { Show_Progress(caption, percent); });
    Show_Progress("", -1);
    return !Change_Refused(outcome, "item_declare_official_Click");
}

void Form_Houndex::End_Session() {
    // The proposals belong to the recording: a run under way is abandoned.
    if (m_Assistant) m_Assistant->Cancel();
    m_Proposal_Box = 0;
    if (item_store_proposal) item_store_proposal->setEnabled(false);
    Show_Proposals();
    if (!m_Session) return;
    m_Armed = m_Session->Armed();  // armed buttons wait for the next recording
    m_Session.reset();
}

Goal_Line_Points& Form_Houndex::Line(int camera) {
    if (m_Session && (camera == 1 || camera == 2)) return m_Session->Goal_Line(camera);
    return m_Goal_Lines.at(static_cast<size_t>(camera));
}

const Goal_Line_Points& Form_Houndex::Line(int camera) const { return const_cast<Form_Houndex*>(this)->Line(camera); }

std::array<Goal_Line_Points, 3> Form_Houndex::Goal_Lines() const { return {Line(0), Line(1), Line(2)}; }

Review_Session::Arming& Form_Houndex::Armed() { return m_Session ? m_Session->Armed() : m_Armed; }

const Review_Session::Arming& Form_Houndex::Armed() const { return m_Session ? m_Session->Armed() : m_Armed; }

const std::vector<std::pair<int32_t, Nose_Mark>>& Form_Houndex::Nose_Marks() const {
    static const std::vector<std::pair<int32_t, Nose_Mark>> none;
    return m_Session ? m_Session->Nose_Marks() : none;
}

void Form_Houndex::Show_Progress(const std::string& caption, int percent) {
    if (percent < 0) {
        if (m_Progress) m_Progress->hide();
        return;
    }
    if (!m_Progress) {
        m_Progress = new Frm_progress(this);
        m_Progress->setWindowFlag(Qt::Window);
    }
    m_Progress->Set_Caption(QString::fromStdString(caption));
    m_Progress->Set_Percent(percent);
    if (!m_Progress->isVisible()) {
        m_Progress->show();
        m_Progress->Adapt_Font();
    }
    // Painted at once: no pending events run while a result is written.
    m_Progress->repaint();
}

void Form_Houndex::Start_Results_Feed() {
    try {
        if (!m_Feed) m_Feed = std::make_unique<Results_Feed>();
        std::string error;
        if (!m_Feed->Start(Results_Feed::Read_Config(), &error))
            Platform::MsgBox("The live results feed is off:\r\n" + error, Platform::MsgButtons::OK,
                             Platform::MsgIcon::Exclamation);
    } catch (const std::exception& e) {
        m_Feed->Stop();
        Report_Exception(e, Loc("Start_Results_Feed"));
    }
}

void Form_Houndex::Start_Web_Server() {
    try {
        if (!m_Web) m_Web = std::make_unique<Web_Server>();
        std::string error;
        if (!m_Web->Start(Web_Server::Read_Config(), &error))
            Platform::MsgBox("The web server is off:\r\n" + error, Platform::MsgButtons::OK,
                             Platform::MsgIcon::Exclamation);
        // A heat under review is on the pages at once.
        else if (m_Web->Listening() && m_Session)
            m_Web->Publish(Web_Heat_Of(m_Session->Result(), {}, false), true);
    } catch (const std::exception& e) {
        if (m_Web) m_Web->Stop();
        Report_Exception(e, Loc("Start_Web_Server"));
    }
}

void Form_Houndex::Focus_Slider() {
    if (Slider_play->isVisible() && Slider_play->isEnabled()) Slider_play->setFocus();
}

void Form_Houndex::Loose_Focus() { Picture_out->setFocus(); }

// --- Opening and closing ------------------------------------------------------------

void Form_Houndex::item_open_file_Click() {
    try {
        obj_NX3_Handler->Set_Screen_HDC(Picture_out);
        const std::string folder = Read_Ini("Settings", "last_folder", Facts().Ini_file_path, "");
        const auto path = Platform::Dialogs().Open_File("Open", folder, "Houndex Files (*.nx3)");
        if (!path || path->empty()) return;
        End_Session();
        obj_NX3_Handler->Close_File();
        Handle_Open(*path);
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_open_file_Click"));
    }
}

void Form_Houndex::item_last_heat_Click() {
    try {
        Trace("item_last_heat_Click");
        if (Heat_Running()) Do_Heat_Finish();
        const std::string last = Read_Ini("Settings", "last_file", Facts().Ini_file_path, "");
        if (!last.empty() && FileExists(last))
            Handle_Open(last);
        else
            Platform::MsgBox("No last file found! Try using normal file open.");
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_last_heat_Click"));
    }
}

void Form_Houndex::item_show_result_Click() {
    try {
        Form_Hdx_Results* form = Results_Form();
        form->showNormal();
        form->raise();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_show_result_Click"));
    }
}

void Form_Houndex::item_show_strip_Click() {
    try {
        if (!Review_File_Open()) return Platform::Beep();
        if (!m_Strip_Form) {
            m_Strip_Form = new Form_Finish_Strip(this);
            m_Strip_Form->Go_To_Field = [this](int32_t field) {
                if (!Review_File_Open()) return;
                // The strip holds the review's own positions: fields or frames.
                Slider_play->setValue(field);
                Focus_Slider();
            };
            // Below the main window where the screen has room, else over its lower part.
            // The strip's frame counts, or its field and time line ends below the screen.
            const QRect screen = Platform::Screen_Available_Geometry();
            const QMargins frame = Platform::Frame_Margins(m_Strip_Form);
            const int tall = m_Strip_Form->height() + frame.top() + frame.bottom();
            const int top = std::min(frameGeometry().bottom() + 1, screen.bottom() + 1 - tall);
            m_Strip_Form->move(std::max(screen.left(), frameGeometry().left()), std::max(screen.top(), top));
        }
        if (!m_Progress) {
            m_Progress = new Frm_progress(this);
            m_Progress->setWindowFlag(Qt::Window);
        }
        m_Progress->Set_Caption("Building the finish strip");
        m_Progress->Set_Percent(0);
        m_Progress->show();
        Finish_Strip strip = Finish_Strip_Builder::Build(*obj_NX3_Handler, Line(1), 2, [this](int percent) {
            // Painted at once: no pending events run while the strip reads the recording.
            if (m_Progress) {
                m_Progress->Set_Percent(percent);
                m_Progress->repaint();
            }
        });
        if (m_Progress) m_Progress->hide();
        if (strip.Picture.isNull()) {
            Platform::MsgBox("No finish strip: the goal line lies off the picture");
            return;
        }
        m_Strip_Form->Set_Strip(std::move(strip));
        m_Strip_Form->show();
        Platform::Fit_On_Screen(m_Strip_Form);
        m_Strip_Form->raise();
        Slider_play_Scroll();  // the strip read every field: the review shows its own again
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_show_strip_Click"));
    }
}

void Form_Houndex::Handle_Open(const std::string& path) {
    try {
        Trace("Handle_Open " + path);
        if (const Heat_Verdict v = m_Heat.Open_Review(); !v.accepted) return Show_Refusal(v.why);
        m_Field_Mode = true;
        // A heat under way keeps its camera and its windows: the review is
        // shown instead of the live picture until the official goes back to it.
        if (m_Heat.Current_File().empty() || !Camera_Running()) {
            Clear_Running_arm();
            Do_Stop_Cams();
        }
        cls_VideoFile_handler& h = *obj_NX3_Handler;
        h.Set_Screen_HDC(Picture_out);
        m_Review_File = path;
        Write_Ini("Settings", "last_folder", ParsePath(path, 16, true), Facts().Ini_file_path);
        // A recording still held (another review, a finished heat) is let go first.
        End_Session();
        if (h.File_open()) h.Close_File();
        Recover_Capture_Journals(path);  // frames of a window a crash interrupted join it first
        if (!h.Open_File(path)) {
            m_Review_File.clear();
            emit Review_Recording_Changed();
            Platform::MsgBox("File open failed");
            return;
        }
        // A header rewrite that a power cut interrupted was completed from its copy: the official is told.
        if (!h.Header_Recovered().empty())
            Platform::MsgBox(h.Header_Recovered(), Platform::MsgButtons::OK, Platform::MsgIcon::Information,
                             Main_Title);
        m_Session = std::make_unique<Review_Session>(h, m_Armed);
        connect(m_Session.get(), &Review_Session::Changed, this,
                [this](const std::string& change) { Session_Changed(change); });
        // A damaged line in the header is reported; the recording is still reviewed.
        if (!m_Session->Goal_Line_Problem().empty())
            NXF_Error_Handler(m_Session->Goal_Line_Problem(), HdxErr::SubscriptOutOfRange, 0, Loc("Handle_Open"));
        emit Review_Recording_Changed();
        m_Field_Mode = h.Reviewed_By_Field();
        m_Goal_Offset = 0;

        int width = h.Width();
        int height = h.Height();
        const int max_height = Max_Picture_Height();
        if (max_height > 0 && height > max_height && width > 0) {
            const double ratio = static_cast<double>(height) / width;
            height = max_height;
            width = static_cast<int>(std::lround(height / ratio));
        }
        if (width < 1) width = 1;
        if (height < 1) height = 1;
        m_Picture_Width = width;
        if (m_X_Stretch == 0) m_X_Stretch = 1;
        Picture_out->Set_Scale(0, 0);  // the review draws in picture pixels (see Line_Scale)
        Picture_out->Set_Canvas_Size(static_cast<int>(std::lround(m_X_Stretch * width)), height);
        Picture_out->Cls();

        if (h.Num_fields() <= 0) {
            Platform::MsgBox("No video in this file!");
            Do_Close();
            return;
        }
        Label_read_framesize->setText(QString::number(h.Width()) + "*" + QString::number(h.Height()));
        {
            const QSignalBlocker block(Slider_play);
            Slider_play->setMaximum(h.Num_fields());
            Slider_play->setMinimum(1);
            Slider_play->setValue(Slider_play->minimum());
        }
        m_Num_Video_streams = h.Num_Video_streams();
        Update_File_Size(path);

        m_File_Start_PC_mill = h.Hdx_start_PC_mill();
        m_Review_Line = 1;
        if (m_Strip_Form) {
            m_Strip_Form->Set_Strip({});  // another recording's strip is never shown
            m_Strip_Form->hide();
        }
        Slider_play_Scroll();
        Arrange_form();

        Text_filename->setText(QString::fromStdString(path));
        Label_heat_num->setText(QString::fromStdString(h.Hdx_Heat_ID()));
        Label_heat_name->setText(QString::fromStdString(h.Hdx_Heat_Name()));
        const QString event = QString::fromStdString(h.Hdx_event());
        Label_event->setText(event);
        Label_event->setToolTip(event);
        const std::string length = h.Hdx_Heat_Length();
        if (!length.empty() && Label_heat_length) Label_heat_length->setText(QString::fromStdString(length + " m"));
        setWindowTitle(QString::fromStdString(Main_Title + " " + path + (h.Read_only() ? "(read-only)" : "")));

        Form_Hdx_Results* results = Results_Form();
        results->show();
        Session_Changed("opened");
        item_propose_Click();  // found meanwhile, on the assistant's own thread
        Frame_settimes->show();
        Do_Sleep(500, true);
        if (!Review_File_Open()) return;  // closed while the events ran
        item_displace_goalline->setChecked(false);
        Display_Goal_times();
        Update_Status();
        Focus_Slider();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Handle_Open"));
    }
}

void Form_Houndex::Do_Close() {
    try {
        End_Session();
        obj_NX3_Handler->Close_File();
        m_Review_File.clear();
        Label_read_framesize->clear();
        Text_filename->clear();
        Label_field->clear();
        Label_filesize->clear();
        Picture_out->Cls();
        Picture_out->Refresh();
        Frame_settimes->hide();
        Cmd_Split->setText("Split");
        setWindowTitle(QString::fromStdString(Main_Title));
        if (auto* results = findChild<Form_Hdx_Results*>()) results->Clear_Results_Display();
        if (m_Strip_Form) {
            m_Strip_Form->Set_Strip({});
            m_Strip_Form->hide();
        }
        emit Review_Recording_Changed();
        Update_Status();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Do_Close"));
    }
}

bool Form_Houndex::Check_Read_Only() {
    if (Review_File_Open() && obj_NX3_Handler->Read_only()) {
        Platform::MsgBox("File is read only!");
        return true;
    }
    return false;
}

// --- Display refresh -------------------------------------------------------------------

void Form_Houndex::Slider_play_Scroll() {
    if (!Review_File_Open() || m_Scroll_Busy) return;
    m_Scroll_Busy = true;
    // Until the position's own sample gives one, it has no time: nothing that
    // fails below leaves the previous position's time to be clicked.
    m_Heat_Time_Known = false;
    const int position = Slider_play->value();
    bool time_shown = false;
    auto show_time = [&] {
        Label_heat_time->setText(m_Heat_Time_Known ? QString::fromStdString(Display_Mill_Time(m_Heat_Elapsed_AR, false))
                                                   : QString("--"));
        Label_field->setNum(position);
        Label_heat_time->repaint();
        Label_field->repaint();
        time_shown = true;
    };
    try {
        cls_VideoFile_handler& h = *obj_NX3_Handler;
        Frame_dogs_Heat->hide();
        const bool own = h.Draw_Position(position, *Picture_out);
        // The time is taken from the sample just read, before the line and the
        // overlays: a drawing step that fails must not leave the previous
        // field's time on show for a box click.
        if (own) {
            m_Heat_Elapsed_AR = Review_Timing::Position_Elapsed(h, m_File_Start_PC_mill, h.Hdx_Goal_compensation());
            m_Heat_Time_Known = true;
            if (m_View.Zoom > 1 || m_View.Enhanced())
                Review_Views::Apply(Picture_out->Canvas(), m_View, Recording_Size());
        } else {
            // What the handler holds is another position's picture and stamp.
            h.Draw_Damaged_Frame(*Picture_out);
        }
        show_time();
        if (m_Strip_Form && m_Strip_Form->isVisible()) m_Strip_Form->Set_Current_Field(position);

        const Goal_Line_Points& line = Line(m_Review_Line == 2 ? 2 : 1);
        auto draw_line = [&](int32_t offset, bool displaced) {
            const QPointF a = To_Canvas(QPointF(static_cast<double>(line.P1.X) + offset, line.P1.Y));
            const QPointF b = To_Canvas(QPointF(static_cast<double>(line.P2.X) + offset, line.P2.Y));
            Draw_Goal_Line(Goal_Line::Round_Even(a.x()), Goal_Line::Round_Even(a.y()), Goal_Line::Round_Even(b.x()),
                           Goal_Line::Round_Even(b.y()), displaced);
        };
        draw_line(0, false);
        if (item_displace_goalline->isChecked() && m_Goal_Offset != 0) draw_line(m_Goal_Offset, true);
        for (const auto& [marked_at, mark] : Nose_Marks()) {
            if (marked_at != position) continue;
            const QPointF at = To_Canvas(QPointF(mark.X, mark.Y));
            const double mx = at.x(), my = at.y();
            Picture_out->Line(mx - 6, my, mx + 6, my, QColor(255, 255, 0));
            Picture_out->Line(mx, my - 6, mx, my + 6, QColor(255, 255, 0));
        }
        if (item_show_candidates && item_show_candidates->isChecked()) Draw_Candidates(position);
        if (item_store_proposal) {
            const Heat_Proposals* proposals = Proposals();
            const Box_Proposal* p = proposals && m_Proposal_Box ? proposals->Box(m_Proposal_Box) : nullptr;
            item_store_proposal->setEnabled(p && p->Proposed && p->Position == position);
        }

        if (item_display_HD_data->isChecked()) {
            Picture_out->Set_Font(QFont("Times", 20, QFont::Bold));
            Picture_out->Set_Fore_Color(QColor(0, 255, 255));
            Picture_out->Current_X = 0;
            Picture_out->Current_Y = 20;
            Picture_out->Print(
                QString::fromStdString("Cap. local = " + Display_Mill_Time(h.NX3_Capture_local(), false)));
            Picture_out->Print(QString("Cap. delta = %1").arg(h.Sample_Capture_Delta()));
            Picture_out->Print(QString("JPEG size = %1").arg(h.NX3_JPEG_Size()));
            Picture_out->Print(QString("JPEG quality = %1").arg(h.Sample_Quality()));
        }
        if (item_display_sample_data->isChecked()) {
            // The heat's start count lives in a heat record, which recordings of
            // this system do not hold: it reads 0.
            const int32_t start_events = h.Start_HDMI_events(1);
            std::string last = h.Last_Capture_time();
            QStringList lines;
            lines << QString::fromStdString("Creation date = " + h.Creation_date())
                  << QString::fromStdString("Last capture = " + last) << QString("Quality = %1").arg(h.Base_Quality())
                  << QString("fps = %1").arg(h.Measured_fps()) + (m_Field_Mode ? " Interlaced" : " Progressive")
                  << QString("JPG size = %1").arg(h.NX3_JPEG_Size())
                  << QString("Start HDMI events = %1").arg(start_events)
                  << QString::fromStdString("Capture local = " + Display_Mill_Time(h.NX3_Capture_local(), false))
                  << QString("Capture mill = %1").arg(h.NX3_Capture_mill())
                  << QString("Capture HDMI events = %1").arg(h.Capture_HDMI_events())
                  << QString("Elapsed HDMI events = %1").arg(h.Capture_HDMI_events() - start_events)
                  << QString("Capture delta = %1").arg(h.Sample_Capture_Delta())
                  << QString("HD Frame  = %1").arg(h.NX3_Displayed_Frame())
                  << QString("HD Field  = %1").arg(h.NX3_Displayed_Field())
                  << QString("RGB checksum =  %1").arg(h.RGB_Checksum());
            Picture_out->Set_Font(QFont("Times", Picture_out->Scale_Width() < 400 ? 12 : 16));
            double w = 0;
            for (const QString& l : lines) w = std::max(w, Picture_out->Text_Width(l));
            const double line_h = Picture_out->Text_Height();
            const double top = Picture_out->Scale_Height() * 0.01;
            Picture_out->Box(0, top, w, top + line_h * lines.size(), QColor(0, 0, 255), true);
            Picture_out->Set_Fore_Color(QColor(255, 255, 0));
            Picture_out->Current_X = 0;
            Picture_out->Current_Y = top;
            for (const QString& l : lines) {
                Picture_out->Current_X = 0;
                Picture_out->Print(l);
            }
        }
        Picture_out->Refresh();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Slider_play_Scroll"));
    }
    if (!time_shown) show_time();
    m_Scroll_Busy = false;
}

void Form_Houndex::Slider_play_MouseDown(int x_pixels) {
    if (x_pixels * kTwips_Per_Pixel < kSlider_Start_Twips) {
        const QSignalBlocker block(Slider_play);
        Slider_play->setValue(Slider_play->minimum());
    }
    Slider_play_Scroll();
}

void Form_Houndex::Slider_play_KeyDown(int key_code, bool alt) {
    Trace("*Slider_play_KeyDown , KeyCode = " + std::to_string(key_code));
    if (!item_displace_goalline->isChecked()) return;
    // The keypad's 4 and 6 already reach Handle_Goal_Offset through the keyboard
    // hook: handled here too, one press would move the line twice.
    if (alt && (key_code == 37 || key_code == 39)) Handle_Goal_Offset(key_code);
}

void Form_Houndex::GoTo_rank(int rank) {
    try {
        if (!Review_File_Open() || !m_Session || rank < 1 || rank > 6) {
            Platform::Beep();
            return;
        }
        const int16_t box = m_Session->Result().Ranked[static_cast<size_t>(rank - 1)].Box;
        const int32_t position = box >= 1 ? obj_NX3_Handler->Hdx_heat_frame(box) : 0;
        if (position == 0) {
            Platform::Beep();
            return;
        }
        {
            const QSignalBlocker block(Slider_play);
            Slider_play->setValue(position);
        }
        Slider_play_Scroll();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("GoTo_rank"));
    }
}

void Form_Houndex::GoTo_Box(int rank) { GoTo_rank(rank); }

void Form_Houndex::Goto_SplitTime(int rank) {
    try {
        if (rank < 1 || rank > 6 || !m_Session) return Platform::Beep();
        const int32_t split = m_Session->Result().Ranked[static_cast<size_t>(rank - 1)].Split_Time;
        if (split == 0 || split == No_Time) return Platform::Beep();
        Goto_Time(split);
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Goto_SplitTime"));
    }
}

void Form_Houndex::Goto_Time(int32_t target) {
    try {
        if (!Review_File_Open()) return;
        for (int p = Slider_play->minimum(); p <= Slider_play->maximum(); ++p) {
            {
                const QSignalBlocker block(Slider_play);
                Slider_play->setValue(p);
            }
            Slider_play_Scroll();
            if (m_Heat_Time_Known && m_Heat_Elapsed_AR >= target) return;
        }
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Goto_Time"));
    }
}

void Form_Houndex::item_extension_Click(int index) {
    try {
        if (index < 0 || index > 2) return;
        for (QAction* a : item_extension) a->setChecked(false);
        QAction* chosen = item_extension[static_cast<size_t>(index)];
        chosen->setChecked(true);
        // "1/1,5": the caption's decimal comma is read alike under every
        // locale (QString reads numbers the C way).
        QString factor = chosen->text().section('/', 1);
        factor.replace(',', '.');
        bool ok = false;
        const double value = factor.toDouble(&ok);
        if (!ok) throw HdxError(HdxErr::TypeMismatch, "Type mismatch: X-stretch " + chosen->text().toStdString());
        m_X_Stretch = std::min(2.0, value);
        m_Stretching = true;
        const int height = Picture_out->height();
        Picture_out->Set_Canvas_Size(static_cast<int>(std::lround(m_X_Stretch * m_Picture_Width)), height);
        Arrange_form();
        m_Stretching = false;
        Slider_play_Scroll();
    } catch (const std::exception& e) {
        m_Stretching = false;
        Report_Exception(e, Loc("item_extension_Click"));
    }
}

void Form_Houndex::Form_Resize() {
    if (m_Stretching) return;
    if (auto* results = findChild<Form_Hdx_Results*>()) {
        if (isMinimized() && results->isVisible())
            results->showMinimized();
        else if (!isMinimized() && results->isMinimized())
            results->showNormal();
    }
    if (m_X_Stretch == 0) m_X_Stretch = 1;
    // The live picture keeps the crop size; the stretch applies to a reviewed recording.
    if (!Review_File_Open() && m_Review_File.empty()) return;
    const int width = static_cast<int>(std::lround(m_X_Stretch * m_Picture_Width));
    if (width > 0 && Picture_out->width() != width) Picture_out->Set_Canvas_Size(width, Picture_out->height());
}

// --- Goal line ----------------------------------------------------------------------------

void Form_Houndex::Read_Goal_Lines() {
    try {
        for (int camera = 1; camera <= 2; ++camera) {
            Goal_Line_Points& line = m_Goal_Lines[static_cast<size_t>(camera)];
            Goal_Line::Read_Goal_Line(camera, line, Facts().Ini_file_path);
            // A fresh install has no line: one through the middle of the crop
            // is drawn and goes into the recordings until the official moves it.
            if (line.P1 == line.P2) line = Goal_Line::Reset_Goal_Line(m_Crop_X, m_Crop_Y);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Read_Goal_Lines"));
    }
}

void Form_Houndex::Move_Goal_Lines_With_Crop(int old_width, int old_height) {
    try {
        if (old_width == m_Crop_X && old_height == m_Crop_Y) return;
        for (int camera = 1; camera <= 2; ++camera) {
            // A review shows the recording's lines; the crop moves the race's.
            Goal_Line_Points line = m_Goal_Lines[static_cast<size_t>(camera)];
            if (Review_File_Open()) {
                line = Goal_Line_Points{};
                Goal_Line::Read_Goal_Line(camera, line, Facts().Ini_file_path);
            }
            line = line.P1 == line.P2 ? Goal_Line::Reset_Goal_Line(m_Crop_X, m_Crop_Y)
                                      : Goal_Line::Follow_Crop(line, old_width, old_height, m_Crop_X, m_Crop_Y);
            m_Goal_Lines[static_cast<size_t>(camera)] = line;
            Goal_Line::Save_Goal_line(camera, line, Facts().Ini_file_path);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Move_Goal_Lines_With_Crop"));
    }
}

void Form_Houndex::Show_Line_Warning(bool on) {
    if (!Label_line_warning || Label_line_warning->isVisibleTo(Picture_out) == on) return;
    if (on) {
        Label_line_warning->setFixedWidth(std::max(80, Picture_out->width() - 8));
        Label_line_warning->adjustSize();
        Label_line_warning->move(4, 24);
        Label_line_warning->raise();
    }
    Label_line_warning->setVisible(on);
}

QPointF Form_Houndex::Line_Scale() const {
    if (!Review_File_Open()) return {1, 1};
    const double width = obj_NX3_Handler->Width(), height = obj_NX3_Handler->Height();
    const double scale_w = Picture_out->Scale_Width(), scale_h = Picture_out->Scale_Height();
    if (width <= 0 || height <= 0 || scale_w <= 0 || scale_h <= 0) return {1, 1};
    return {width / scale_w, height / scale_h};
}

void Form_Houndex::Draw_Goal_Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool displaced) {
    try {
        if (Review_File_Open()) m_Line_Colour = m_Review_Line == 2 ? kSplit_Colour : kGoal_Colour;
        QColor colour = m_Line_Colour;
        if (displaced && item_displace_goalline->isChecked()) colour = kDisplaced_Colour;
        Goal_Line::Draw_Goal_Line(*Picture_out, x1, y1, x2, y2, colour);
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Draw_Goal_Line"));
    }
}

void Form_Houndex::Draw_Goalline_Selection_Boxes() {
    try {
        if (m_Selected_Camera != 1 && m_Selected_Camera != 2) return;
        Goal_Line::Draw_Goalline_Selection_Boxes(*Picture_out, Line(m_Selected_Camera));
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Draw_Goalline_Selection_Boxes"));
    }
}

void Form_Houndex::Picture_out_MouseDown(int button, int shift, double x, double y) {
    try {
        if (button == 4) {  // the middle button pans a zoomed view
            m_Pan_From = QPointF(x, y);
            return;
        }
        if ((shift & 2) && Review_File_Open()) {
            const QPointF at = To_Recording(x, y);
            if (!Mark_Nose(at.x(), at.y())) Platform::Beep();
            return;
        }
        if (shift & 1) setWindowTitle(QString("X = %1 Y= %2").arg(x).arg(y));
        if (m_Selected_Camera != 1 && m_Selected_Camera != 2) {
            Platform::Beep();
            return;
        }
        const QPointF at = To_Recording(x, y);
        m_Drag.Press(at.x(), at.y(), Line(m_Selected_Camera));
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Picture_out_MouseDown"));
    }
}

void Form_Houndex::Picture_out_MouseMove(int button, int, double x, double y) {
    try {
        if ((button & 4) && m_Pan_From.x() >= 0) {
            // The picture follows the pointer: the view moves the other way.
            const QPointF from = To_Recording(m_Pan_From.x(), m_Pan_From.y()), to = To_Recording(x, y);
            Review_Views::Pan(m_View, from - to, Recording_Size());
            m_Pan_From = QPointF(x, y);
            if (Review_File_Open()) Slider_play_Scroll();
            return;
        }
        if (m_Selected_Camera != 1 && m_Selected_Camera != 2) {
            Picture_out->unsetCursor();
            return;
        }
        const QPointF at = To_Recording(x, y);
        const QSizeF size = Recording_Size();
        const int hit =
            m_Drag.Move((button & 1) != 0, at.x(), at.y(), size.width(), size.height(), Line(m_Selected_Camera));
        if (hit != 0)
            Picture_out->setCursor(Qt::CrossCursor);
        else
            Picture_out->unsetCursor();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Picture_out_MouseMove"));
    }
}

void Form_Houndex::Picture_out_MouseUp(int, int, double, double) {
    try {
        m_Pan_From = QPointF(-1, -1);
        if (m_Selected_Camera != 1 && m_Selected_Camera != 2) return;
        if (m_Drag.Release()) Save_Goal_line();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Picture_out_MouseUp"));
    }
}

bool Form_Houndex::Mark_Nose(double x, double y) {
    if (!Review_File_Open() || !m_Heat_Time_Known) return false;
    if (!m_Session) return false;
    const int32_t position = Slider_play->value();
    m_Session->Mark_Nose(position, Nose_Mark{m_Heat_Elapsed_AR, x, y});
    Trace("*Mark_Nose, position " + std::to_string(position) + " x = " + std::to_string(std::lround(x)) +
          " y = " + std::to_string(std::lround(y)));
    Slider_play_Scroll();  // shows the mark
    return true;
}

void Form_Houndex::Save_Goal_line() {
    try {
        if (m_Selected_Camera != 1 && m_Selected_Camera != 2) return;
        Goal_Line::Save_Goal_line(m_Selected_Camera, Line(m_Selected_Camera), Facts().Ini_file_path);
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Save_Goal_line"));
    }
}

void Form_Houndex::Reset_Goal_Line(int camera) {
    try {
        if (camera != 1 && camera != 2) return;
        const QPointF scale = Line_Scale();
        Line(camera) =
            Goal_Line::Reset_Goal_Line(Picture_out->Scale_Width() * scale.x(), Picture_out->Scale_Height() * scale.y());
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Reset_Goal_Line"));
    }
}

void Form_Houndex::item_displace_goalline_Click() {
    // The keypad's 4 and 6 are told from the arrows by their keypad flag, so
    // they reach Handle_Goal_Offset whatever the NumLock state.
    if (item_displace_goalline->isChecked()) {
        NumLock_on();
    } else {
        m_Goal_Offset = 0;
        Slider_play_Scroll();
    }
}

void Form_Houndex::Handle_Goal_Offset(int key_code) {
    try {
        if (!Review_File_Open() || !item_displace_goalline->isChecked()) return;
        Trace("*Handle_Goal_Offset, keycode = " + std::to_string(key_code));
        if (key_code == 37 || key_code == 100) --m_Goal_Offset;
        if (key_code == 39 || key_code == 102) ++m_Goal_Offset;
        Slider_play_Scroll();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Handle_Goal_Offset"));
    }
}

// --- Time assignment --------------------------------------------------------------------

void Form_Houndex::Command_BOX_set_time_Click(int index) {
    try {
        if (index < 0 || index > 5 || !Review_File_Open()) return Platform::Beep();
        if (Check_Read_Only()) return;
        if (!m_Heat_Time_Known) {
            // A damaged position has no time of its own to give.
            Trace("*Command_BOX_set_time_Click, position " + std::to_string(Slider_play->value()) + " has no time");
            Show_Refusal("Time refused: this position has no time of its own");
            return Platform::Beep();
        }
        if (!m_Session) return Platform::Beep();
        Review_Session::Click click;
        click.Box = static_cast<int16_t>(index + 1);
        click.Time = m_Heat_Elapsed_AR;
        click.Split = m_Split_Times;
        click.Position = Slider_play->value();
        click.Click_Mill = Platform::PC_Mill();
        // An official heat changes only with a reason, kept in its audit trail.
        const std::optional<std::string> reason = Reason_For(Review_Session::What(click));
        if (!reason) return;
        const Review_Session::Outcome outcome = m_Session->Set_Time(click, *reason);
        // The armed buttons the click used are disarmed whatever became of it.
        Paint_cmd_100();
        Paint_Notime();
        Paint_Deadheat();
        Loose_Focus();
        if (Change_Refused(outcome, "Set_Time")) return;
        Focus_Slider();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Command_BOX_set_time_Click"));
    }
}

void Form_Houndex::Cmd_add_hundredth_Click() {
    Armed().Plus_Hundredth = !Armed().Plus_Hundredth;
    Paint_cmd_100();
    Loose_Focus();
}

void Form_Houndex::Cmd_Notime_Click() {
    Armed().No_Time = !Armed().No_Time;
    // Clicked off, the choice goes with it: the next arming is a plain No Time again.
    if (!Armed().No_Time) Armed().No_Time_Caption = Review_Session::Arming::Plain_No_Time;
    Paint_Notime();
    Loose_Focus();
}

void Form_Houndex::Cmd_Notime_MouseDown(int button) {
    if (button == 2) Menu_notime->popup(Cmd_Notime->mapToGlobal(QPoint(0, Cmd_Notime->height())));
}

void Form_Houndex::item_notime_Click(const char* caption) {
    Armed().No_Time_Caption = caption;
    Paint_Notime();
}

void Form_Houndex::Cmd_DeadHeat_Click() {
    Armed().Dead_Heat = !Armed().Dead_Heat;
    Paint_Deadheat();
    Loose_Focus();
}

void Form_Houndex::Paint_cmd_100() { Paint_Armed(Cmd_add_hundredth, Armed().Plus_Hundredth); }
void Form_Houndex::Paint_Notime() {
    Cmd_Notime->setText(QString::fromStdString(Armed().No_Time_Caption));
    Paint_Armed(Cmd_Notime, Armed().No_Time);
}
void Form_Houndex::Paint_Deadheat() { Paint_Armed(Cmd_DeadHeat, Armed().Dead_Heat); }

void Form_Houndex::Cmd_Split_Click() {
    try {
        if (!Debounce(m_Click_Times.split_toggle, 299)) return;
        m_Review_Line = m_Review_Line == 1 ? 2 : 1;
        if (!Review_File_Open()) return Platform::Beep();
        if (m_Review_Line == 1)
            Display_Goal_times();
        else
            Display_Split_times();
        Slider_play_Scroll();
        m_Split_Times = Cmd_Split->text() == "Goal";
        Picture_out->Current_X = Picture_out->Scale_Width() * 0.1;
        Picture_out->Current_Y = Picture_out->Scale_Height() * 0.9;
        Picture_out->Set_Fore_Color(m_Mode_Colour);
        Picture_out->Set_Font(QFont("Times", 16));
        Picture_out->Print(QString::fromStdString(m_Mode_Text));
        Picture_out->Refresh();
        Set_Buttons();
        Focus_Slider();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Cmd_Split_Click"));
    }
}

void Form_Houndex::Display_Goal_times() {
    m_Mode_Colour = kGoal_Colour;
    Cmd_Split->setText("Split");
    m_Mode_Text = "Goal";
    Frame_settimes->setTitle("Set Goal times");
    Cmd_DeadHeat->setVisible(true);
    Cmd_Notime->setVisible(true);
    Cmd_Notime_choice->setVisible(true);
    m_Selected_Camera = 1;
    m_Split_Times = false;
}

void Form_Houndex::Display_Split_times() {
    m_Mode_Colour = kSplit_Colour;
    m_Mode_Text = "Split";
    Cmd_Split->setText("Goal");
    Frame_settimes->setTitle("Set Split times");
    Cmd_DeadHeat->setVisible(false);
    Cmd_Notime->setVisible(false);
    Cmd_Notime_choice->setVisible(false);
    m_Selected_Camera = 2;
    m_Split_Times = true;
}

void Form_Houndex::Set_Buttons() {
    try {
        const bool split_mode = Cmd_Split->text() == "Goal";
        for (int i = 0; i < 6; ++i) {
            bool timed = false;
            if (Review_File_Open() && m_Session)
                for (const Result_Record& r : m_Session->Result().Ranked)
                    if (r.Box == i + 1) timed = (split_mode ? r.Split_Time : r.Goal_Time) != No_Time;
            Paint_Button(Command_BOX_set_time[static_cast<size_t>(i)], timed ? &kTimed_Colour : nullptr);
        }
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Set_Buttons"));
    }
}

// --- Results ------------------------------------------------------------------------------

void Form_Houndex::Handle_results() {
    // Names typed elsewhere went into the header: the result is read again.
    if (m_Session) m_Session->Reload("names");
    Set_Buttons();
}

void Form_Houndex::Display_Result_Array() { Handle_results(); }

void Form_Houndex::Clear_all_Results() {
    try {
        if (Check_Read_Only()) return;
        if (!Review_File_Open() || !m_Session) return Platform::Beep();
        const std::optional<std::string> reason = Reason_For("all results");
        if (!reason) return;
        if (Change_Refused(m_Session->Clear_All(*reason), "Clear_all_Results")) return;
        Focus_Slider();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Clear_all_Results"));
    }
}

// --- The judge's assistant --------------------------------------------------------------

const Heat_Proposals* Form_Houndex::Proposals() const {
    if (!m_Assistant || !m_Assistant->Result() || !Review_File_Open()) return nullptr;
    const Heat_Proposals& p = *m_Assistant->Result();
    return p.File == m_Review_File ? &p : nullptr;
}

void Form_Houndex::item_propose_Click() {
    try {
        if (!Review_File_Open() || !m_Session) return Platform::Beep();
        if (!m_Assistant) {
            m_Assistant = std::make_unique<Crossing_Assistant>();
            connect(m_Assistant.get(), &Crossing_Assistant::Proposals_Ready, this, [this] {
                const Heat_Proposals* p = Proposals();
                if (p)
                    Trace("*Proposals of " + p->File + ": " + std::to_string(p->Fields_Examined) + " fields in " +
                          std::to_string(p->Elapsed_Mill) + " ms" + (p->Problem.empty() ? "" : ", " + p->Problem));
                Show_Proposals();
                Slider_play_Scroll();
            });
        }
        m_Proposal_Box = 0;
        Crossing_Detector::Settings settings;
        settings.Direction =
            Read_Ini("Assistant", "running_direction", Facts().Ini_file_path, "right") == "left" ? -1 : 1;
        m_Assistant->Start(m_Review_File, Line(1), Jackets::From_Settings(Facts().Ini_file_path), settings);
        Show_Proposals();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_propose_Click"));
    }
}

void Form_Houndex::Show_Proposals() {
    const Heat_Proposals* proposals = Proposals();
    for (int box = 1; box <= 6; ++box) {
        QLabel* label = Label_proposal[static_cast<size_t>(box - 1)];
        if (!label) continue;
        std::string text, tip;
        if (proposals) {
            const Box_Proposal* p = proposals->Box(box);
            text = p ? Crossing_Search::Label_Text(*p) : std::string();
            if (!proposals->Problem.empty()) text = "no proposal: " + proposals->Problem;
            tip = p && p->Proposed ? "Alt+" + std::to_string(box) + " goes to field " + std::to_string(p->Position) +
                                         ", Enter there stores it"
                                   : text;
        } else if (m_Assistant && m_Assistant->Busy()) {
            text = "looking\u2026";
        }
        label->setText(QString::fromStdString(text));
        label->setToolTip(QString::fromStdString(tip));
    }
}

void Form_Houndex::GoTo_Proposal(int box) {
    try {
        const Heat_Proposals* proposals = Proposals();
        const Box_Proposal* p = proposals ? proposals->Box(box) : nullptr;
        if (!m_Session || !p || !p->Proposed) {
            Trace("*GoTo_Proposal, box " + std::to_string(box) + ": " +
                  (p ? Crossing_Search::Label_Text(*p) : std::string("no proposal yet")));
            return Platform::Beep();
        }
        m_Proposal_Box = box;
        // The official's own two nose marks, as the assistant found the nose:
        // the click at the proposed field takes the estimate from them.
        m_Session->Mark_Nose(p->Before_Position, p->Before);
        m_Session->Mark_Nose(p->Position, p->After);
        if (Slider_play->value() != p->Position)
            Slider_play->setValue(p->Position);
        else
            Slider_play_Scroll();
        Focus_Slider();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("GoTo_Proposal"));
    }
}

void Form_Houndex::Store_Proposal() {
    const Heat_Proposals* proposals = Proposals();
    const Box_Proposal* p = proposals && m_Proposal_Box ? proposals->Box(m_Proposal_Box) : nullptr;
    if (!p || !p->Proposed || Slider_play->value() != p->Position) {
        Trace("*Store_Proposal, not at a proposed field");
        return Platform::Beep();
    }
    const int box = m_Proposal_Box;
    m_Proposal_Box = 0;
    item_store_proposal->setEnabled(false);
    Command_BOX_set_time_Click(box - 1);
}

void Form_Houndex::Draw_Candidates(int32_t position) {
    const Heat_Proposals* proposals = Proposals();
    const Field_Finding* f = proposals ? proposals->At(position) : nullptr;
    if (!f) return;
    Picture_out->Set_Font(QFont("Arial", 9, QFont::Bold));
    for (const Candidate& c : f->Candidates) {
        // Kept: green round the dog, the jacket inside; discarded: red.
        const QColor colour = c.Kept && !c.Occluded ? QColor(0, 230, 0) : QColor(240, 40, 40);
        const QPointF a = To_Canvas(QPointF(c.Outline.left(), c.Outline.top()));
        const QPointF b = To_Canvas(QPointF(c.Outline.right() + 1, c.Outline.bottom() + 1));
        Picture_out->Box(a.x(), a.y(), b.x(), b.y(), colour, false);
        const QPointF ja = To_Canvas(QPointF(c.Jacket.left(), c.Jacket.top()));
        const QPointF jb = To_Canvas(QPointF(c.Jacket.right() + 1, c.Jacket.bottom() + 1));
        Picture_out->Box(ja.x(), ja.y(), jb.x(), jb.y(), colour.darker(130), false);
        if (c.Nose) {
            const QPointF n = To_Canvas(QPointF(c.Nose->X, c.Nose->Y));
            Picture_out->Line(n.x(), n.y() - 8, n.x(), n.y() + 8, colour);
        }
        Picture_out->Set_Fore_Color(colour);
        Picture_out->Current_X = a.x();
        Picture_out->Current_Y = std::max(0.0, a.y() - 14);
        Picture_out->Print(QString::fromStdString((c.Box ? std::to_string(c.Box) : std::string("?")) +
                                                  (c.Why.empty() ? "" : ": " + c.Why)));
    }
}
