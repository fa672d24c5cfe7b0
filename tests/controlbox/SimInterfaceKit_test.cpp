#include <gtest/gtest.h>

#include <QCoreApplication>

#include "Kit_Recorder.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "controlbox/Control_Box_Version.h"
#include "controlbox/Module_Control_Box.h"
#include "controlbox/SimInterfaceKit.h"
#include "platform/HdxError.h"
#include "common/Startup_Facts.h"

namespace {

class SimKitTest : public Hdx_Test {
protected:
    SimInterfaceKit kit;
    Kit_Recorder rec{kit};
};

TEST_F(SimKitTest, AttachArrivesThroughTheEventLoopWithTheStampOfOpen) {
    EXPECT_FALSE(kit.IsAttached());
    const int32_t opened = clock.PC_Mill();
    kit.Open(0);
    EXPECT_FALSE(kit.IsAttached());  // like a real board: the attach follows later
    clock.Advance(40);
    Run_Events();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0], (Kit_Event{"attach", -1, false, opened, true, false}));
    EXPECT_EQ(kit.SerialNumber(), SimInterfaceKit::kDefault_Serial);
}

TEST_F(SimKitTest, InputChangesCarryTheStampOfTheSwitchNotOfTheDelivery) {
    kit.Open(0);
    Run_Events();
    rec.events.clear();
    const int32_t t1 = clock.PC_Mill();
    kit.Set_Input(3, true);
    clock.Advance(250);  // the UI thread was busy for a while
    const int32_t t2 = clock.PC_Mill();
    kit.Set_Input(3, false);
    kit.Set_Input(1, true);
    EXPECT_FALSE(kit.InputState(3));  // nothing delivered yet
    clock.Advance(500);
    Run_Events();
    const std::vector<Kit_Event> want = {
        {"input", 3, true, t1, true, true}, {"input", 3, false, t2, true, false}, {"input", 1, true, t2, true, true}};
    EXPECT_EQ(rec.events, want);
    EXPECT_TRUE(kit.InputState(1));
}

TEST_F(SimKitTest, RepeatingTheKnownLevelRaisesNothing) {
    kit.Open(0);
    Run_Events();
    rec.events.clear();
    kit.Set_Input(2, false);
    kit.Set_Input(4, true);
    kit.Set_Input(4, true);
    Run_Events();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].index, 4);
}

TEST_F(SimKitTest, ReattachReportsTheClosedSwitchesAfterTheAttach) {
    kit.Open(0);
    Run_Events();
    kit.Set_Plugged(false);
    Run_Events();
    EXPECT_FALSE(kit.IsAttached());
    kit.Set_Input(5, true);  // moved while unplugged: no report
    kit.Set_Input(1, true);
    Run_Events();
    EXPECT_FALSE(kit.InputState(5));
    rec.events.clear();
    clock.Advance(100);
    const int32_t plugged = clock.PC_Mill();
    kit.Set_Plugged(true);
    Run_Events();
    const std::vector<Kit_Event> want = {{"attach", -1, false, plugged, true, false},
                                         {"input", 1, true, plugged, true, true},
                                         {"input", 5, true, plugged, true, true}};
    EXPECT_EQ(rec.events, want);
}

TEST_F(SimKitTest, DetachClearsTheLevelsAndDropsOutputs) {
    SimInterfaceKit& k = kit;
    std::vector<std::pair<int, bool>> leds;
    QObject::connect(&k, &SimInterfaceKit::Output_Changed, &k, [&](int i, bool v) { leds.push_back({i, v}); });
    k.Open(0);
    Run_Events();
    k.Set_Input(0, true);
    Run_Events();
    k.Set_OutputState(0, true);
    k.Set_OutputState(0, true);
    EXPECT_TRUE(k.OutputState(0));
    k.Set_Plugged(false);
    Run_Events();
    EXPECT_FALSE(k.InputState(0));
    EXPECT_FALSE(k.OutputState(0));
    k.Set_OutputState(0, true);  // nobody there to switch it
    EXPECT_FALSE(k.OutputState(0));
    const std::vector<std::pair<int, bool>> want = {{0, true}, {0, false}};
    EXPECT_EQ(leds, want);
    EXPECT_EQ(rec.events.back().kind, "detach");
    EXPECT_FALSE(rec.events.back().attached_then);
}

TEST_F(SimKitTest, OpenForAnotherSerialNeverAttaches) {
    kit.Open(777);
    Run_Events();
    EXPECT_FALSE(kit.IsAttached());
    kit.Set_Serial(777);
    kit.Set_Plugged(false);
    kit.Set_Plugged(true);
    Run_Events();
    EXPECT_TRUE(kit.IsAttached());
    EXPECT_EQ(kit.SerialNumber(), 777);
}

TEST_F(SimKitTest, CloseDropsWhatIsStillQueued) {
    kit.Open(0);
    Run_Events();
    rec.events.clear();
    kit.Set_Input(2, true);
    kit.Close();
    Run_Events();
    EXPECT_TRUE(rec.events.empty());
    EXPECT_FALSE(kit.IsAttached());
    kit.Set_Input(3, true);  // a closed kit reports nothing
    Run_Events();
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(SimKitTest, AHandlerThatClosesTheKitStopsTheAttachReports) {
    kit.Set_Input(0, true);
    kit.Set_Input(1, true);
    QObject::connect(&kit, &IInterfaceKit::OnAttach, &kit, [this](int32_t) { kit.Close(); });
    kit.Open(0);
    Run_Events();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].kind, "attach");
}

