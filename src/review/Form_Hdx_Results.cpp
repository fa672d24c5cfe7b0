#include "review/Form_Hdx_Results.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/Clipboard.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"
#include "platform/Window_Fit.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Crossing_Estimate.h"
#include "review/Font_Fit.h"
#include "review/IResults_Host.h"
#include "review/Official_Record.h"
#include "review/Margins.h"
#include "review/Paint_Box.h"
#include "review/Results_Export.h"
#include "common/Startup_Facts.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Text.h"

namespace {

constexpr const char* Form_Name = "Form_Hdx_Results";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

template <typename F>
void Trapped(const char* procedure, F&& body) {
    Run_Trapped(std::string(procedure) + " of Form " + Form_Name, std::forward<F>(body));
}

// The ring drawn around the rank of a dog that shares its rank.
class Dead_Heat_Circle : public QWidget {
public:
    explicit Dead_Heat_Circle(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::black, 2));
        p.drawEllipse(QRectF(rect()).adjusted(2, 2, -2, -2));
    }
};

// The column heading: its words ("Rank", "Dog", "Name", "Time", "Split") each
// drawn over the column it names, wherever the rows' layout has put them.
class Column_Heading : public QLabel {
public:
    using QLabel::QLabel;
    std::vector<const QWidget*> Columns;
    // Headings of columns added after the named ones.
    QStringList Extra_Words;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QStringList words = text().split(' ', Qt::SkipEmptyParts) + Extra_Words;
        if (Columns.size() != static_cast<size_t>(words.size())) return QLabel::paintEvent(event);
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QWidget* column = Columns[static_cast<size_t>(i)];
            const int x = column->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
            p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, words[i]);
        }
    }
};

QLabel* Make_Label(QWidget* parent, const char* name, const QString& text, int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    // Names come from operators and files: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(QFont(QStringLiteral("Arial"), 10));
    if (width > 0) label->setFixedSize(width, height);
    return label;
}

QString Row_Name(const char* base, int index) { return QString("%1_%2").arg(base).arg(index); }

constexpr int Row_Height = 30;
// A name shrinks its font to fit: below this width it would be unreadable.
constexpr int Name_Least_Width = 140;
// The width names get where the screen has room.
constexpr int Name_Comfortable_Width = 260;

// A column as wide as the longest text it shows, in its own font.
void Fit_Column(QLabel* label, const QStringList& longest) {
    const QFontMetrics metrics(label->font());
    int width = 0;
    for (const QString& text : longest) width = std::max(width, metrics.horizontalAdvance(text));
    label->setFixedSize(width + 10, Row_Height);
}

// A text that takes the room the window has, down to the least it needs: the
// window's width is never set by the longest name an event holds.
void Flexible(QLabel* label, int least_width) {
    label->setMinimumWidth(least_width);
    label->setMaximumWidth(QWIDGETSIZE_MAX);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

}  // namespace

