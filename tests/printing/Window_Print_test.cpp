#include <filesystem>
#include <string>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrinter>
#include <QProgressBar>
#include <QVBoxLayout>

#include "Print_Test_Support.h"
#include "diagnostics/Frm_progress.h"
#include "platform/Files.h"
#include "printing/Window_Print.h"
#include "common/Startup_Facts.h"

namespace {

// What the progress window and the printed label show at each wait.
struct Moment {
    int percent;
    std::string label;
    bool visible;
    bool operator==(const Moment&) const = default;
};

class Window_Print_Test : public Print_Test {
protected:
    void SetUp() override {
        Print_Test::SetUp();
        window.resize(400, 300);
        auto* bar = new QMenuBar(&window);
        bar->addMenu("Form");
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->setMenuBar(bar);
        body = new QLabel("Results", &window);
        body->setAutoFillBackground(true);
        body->setStyleSheet("background: black; color: white;");
        body->setMinimumSize(400, 260);
        layout->addWidget(body);
        printed = new QLabel(&window);
        layout->addWidget(printed);
        window.show();
        Platform::Set_Yield_Hook([this] {
            Frm_progress& p = Window_Print::Print_Progress();
            Moment m{p.ProgressBar1->value(), printed->text().toStdString(), p.isVisible()};
            if (moments.empty() || !(moments.back() == m)) moments.push_back(m);
        });
    }
    void TearDown() override {
        Platform::Set_Yield_Hook([] {});
        Print_Test::TearDown();
    }

    // The inked area of the page, in twips from the top left of the paper.
    QRect Printed_Area_Twips() {
        const QImage page = Pdf_Picture(72);
        if (page.isNull()) return QRect();
        const QRect a = Inked_Area(page);
        return QRect(a.left() * 20, a.top() * 20, a.width() * 20, a.height() * 20);
    }
    // The printable area's corner on the paper, in twips.
    QPoint Printable_Origin() {
        const QRectF r = Current_Printer().pageLayout().paintRect(QPageLayout::Point);
        return QPoint(static_cast<int>(r.left() * 20), static_cast<int>(r.top() * 20));
    }

    QWidget window;
    QLabel* body = nullptr;
    QLabel* printed = nullptr;
    std::vector<Moment> moments;
};

}  // namespace

TEST_F(Window_Print_Test, TheResultsWindowIsPrintedWithItsPrintedByLine) {
    Window_Print::Print_Results_Window(window, printed);
    ASSERT_TRUE(errors.errors.empty()) << errors.errors[0].description;
    const std::string stamp = "Printed by Houndex HDMI version " + Facts().Program_Version + " at: 2026-05-16 14:30:00";
    const std::vector<Moment> expected{{30, stamp, true}, {70, stamp, true}, {100, "", true}};
    EXPECT_EQ(moments.size(), expected.size());
    for (size_t i = 0; i < std::min(moments.size(), expected.size()); ++i) {
        EXPECT_EQ(moments[i].percent, expected[i].percent) << i;
        EXPECT_EQ(moments[i].label.substr(0, 40), expected[i].label.substr(0, 40)) << i;
        EXPECT_EQ(moments[i].visible, expected[i].visible) << i;
    }
    EXPECT_EQ(printed->text(), "");
    Frm_progress& p = Window_Print::Print_Progress();
    EXPECT_FALSE(p.isVisible());
    EXPECT_TRUE(p.Text_caption->text().startsWith("Printing results on"));
    EXPECT_TRUE(p.Text_caption->text().endsWith("Office Laser"));

    // The client area, without the menu bar, at (800, 1200) twips.
    const QRect area = Printed_Area_Twips();
    const QPoint origin = Printable_Origin();
    EXPECT_NEAR(area.left(), origin.x() + 800, 40);
    EXPECT_NEAR(area.top(), origin.y() + 1200, 40);
    EXPECT_NEAR(area.width(), 400 * 15, 120);
}

TEST_F(Window_Print_Test, TheFormAndTheSpeakerCardUseTheirCaptionsAndPlaces) {
    struct Case {
        const char* caption;
        void (*print)(QWidget&);
    } cases[] = {
        {"Printing form, on", [](QWidget& w) { Window_Print::Print_Event_Form(w); }},
        {"Printing spkr card on", [](QWidget& w) { Window_Print::Print_Speaker_Card(w); }},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Pdf_Path());
        moments.clear();
        const int32_t start = clock.PC_Mill();
        c.print(window);
        ASSERT_TRUE(errors.errors.empty()) << c.caption;
        EXPECT_GE(clock.PC_Mill() - start, 1600) << c.caption;  // 600 ms and 1000 ms waits
        ASSERT_GE(moments.size(), 2u) << c.caption;
        EXPECT_EQ(moments.front().percent, 0) << c.caption;  // the first wait comes before 10 %
        EXPECT_EQ(moments.back().percent, 100) << c.caption;
        EXPECT_TRUE(Window_Print::Print_Progress().Text_caption->text().startsWith(c.caption));
        EXPECT_FALSE(Window_Print::Print_Progress().isVisible());
        const QRect area = Printed_Area_Twips();
        const QPoint origin = Printable_Origin();
        EXPECT_NEAR(area.left(), origin.x() + 300, 40) << c.caption;
        EXPECT_NEAR(area.top(), origin.y() + 1200, 40) << c.caption;
    }
}

TEST_F(Window_Print_Test, TheSpeakerCardPrintsThePictureItIsGiven) {
    QImage card(200, 100, QImage::Format_RGB32);
    card.fill(Qt::blue);
    Window_Print::Print_Speaker_Card(window, [&] { return card; });
    const QImage page = Pdf_Picture(72);
    ASSERT_FALSE(page.isNull());
    const QRect a = Inked_Area(page);
    EXPECT_NEAR(a.width() * 20, 200 * 15, 60);
    EXPECT_NEAR(a.height() * 20, 100 * 15, 60);
    const QColor c = page.pixelColor(a.center());
    EXPECT_LT(c.red(), 60);
    EXPECT_GT(c.blue(), 180);
}

TEST_F(Window_Print_Test, AWindowWiderThanThePaperIsMadeSmallerToFit) {
    window.setMinimumWidth(2000);
    body->setMinimumWidth(2000);
    window.resize(2000, 300);
    Window_Print::Print_Event_Form(window);
    const QRect area = Printed_Area_Twips();
    const QRectF paper = Current_Printer().pageLayout().fullRect(QPageLayout::Point);
    ASSERT_FALSE(area.isEmpty());
    EXPECT_LE(area.right(), paper.width() * 20);
    EXPECT_GT(area.width(), paper.width() * 20 / 2);
}

TEST_F(Window_Print_Test, APrinterFaultIsReportedWithTheWindowsLocation) {
    Printer().Set_Output_File(Platform::Join_Path(dir, "missing/page.pdf"));
    Window_Print::Print_Results_Window(window, printed);
    Window_Print::Print_Speaker_Card(window);
    ASSERT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(errors.errors[0].location, "item_print_Click of Form Form_Hdx_Results");
    EXPECT_EQ(errors.errors[1].location, "item_print_Click of Form Form_Houndex_SpeakerCard");
    EXPECT_EQ(printed->text(), "");
    EXPECT_FALSE(Window_Print::Print_Progress().isVisible());
}
