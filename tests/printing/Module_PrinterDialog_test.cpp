#include <string>
#include <vector>

#include <QPrinter>

#include "Print_Test_Support.h"
#include "printing/Module_PrinterDialog.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

using Module_PrinterDialog::Select_Printer;

namespace {

class Printer_Selection_Test : public Print_Test {
protected:
    void SetUp() override {
        Print_Test::SetUp();
        Program_Printer& p = Printer();
        p.Set_Copies(1);
        p.Set_Orientation(1);
        p.Set_ColorMode(2);
        p.Set_Duplex(1);
        p.Set_PaperBin(2);
        p.Set_PaperSize(9);
        p.Set_PrintQuality(600);
        list.walks = 0;
    }

    // What the operator picks in the dialog: other values than the printer's.
    Printer_Dialog_Values Choice(const std::string& name) {
        Printer_Dialog_Values v;
        v.Printer_Name = name;
        v.Copies = 3;
        v.Orientation = 2;
        v.Color_Mode = 1;
        v.Duplex = 3;
        v.Paper_Bin = 4;
        v.Paper_Size = 1;  // Letter
        v.Print_Quality = 300;
        return v;
    }

    struct Settings {
        std::string device;
        int copies, orientation, color, duplex, bin, paper, quality;
        bool operator==(const Settings&) const = default;
    };
    static Settings Now() {
        Program_Printer& p = Printer();
        return {p.DeviceName(), p.Copies(),   p.Orientation(), p.ColorMode(),
                p.Duplex(),     p.PaperBin(), p.PaperSize(),   p.PrintQuality()};
    }
};

}  // namespace

TEST_F(Printer_Selection_Test, TheDialogIsPresetFromTheCurrentPrinter) {
    chooser.confirm = false;
    Select_Printer(nullptr);
    ASSERT_EQ(chooser.presets.size(), 1u);
    const Printer_Dialog_Values& v = chooser.presets[0];
    EXPECT_EQ(v.Printer_Name, "Office Laser");
    EXPECT_EQ(v.Driver_Name, "LaserJet 4");
    EXPECT_EQ(v.Port, "LPT1:");
    EXPECT_EQ(v.Paper_Bin, 2);
    EXPECT_EQ(v.Flags, 268);
}

TEST_F(Printer_Selection_Test, CancellingChangesNothingButStopsFollowingTheDefaultPrinter) {
    const Settings before = Now();
    ASSERT_TRUE(Printer().TrackDefault());
    chooser.confirm = false;
    Select_Printer(nullptr);
    EXPECT_EQ(Now(), before);
    EXPECT_FALSE(Printer().TrackDefault());
    EXPECT_EQ(list.walks, 0);
    // a new system default no longer moves the program's printer
    list.default_name = "Label Writer";
    EXPECT_EQ(Printer().DeviceName(), "Office Laser");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Printer_Selection_Test, UntilTheFirstSelectionThePrinterFollowsTheDefault) {
    list.default_name = "Label Writer";
    EXPECT_EQ(Printer().DeviceName(), "Label Writer");
    EXPECT_EQ(Printer().DriverName(), "Dymo 400");
}