// A tool window of the main window: it stays above it while the official
// clicks the boxes there, so the times can be watched.
Form_Hdx_Results::Form_Hdx_Results(IResults_Host& host, QWidget* owner) : QWidget(owner, Qt::Tool), m_Host(host) {
    setObjectName(Form_Name);
    setWindowTitle("Houndex HDMI Results");

    auto* main = new QVBoxLayout(this);
    Menu_bar = new QMenuBar(this);
    Menu_bar->setObjectName("Menu_bar");
    main->setMenuBar(Menu_bar);
    menu_form = Menu_bar->addMenu("Form");
    menu_form->setObjectName("menu_form");
    item_print = menu_form->addAction("Print");
    item_print->setObjectName("item_print");
    item_hide = menu_form->addAction("Hide");
    item_hide->setObjectName("item_hide");
    item_clear_results = menu_form->addAction("Clear all results");
    item_clear_results->setObjectName("item_clear_results");
    item_export_to_clipboard = menu_form->addAction("Export results to Clipboard");
    item_export_to_clipboard->setObjectName("item_export_to_clipboard");
    item_save_results = menu_form->addAction("Save results...");
    item_save_results->setObjectName("item_save_results");
    item_declare_official = menu_form->addAction("Declare official");
    item_declare_official->setObjectName("item_declare_official");
    item_box_delay = menu_form->addAction("Box delay of this heat...");
    item_box_delay->setObjectName("item_box_delay");
    menu_debug = Menu_bar->addMenu("Debug");
    menu_debug->setObjectName("menu_debug");
    item_paint_boxes = menu_debug->addAction("Paint boxes");
    item_paint_boxes->setObjectName("item_paint_boxes");
    connect(item_print, &QAction::triggered, this, [this] { item_print_Click(); });
    connect(item_hide, &QAction::triggered, this, [this] { item_hide_Click(); });
    connect(item_clear_results, &QAction::triggered, this, [this] { item_clear_results_Click(); });
    connect(item_export_to_clipboard, &QAction::triggered, this, [this] { Export_to_Clipboard(); });
    connect(item_paint_boxes, &QAction::triggered, this, [this] { item_paint_boxes_Click(); });
    connect(item_save_results, &QAction::triggered, this, [this] { item_save_results_Click(); });
    connect(item_declare_official, &QAction::triggered, this, [this] { item_declare_official_Click(); });
    connect(item_box_delay, &QAction::triggered, this, [this] { item_box_delay_Click(); });

    Frame_event = new QGroupBox("Event", this);
    Frame_event->setObjectName("Frame_event");
    auto* event_layout = new QVBoxLayout(Frame_event);
    Label_event_name = Make_Label(Frame_event, "Label_event_name", "", 520, 36);
    Flexible(Label_event_name, 2 * Name_Least_Width);
    event_layout->addWidget(Label_event_name);
    main->addWidget(Frame_event);

    Frame_heat = new QGroupBox("Heat", this);
    Frame_heat->setObjectName("Frame_heat");
    auto* heat_layout = new QGridLayout(Frame_heat);
    Label_Heat_ID = Make_Label(Frame_heat, "Label_Heat_ID", "", 80, 30);
    Label_Heat_ID->setFont(QFont(QStringLiteral("Arial"), 14));
    Label_Heat_name = Make_Label(Frame_heat, "Label_Heat_name", "", 430, 30);
    Flexible(Label_Heat_name, 2 * Name_Least_Width - 80);
    Label_heat_started = Make_Label(Frame_heat, "Label_heat_started", "", 520, 22);
    Flexible(Label_heat_started, 2 * Name_Least_Width);
    heat_layout->addWidget(Label_Heat_ID, 0, 0);
    heat_layout->addWidget(Label_Heat_name, 0, 1);
    heat_layout->addWidget(Label_heat_started, 1, 0, 1, 2);
    main->addWidget(Frame_heat);

    auto* heading = new Column_Heading("Rank Dog    Name                         Time      Split", this);
    heading->setObjectName("Label_header");
    heading->setTextFormat(Qt::PlainText);
    heading->setFont(QFont(QStringLiteral("Arial"), 10));
    Label_header = heading;
    main->addWidget(Label_header);

    auto* rows = new QGridLayout();
    for (int i = 0; i < Rows; ++i) {
        const auto at = static_cast<size_t>(i);
        // The circle lies over the rank it marks.
        auto* rank_cell = new QWidget(this);
        rank_cell->setFixedSize(40, Row_Height);
        QLabel* rank = Make_Label(rank_cell, "", "", 40, Row_Height);
        rank->setObjectName(Row_Name("Label_rank", i));
        rank->setAlignment(Qt::AlignCenter);
        rank->setFont(QFont(QStringLiteral("Arial"), 12, QFont::Bold));
        auto* circle = new Dead_Heat_Circle(rank_cell);
        circle->setObjectName(Row_Name("Shape_dead_circle", i));
        circle->setGeometry(rank->geometry());
        circle->hide();
        Label_rank[at] = rank;
        Shape_dead_circle[at] = circle;

        auto* box = new Platform::PictureBox(this);
        box->setObjectName(Row_Name("Picture_box", i));
        box->Set_Canvas_Size(Row_Height, Row_Height);
        Picture_box[at] = box;
        connect(box, &Platform::PictureBox::Mouse_Up, this, [this, i] { Picture_box_MouseUp(i); });

        Label_name[at] = Make_Label(this, "", "", Name_Comfortable_Width, Row_Height);
        Flexible(Label_name[at], Name_Least_Width);
        Label_name[at]->setObjectName(Row_Name("Label_name", i));
        // Times of up to ten minutes; longer ones are not dog races.
        Label_time[at] = Make_Label(this, "", "", 0, 0);
        Label_time[at]->setObjectName(Row_Name("Label_time", i));
        Label_time[at]->setFont(QFont(QStringLiteral("Arial"), 14));
        Fit_Column(Label_time[at], {"0:00,00", "---,---", "DSQ"});
        Label_estimate[at] = Make_Label(this, "", "", 0, 0);
        Label_estimate[at]->setObjectName(Row_Name("Label_estimate", i));
        Label_estimate[at]->setFont(QFont(QStringLiteral("Arial"), 10, -1, true));
        Fit_Column(Label_estimate[at], {QString::fromStdString(Crossing_Estimate::Estimate_Text(599999))});
        Label_estimate[at]->setToolTip("Crossing estimated between two fields; the official time is the result");
        Label_Split[at] = Make_Label(this, "", "", 0, 0);
        Label_Split[at]->setObjectName(Row_Name("Label_Split", i));
        Label_Split[at]->setFont(QFont(QStringLiteral("Arial"), 12));
        Fit_Column(Label_Split[at], {"0:00,00"});

        rows->addWidget(rank_cell, i, 0);
        rows->addWidget(box, i, 1);
        rows->addWidget(Label_name[at], i, 2);
        rows->addWidget(Label_time[at], i, 3);
        rows->addWidget(Label_estimate[at], i, 4);
        rows->addWidget(Label_Split[at], i, 5);
        Label_margin[at] = Make_Label(this, "", "", 0, 0);
        Label_margin[at]->setObjectName(Row_Name("Label_margin", i));
        Label_margin[at]->setFont(QFont(QStringLiteral("Arial"), 12));
        Fit_Column(Label_margin[at], {"short head", "10 3/4 lengths", "dead heat"});
        rows->addWidget(Label_margin[at], i, 6);
        for (QWidget* w : {static_cast<QWidget*>(rank), static_cast<QWidget*>(Label_name[at]),
                           static_cast<QWidget*>(Label_Split[at]), static_cast<QWidget*>(Label_time[at])})
            w->installEventFilter(this);
    }
    main->addLayout(rows);
    heading->Columns = {
        Label_rank[0]->parentWidget(), Picture_box[0], Label_name[0], Label_time[0], Label_Split[0], Label_margin[0]};
    heading->Extra_Words = {QStringLiteral("Margin")};

    Label_box_delay = Make_Label(this, "Label_box_delay", "", 0, 0);
    Label_box_delay->hide();
    main->addWidget(Label_box_delay);
    Label_official = Make_Label(this, "Label_official", "", 0, 0);
    Label_official->setWordWrap(true);
    Label_official->setTextInteractionFlags(Qt::TextSelectableByMouse);
    main->addWidget(Label_official);
    Label_audit = Make_Label(this, "Label_audit", "", 0, 0);
    Label_audit->setWordWrap(true);
    Label_audit->setFont(QFont(QStringLiteral("Arial"), 8));
    Label_audit->hide();
    main->addWidget(Label_audit);
    Label_Houndex = Make_Label(this, "Label_Houndex", "Houndex dog race timing system", 0, 0);
    main->addWidget(Label_Houndex);
    Label_printed = Make_Label(this, "Label_printed", "", 0, 0);
    main->addWidget(Label_printed);
    Picture1 = new Platform::PictureBox(this);
    Picture1->setObjectName("Picture1");
    Picture1->hide();
    m_Picture_temp = new Platform::PictureBox(this);
    m_Picture_temp->hide();

    for (QWidget* w : {static_cast<QWidget*>(Frame_event), static_cast<QWidget*>(Frame_heat),
                       static_cast<QWidget*>(Label_header), static_cast<QWidget*>(Label_Heat_ID),
                       static_cast<QWidget*>(Label_heat_started), static_cast<QWidget*>(Label_event_name),
                       static_cast<QWidget*>(Label_Heat_name), static_cast<QWidget*>(Label_Houndex)}) {
        w->installEventFilter(this);
        m_Focus_Only.push_back(w);
    }
    for (QLabel* l : Label_time) m_Focus_Only.push_back(l);
}