TEST_F(SimKitTest, IndexesOutsideTheBoardRaiseError9) {
    kit.Open(0);
    Run_Events();
    for (int bad : {-1, 8, 1000}) {
        for (auto call : std::vector<std::function<void()>>{[&] { kit.InputState(bad); }, [&] { kit.OutputState(bad); },
                                                            [&] { kit.Set_OutputState(bad, true); },
                                                            [&] { kit.Set_Input(bad, true); }}) {
            try {
                call();
                ADD_FAILURE() << "index " << bad << " accepted";
            } catch (const HdxError& e) {
                EXPECT_EQ(e.number, HdxErr::SubscriptOutOfRange);
            }
        }
    }
    EXPECT_NO_THROW(kit.InputState(7));
}

// --- start-up checks -----------------------------------------------------------

class Versioned_Kit : public SimInterfaceKit {
public:
    explicit Versioned_Kit(std::string v) : version_(std::move(v)) {}
    std::string LibraryVersion() const override { return version_; }

private:
    std::string version_;
};

class StartupCheckTest : public Hdx_Test {
protected:
    static Kit_Factory With_Version(const std::string& v) {
        return [v] { return std::unique_ptr<IInterfaceKit>(new Versioned_Kit(v)); };
    }
    static Kit_Factory Failing() {
        return []() -> std::unique_ptr<IInterfaceKit> { return Create_Interface_Kit("bogus"); };
    }
};

TEST_F(StartupCheckTest, OurOwnLibraryPassesTheVersionCheck) {
    EXPECT_TRUE(Module_Control_Box::Verify_Phidgets());
    EXPECT_TRUE(traces.Has("Verify_Phidgets, begin"));
    EXPECT_TRUE(traces.Has("Verify_Phidgets, Verify_Phidgets = True"));
    EXPECT_TRUE(dialogs.Messages().empty());
    // The serial backend reports the same library.
    EXPECT_TRUE(Module_Control_Box::Verify_Phidgets([] { return Create_Interface_Kit("serial:/dev/nothing-here"); }));
}

class WrongVersions : public StartupCheckTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WrongVersions, ShowTheVersionMessage) {
    EXPECT_FALSE(Module_Control_Box::Verify_Phidgets(With_Version(GetParam())));
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0],
              std::string("Wrong Control Box software version found!\nThis Houndex version needs "
                          "version 2.1.8!\nFound version:\n") +
                  GetParam());
    EXPECT_FALSE(traces.Has("Verify_Phidgets, Verify_Phidgets = True"));
}

INSTANTIATE_TEST_SUITE_P(Startup, WrongVersions,
                         ::testing::Values("", "Houndex Control Box layer 2.1.8", "Control Box core - Version 2.1.8",
                                           "Houndex Control Box layer 2.1.7, Control Box core - Version 2.1.8",
                                           "houndex control box layer 2.1.8, control box core - version 2.1.8"),
                         [](const auto& param_info) { return Test_Name(param_info.param); });

TEST_F(StartupCheckTest, BothPartsInAnyOrderPass) {
    EXPECT_TRUE(Module_Control_Box::Verify_Phidgets(
        With_Version("Control Box core - Version 2.1.8 - Built today; Houndex Control Box layer 2.1.8")));
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(StartupCheckTest, ALibraryThatCannotBeCreatedTracesTheFault) {
    EXPECT_FALSE(Module_Control_Box::Verify_Phidgets(Failing()));
    EXPECT_TRUE(dialogs.Messages().empty());
    bool found = false;
    for (const auto& m : traces.Messages())
        if (m.rfind("Phidgets error at line 1 Error number = 5 Unknown Control Box option \"bogus\"", 0) == 0)
            found = true;
    EXPECT_TRUE(found);
    EXPECT_TRUE(traces.Has("Verify_Phidgets, Verify_Phidgets = False"));
}

TEST_F(StartupCheckTest, CheckForPhidgetSetsPresence) {
    EXPECT_FALSE(Module_Control_Box::Check_For_Phidget(Failing()));
    EXPECT_TRUE(traces.Has("*Check_For_Phidget_Error5"));

    EXPECT_TRUE(Module_Control_Box::Check_For_Phidget());
    EXPECT_FALSE(Module_Control_Box::Check_For_Phidget(Failing())) << "an earlier success is not carried over";
    EXPECT_TRUE(traces.Has("*Check_for_Phidget OK = True ,version = " + Control_Box_Version::Library_Version_Text()));
}

TEST_F(StartupCheckTest, OpeningTheBoxWaitsForTheAttachAndTracesTheDevice) {
    Platform::Set_Yield_Hook([] { QCoreApplication::processEvents(); });
    SimInterfaceKit kit;
    const int32_t before = clock.PC_Mill();
    Module_Control_Box::Open_Control_Box(kit);
    EXPECT_TRUE(kit.IsAttached());
    EXPECT_GE(Platform::Mill_Since(before, clock.PC_Mill()), 1000);
    EXPECT_TRUE(traces.Has("*Phidget present Control Box simulator/Virtual Control Box 8/8/8/" +
                           Control_Box_Version::Library_Version_Text()));
}

}  // namespace