TEST_F(Printer_Selection_Test, ConfirmingTheSamePrinterCopiesTheSettingsWithoutWalkingThePrinters) {
    chooser.answer = Choice("Office Laser");
    Select_Printer(nullptr);
    EXPECT_EQ(list.walks, 0);
    EXPECT_EQ(Now(), (Settings{"Office Laser", 3, 2, 1, 3, 4, 1, 300}));
    // and the device itself prints with them
    QPrinter& d = Current_Printer();
    EXPECT_EQ(d.copyCount(), 3);
    EXPECT_EQ(d.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(d.colorMode(), QPrinter::GrayScale);
    EXPECT_EQ(d.pageLayout().pageSize().id(), QPageSize::Letter);
}

TEST_F(Printer_Selection_Test, ANameIsMatchedWithoutRegardToCase) {
    struct Case {
        std::string chosen;
        std::string device;
        std::string driver;
    } cases[] = {
        {"label writer", "Label Writer", "Dymo 400"},
        {"OFFICE LASER", "Office Laser", "LaserJet 4"},     // the same printer again, as the list spells it
        {"No Such Printer", "Office Laser", "LaserJet 4"},  // no match: the printer stays
    };
    for (const Case& c : cases) {
        Reset_Printer();
        ASSERT_EQ(Printer().DeviceName(), "Office Laser");  // the default printer
        list.walks = 0;
        chooser.answer = Choice(c.chosen);
        Select_Printer(nullptr);
        EXPECT_EQ(list.walks, 1) << c.chosen;
        EXPECT_EQ(Printer().DeviceName(), c.device) << c.chosen;
        EXPECT_EQ(Printer().DriverName(), c.driver) << c.chosen;
        EXPECT_EQ(Printer().Copies(), 3) << c.chosen;  // the settings are copied in every case
    }
}

TEST_F(Printer_Selection_Test, WithTwoPrintersOfOneNameTheLastWins) {
    list.printers.push_back({"LABEL WRITER", "Zebra", "USB002"});
    chooser.answer = Choice("Label writer");
    Select_Printer(nullptr);
    EXPECT_EQ(Printer().DriverName(), "Zebra");
}

TEST_F(Printer_Selection_Test, APdfPrinterGetsEverySettingButThePaperBin) {
    for (const std::string name : {"PDF file", "pdf file", "Cute PdF Writer"}) {
        Reset_Printer();
        Printer().Set_PaperBin(2);
        list.printers.push_back({"Cute PDF Writer", "CutePDF", "CPW2:"});
        chooser.answer = Choice(name);
        chooser.answer.Output_File = Pdf_Path();
        Select_Printer(nullptr);
        const Settings s = Now();
        EXPECT_EQ(s.bin, 2) << name;
        EXPECT_EQ((Settings{"", s.copies, s.orientation, s.color, s.duplex, 0, s.paper, s.quality}),
                  (Settings{"", 3, 2, 1, 3, 0, 1, 300}))
            << name;
        list.printers.pop_back();
    }
    EXPECT_TRUE(errors.errors.empty());
    // The PDF file printer writes the file chosen in the dialog.
    Reset_Printer();
    chooser.answer = Choice("PDF file");
    chooser.answer.Output_File = Pdf_Path();
    Select_Printer(nullptr);
    EXPECT_EQ(Printer().DeviceName(), "PDF file");
    EXPECT_TRUE(Printer().Prints_To_File());
    EXPECT_EQ(Printer().Output_File(), Pdf_Path());
}

TEST_F(Printer_Selection_Test, ARefusedValueStopsTheCopyAndKeepsWhatWasCopiedBefore) {
    chooser.answer = Choice("Office Laser");
    chooser.answer.Duplex = 7;  // the fourth value copied
    Select_Printer(nullptr);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Select_Printer of Module Module_PrinterDialog");
    EXPECT_EQ(errors.errors[0].number, 380);
    // copies, orientation and colour were copied; duplex and everything after were not
    EXPECT_EQ(Now(), (Settings{"Office Laser", 3, 2, 1, 1, 2, 9, 600}));
}

TEST_F(Printer_Selection_Test, ThePrinterDialogItemTracesTheChosenPrinter) {
    chooser.answer = Choice("label writer");
    Module_PrinterDialog::item_printer_dialog_Click(nullptr);
    EXPECT_TRUE(traces.Has("Printer.DeviceName = Label Writer"));
}

TEST_F(Printer_Selection_Test, TheDialogIsShownOnlyWhenTheSettingAsksForIt) {
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    chooser.confirm = false;
    Module_PrinterDialog::Select_Printer_If_Wanted(nullptr);
    EXPECT_TRUE(chooser.presets.empty());
    Write_Ini("Settings", "show_printer_dialog", "1", Facts().Ini_file_path);
    Module_PrinterDialog::Select_Printer_If_Wanted(nullptr);
    EXPECT_EQ(chooser.presets.size(), 1u);
    Change_Facts([](Startup_Facts& f) { f.Ini_file_path.clear(); });
}

TEST(System_Printer_List, AlwaysOffersThePdfFilePrinter) {
    System_Printer_List system;
    const std::vector<Printer_Info> printers = system.Printers();
    ASSERT_FALSE(printers.empty());
    EXPECT_EQ(printers.back().Device_Name, Pdf_Printer_Name);
    EXPECT_FALSE(system.Default_Printer_Name().empty());
}