// ---------------------------------------------------------------------------
// loading and filling

QPoint Form_Hdx_Results::Beside(const QRect& owner, const QSize& size, const QRect& screen) {
    constexpr int gap = 8;
    QPoint at;
    if (owner.right() + gap + size.width() <= screen.right())
        at = QPoint(owner.right() + 1 + gap, owner.top());
    else if (owner.left() - gap - size.width() >= screen.left())
        at = QPoint(owner.left() - gap - size.width(), owner.top());
    else  // no room beside it: the screen's lower right, clear of the menu and banner on top
        at = QPoint(screen.right() + 1 - size.width(), screen.bottom() + 1 - size.height());
    at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
    at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    return at;
}

void Form_Hdx_Results::Place_Beside_Owner() {
    if (m_Placed_By_Official) return;
    if (!m_Widened) {
        // Names read best at a comfortable width; the room on the screen may take some of it back.
        m_Widened = true;
        resize(std::max(width(), minimumSizeHint().width() + Name_Comfortable_Width - Name_Least_Width), height());
    }
    QWidget* owner = parentWidget();
    if (!owner) return;
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    constexpr int gap = 8;
    const QRect area = screen->availableGeometry();
    const QRect owner_frame = owner->frameGeometry();
    const QMargins margins = Platform::Frame_Margins(this);
    const QSize frame = size().grownBy(margins);
    const bool room_beside = owner_frame.right() + gap + frame.width() <= area.right() ||
                             owner_frame.left() - gap - frame.width() >= area.left();
    QPoint at;
    if (room_beside || !m_Keep_Clear) {
        at = Beside(owner_frame, frame, area);
    } else {
        // Over the owner's part the official leaves alone while timing, as
        // wide as the room beside what is clicked allows.
        const QRect keep = m_Keep_Clear();
        const int room = area.right() - keep.right() - gap - margins.left() - margins.right();
        if (width() > room) resize(std::max(minimumSizeHint().width(), room), height());
        at = Platform::Clear_Of(keep, size().grownBy(margins), area);
    }
    // Before its first frame the window system may take the point for the
    // window's own area and hang the title bar above it, over what is kept
    // clear: the window's area goes below where the frame will be.
    if (!Platform::Frame_Known(this)) {
        at += QPoint(margins.left(), margins.top());
        at.setX(std::min(at.x(), area.right() + 1 - width() - margins.right()));
        at.setY(std::min(at.y(), area.bottom() + 1 - height() - margins.bottom()));
    }
    m_Placed_At = at;
    move(at);
}

void Form_Hdx_Results::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A move the official makes sticks; the window manager only nudges a
    // window it places by its frame's width.
    if (isVisible() && !m_Placed_By_Official && (frameGeometry().topLeft() - m_Placed_At).manhattanLength() > 40)
        m_Placed_By_Official = true;
}

void Form_Hdx_Results::showEvent(QShowEvent* event) {
    Place_Beside_Owner();
    QWidget::showEvent(event);
}

void Form_Hdx_Results::Form_Load() {
    Trace(std::string("*Form_Load, begin ") + Form_Name);
    Trapped("Form_Load", [&] {
        // A place the official chose before is kept; otherwise the window goes beside the main window.
        const std::string stored = Read_Ini("windowpos", Form_Name, Facts().Ini_file_path, "");
        if (!stored.empty() && stored != "N/A") {
            int left = x(), top = y(), w = width(), h = height();
            Get_Form_Pos(Form_Name, left, top, w, h);
            move(left, top);
            if (w > 0 && h > 0) resize(w, h);
            m_Placed_At = QPoint(left, top);
            m_Placed_By_Official = true;
        }
        show();
        Clear_Results_Display();
        menu_debug->menuAction()->setVisible(false);
    });
    Trace(std::string("*Form_Load, end ") + Form_Name);
}

void Form_Hdx_Results::Clear_Results_Display() {
    Trapped("Clear_Results_Display", [&] {
        Label_event_name->setText("");
        Label_Heat_ID->setText("");
        Label_Heat_name->setText("");
        Label_Heat_name->setToolTip("");
        // A closed recording leaves nothing of its own: no start, no delay, no colours.
        Label_heat_started->setText("");
        Label_box_delay->setText("");
        Label_box_delay->hide();
        for (size_t i = 0; i < Rows; ++i) {
            Picture_box[i]->Cls();
            Picture_box[i]->Refresh();
            Label_name[i]->setText("");
            Label_name[i]->setToolTip("");
            Label_time[i]->setText("00,00");
            Label_Split[i]->setText("00,00");
            Label_margin[i]->setText("");
            Label_estimate[i]->setText("");
            Label_rank[i]->setText("");
            // Without rows there is no dead heat to mark.
            Shape_dead_circle[i]->hide();
        }
        m_Result = Heat_Result{};
        Label_official->setText("");
        Label_audit->setText("");
        Label_audit->hide();
    });
}

void Form_Hdx_Results::Display(const Heat_Result& result) {
    Run_Trapped("Display_Result_Array of Form Form_Houndex", [&] {
        m_Result = result;
        // Names are fitted to their labels' widths: those the layout gives now.
        if (layout()) layout()->activate();
        const Result_Array_Type& ranked = result.Ranked;
        Label_event_name->setText(Q(result.Event));
        QFont font = Label_event_name->font();
        font.setPointSize(18);
        Label_event_name->setFont(font);
        Fit_Font_Size(*Label_event_name);

        Label_Heat_ID->setText(Q(result.Heat_ID));

        const QString heat_name = Q(result.Heat_Name);
        Label_Heat_name->setText(heat_name);
        font = Label_Heat_name->font();
        font.setPointSize(16);
        Label_Heat_name->setFont(font);
        Fit_Font_Size(*Label_Heat_name);
        Label_Heat_name->setToolTip(heat_name);

        Label_heat_started->setText(Q("Started at: " + result.Started));

        const Result_Rows_Type& rows = result.Rows;
        std::vector<std::string> problems;
        const Margin_Table table = Margins::Load_Table(Facts().Ini_file_path, &problems);
        for (const std::string& p : problems) Trace("*Margins setting ignored: " + p);
        const std::array<std::string, Rows> margins = Margins::Margin_Texts(ranked, table);
        for (size_t i = 0; i < Rows; ++i) {
            const Result_Row& row = rows[i];
            Shape_dead_circle[i]->setVisible(row.Dead_Heat_Circle);
            Paint_box(*Picture_box[i], ranked[i]);

            QLabel& name = *Label_name[i];
            font = name.font();
            font.setPointSize(14);
            m_Picture_temp->Set_Canvas_Size(name.width(), name.height());
            m_Picture_temp->Set_Scale(0, 0);
            m_Picture_temp->Set_Font(font);
            const int fitting = Max_Font(*m_Picture_temp, row.Name);
            if (fitting < 14) font.setPointSize(fitting);
            name.setFont(font);
            name.setText(Q(row.Name));
            name.setToolTip(Q(row.Name));

            Label_Split[i]->setText(Q(row.Split));
            Label_time[i]->setText(Q(row.Time));
            Label_margin[i]->setText(Q(margins[i]));
            Label_estimate[i]->setText(Q(row.Estimate));
            Label_rank[i]->setText(Q(row.Rank));
        }

        const std::string delay = Module_Results::Box_Delay_Text(result.Box_Delay);
        Label_box_delay->setText(Q(delay));
        Label_box_delay->setVisible(!delay.empty());
        Show_Official(result);
    });
}

void Form_Hdx_Results::Show_Official(const Heat_Result& result) {
    Label_official->setText(Q(Official_Record::Declaration_Text(result.Declaration)));
    QString trail;
    for (const Official_Record::Change& c : result.Trail)
        trail += (trail.isEmpty() ? "" : "\n") + Q(Official_Record::Change_Text(c));
    if (!result.Trail_Problem.empty()) trail += (trail.isEmpty() ? "" : "\n") + Q(result.Trail_Problem);
    Label_audit->setText(trail.isEmpty() ? QString() : "Changes since the declaration:\n" + trail);
    Label_audit->setVisible(!trail.isEmpty());
}

std::array<std::string, Form_Hdx_Results::Rows> Form_Hdx_Results::Displayed_Margins() const {
    std::array<std::string, Rows> texts;
    for (size_t i = 0; i < Rows; ++i) texts[i] = S(Label_margin[i]->text());
    return texts;
}

Result_Rows_Type Form_Hdx_Results::Displayed_Rows() const {
    Result_Rows_Type rows;
    for (size_t i = 0; i < Rows; ++i) {
        rows[i].Box = m_Result.Ranked[i].Box;
        rows[i].Rank = S(Label_rank[i]->text());
        rows[i].Dead_Heat_Circle = !Shape_dead_circle[i]->isHidden();
        rows[i].Name = S(Label_name[i]->text());
        rows[i].Time = S(Label_time[i]->text());
        rows[i].Split = S(Label_Split[i]->text());
        rows[i].Estimate = S(Label_estimate[i]->text());
    }
    return rows;
}

// ---------------------------------------------------------------------------
// jumps into the recording

void Form_Hdx_Results::Label_rank_Click(int index) {
    Trapped("Label_rank_Click", [&] {
        m_Host.Set_Print_Dog_Name(S(Label_name.at(static_cast<size_t>(index))->text()));
        m_Host.GoTo_rank(index + 1);
    });
    m_Host.Focus_Slider();
}

void Form_Hdx_Results::Label_name_MouseUp(int index) {
    Trapped("Label_name_MouseUp", [&] { m_Host.GoTo_rank(index + 1); });
    m_Host.Focus_Slider();
}

void Form_Hdx_Results::Picture_box_MouseUp(int index) {
    Trapped("Picture_box_MouseUp", [&] { m_Host.GoTo_Box(index + 1); });
    m_Host.Focus_Slider();
}

void Form_Hdx_Results::Label_Split_MouseUp(int index) {
    Trapped("Label_Split_MouseUp", [&] { m_Host.Goto_SplitTime(index + 1); });
    m_Host.Focus_Slider();
}

int Form_Hdx_Results::Index_Of(const std::array<QLabel*, Rows>& labels, const QObject* widget) {
    const auto it = std::find(labels.begin(), labels.end(), widget);
    return it == labels.end() ? -1 : static_cast<int>(it - labels.begin());
}

bool Form_Hdx_Results::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int button = Platform::Mouse_Button_Code(mouse->button());
    const int name = Index_Of(Label_name, watched);
    const int rank = Index_Of(Label_rank, watched);
    const int split = Index_Of(Label_Split, watched);

    if (type == QEvent::MouseButtonPress) {
        m_Correction_Source = nullptr;
        m_Pressed_Rank = rank >= 0 && button == 1 ? watched : nullptr;
        if (watched == Label_event_name && button != 1) {
            m_Correction_Source = watched;
            Label_event_name_MouseDown(button);
        } else if (watched == Label_Heat_name && button != 1) {
            m_Correction_Source = watched;
            Label_Heat_name_MouseDown(button);
        } else if (name >= 0 && button == 2) {
            m_Correction_Source = watched;
            Label_name_MouseDown(name, button);
        }
        return rank >= 0 || name >= 0 || split >= 0 || m_Correction_Source != nullptr ||
               std::find(m_Focus_Only.begin(), m_Focus_Only.end(), watched) != m_Focus_Only.end();
    }

    // The release of the press that opened a correction belongs to that correction.
    if (watched == m_Correction_Source) {
        m_Correction_Source = nullptr;
        return true;
    }
    if (rank >= 0) {
        const bool click = watched == m_Pressed_Rank && button == 1 &&
                           Label_rank[static_cast<size_t>(rank)]->rect().contains(mouse->position().toPoint());
        m_Pressed_Rank = nullptr;
        if (click)
            Label_rank_Click(rank);
        else
            m_Host.Focus_Slider();
        return true;
    }
    if (name >= 0) {
        Label_name_MouseUp(name);
        return true;
    }
    if (split >= 0) {
        Label_Split_MouseUp(split);
        return true;
    }
    if (std::find(m_Focus_Only.begin(), m_Focus_Only.end(), watched) != m_Focus_Only.end()) {
        m_Host.Focus_Slider();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form_Hdx_Results::mouseReleaseEvent(QMouseEvent* event) {
    m_Host.Focus_Slider();
    event->accept();
}

// ---------------------------------------------------------------------------
// corrections

void Form_Hdx_Results::Label_event_name_MouseDown(int button) {
    if (button != 1) Correct(Correction::Event_Name, 0);
}

void Form_Hdx_Results::Label_Heat_name_MouseDown(int button) {
    if (button != 1) Correct(Correction::Heat_Name, 0);
}

void Form_Hdx_Results::Label_name_MouseDown(int index, int button) {
    if (button == 2) Correct(Correction::Dog_Name, index);
}

void Form_Hdx_Results::Correct(Correction what, int index) {
    const char* procedure = what == Correction::Event_Name  ? "Label_event_name_MouseDown"
                            : what == Correction::Heat_Name ? "Label_Heat_name_MouseDown"
                                                            : "Label_name_MouseDown";
    Trapped(procedure, [&] {
        cls_VideoFile_handler* recording = m_Host.Review_Handler();
        const Heat_Result* result = m_Host.Reviewed_Result();
        if (!recording || !recording->File_open() || !result) return;
        // A dog-name correction needs the box its row shows.
        int16_t box = 0;
        if (what == Correction::Dog_Name) {
            if (index < 0 || index >= Rows) return;
            box = result->Ranked[static_cast<size_t>(index)].Box;
            if (box < 1 || box > Rows) return;
        }
        if (recording->Read_only()) {
            Platform::MsgBox("File is Read Only!\r\nThis file can't be changed");
            return;
        }
        const char* prompt = what == Correction::Event_Name  ? "Change Event name"
                             : what == Correction::Heat_Name ? "Change heat name"
                                                             : "Change dog name";
        const std::string shown = what == Correction::Event_Name  ? result->Event
                                  : what == Correction::Heat_Name ? result->Heat_Name
                                                                  : result->Ranked[static_cast<size_t>(index)].Dog_Name;
        const std::optional<std::string> answer = Platform::Dialogs().Input_Box(prompt, "Houndex results", shown);
        if (!answer || answer->empty()) return;
        const Result_Name name = what == Correction::Event_Name  ? Result_Name::Event
                                 : what == Correction::Heat_Name ? Result_Name::Heat
                                                                 : Result_Name::Dog;
        // The host writes it (with the reason an official heat needs) and shows the result it then holds.
        m_Host.Correct_Name(name, box, *answer);
    });
}

// ---------------------------------------------------------------------------
// menu

void Form_Hdx_Results::item_print_Click() {
    Trapped("item_print_Click", [&] { m_Host.Print_Results(*this); });
}

void Form_Hdx_Results::item_hide_Click() { hide(); }

void Form_Hdx_Results::item_clear_results_Click() {
    Trapped("item_clear_results_Click", [&] {
        const Platform::MsgResult answer =
            Platform::MsgBox("Clearing all results, are you sure?", Platform::MsgButtons::OKCancel,
                             Platform::MsgIcon::Question, "Houndex clearing results");
        if (answer == Platform::MsgResult::OK) m_Host.Clear_all_Results();
    });
}

void Form_Hdx_Results::Export_to_Clipboard() {
    Trapped("Export_to_Clipboard", [&] {
        // The heat's one result, not what the labels happen to hold.
        const Heat_Result* result = m_Host.Reviewed_Result();
        if (!result) return Platform::Beep();
        Platform::Set_Clipboard_Text(Module_Results::Export_Text(result->Heat_ID, result->Rows));
        // What is shown is what the clipboard really holds.
        Platform::MsgBox(Platform::Clipboard_Text(), Platform::MsgButtons::OK, Platform::MsgIcon::None,
                         "Houndex results export");
    });
}

void Form_Hdx_Results::item_save_results_Click() {
    Trapped("item_save_results_Click", [&] {
        cls_VideoFile_handler* recording = m_Host.Review_Handler();
        const Heat_Result* result = m_Host.Reviewed_Result();
        if (!recording || !recording->File_open() || !result) return Platform::Beep();
        const Results_Export::Heat_Results heat =
            Results_Export::From_Result(*result, Margins::Load_Table(Facts().Ini_file_path));
        const std::string folder = ParsePath(recording->File_name(), 16);
        const std::string name = Safe_File_Name(heat.event + " heat " + heat.heat_id, ".csv");
        const std::optional<std::string> chosen = Platform::Dialogs().Save_File(
            "Save results", folder, "Results as CSV (*.csv);;Results as JSON (*.json)", name);
        if (!chosen || chosen->empty()) return;
        std::string path = *chosen;
        std::string suffix = File_Suffix(path);
        for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (suffix != "csv" && suffix != "json") {
            path += ".csv";
            suffix = "csv";
        }
        const std::string text =
            suffix == "json" ? Results_Export::To_Json(heat) + "\n" : Results_Export::To_Csv({heat});
        std::string error;
        if (!Platform::Write_File_Atomic(path, text, &error))
            Platform::MsgBox("The results could not be saved to " + path + ":\r\n" + error, Platform::MsgButtons::OK,
                             Platform::MsgIcon::Exclamation, "Houndex results");
    });
}

void Form_Hdx_Results::item_declare_official_Click() {
    Trapped("item_declare_official_Click", [&] {
        cls_VideoFile_handler* recording = m_Host.Review_Handler();
        if (!recording || !recording->File_open()) return Platform::Beep();
        if (recording->Read_only()) {
            Platform::MsgBox("File is Read Only!\r\nThis file can't be changed");
            return;
        }
        const Official_Record::Declaration before = Official_Record::Read_Declaration(*recording);
        if (before.official) {
            Platform::MsgBox("Heat " + recording->Hdx_Heat_ID() + " was declared official at " + before.declared_at,
                             Platform::MsgButtons::OK, Platform::MsgIcon::Information, Official_Record::Reason_Title);
            return;
        }
        const Platform::MsgResult answer = Platform::MsgBox(
            "Declare heat " + recording->Hdx_Heat_ID() +
                " official?\r\nEvery later change of its results will need a reason.",
            Platform::MsgButtons::OKCancel, Platform::MsgIcon::Question, Official_Record::Reason_Title);
        if (answer != Platform::MsgResult::OK) return;
        m_Host.Declare_Official();
    });
}

void Form_Hdx_Results::item_box_delay_Click() {
    Trapped("item_box_delay_Click", [&] {
        cls_VideoFile_handler* recording = m_Host.Review_Handler();
        const Heat_Result* result = m_Host.Reviewed_Result();
        if (!recording || !recording->File_open() || !result) return Platform::Beep();
        if (recording->Read_only()) {
            Platform::MsgBox("File is Read Only!\r\nThis file can't be changed");
            return;
        }
        const std::optional<std::string> answer = Platform::Dialogs().Input_Box(
            "Box delay of heat " + result->Heat_ID + " (ms)", "Houndex results", std::to_string(result->Box_Delay));
        if (!answer || answer->empty()) return;
        int64_t ms = 0;
        if (Parse_Whole_Number(Trim_Blanks(*answer), ms) != Whole_Number::Ok || ms < -60000 || ms > 60000) {
            Platform::MsgBox("\"" + *answer + "\" is no box delay: a whole number of ms from -60000 to 60000.",
                             Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation, "Houndex results");
            return;
        }
        if (ms != result->Box_Delay) m_Host.Correct_Box_Delay(static_cast<int32_t>(ms));
    });
}

void Form_Hdx_Results::item_paint_boxes_Click() {
    Trapped("item_paint_boxes_Click", [&] {
        for (int i = 0; i < Rows; ++i) Paint_box(*Picture_box[static_cast<size_t>(i)], i + 1);
    });
}

void Form_Hdx_Results::closeEvent(QCloseEvent* event) {
    Trapped("Form_Unload", [&] {
        if (m_Placed_By_Official) Store_Form_Pos(Form_Name, x(), y(), width(), height());
    });
    event->accept();
}
