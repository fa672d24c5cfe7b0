// The program's boundary in a real event loop: a fault no procedure trapped,
// thrown by an event handler, is reported and the loop goes on.
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>

#include "Test_Env.h"
#include "diagnostics/Houndex_Application.h"
#include "diagnostics/Module_Diagnostics.h"

namespace {
Houndex_Application* g_app = nullptr;
}

TEST(ProgramBoundaryTest, UntrappedFaultInAnEventHandlerIsReportedAndTheLoopGoesOn) {
    Error_Recorder errors;
    Set_Error_Reporter(&errors);
    bool after = false;
    QTimer::singleShot(0, [] { Module_Diagnostics::Misbehave_Untrapped(); });
    QTimer::singleShot(0, [] { throw std::runtime_error("not an error number of ours"); });
    QTimer::singleShot(5, [&] {
        after = true;
        g_app->quit();
    });
    EXPECT_EQ(g_app->exec(), 0);
    Set_Error_Reporter(nullptr);
    EXPECT_TRUE(after);
    ASSERT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(errors.errors[0].number, 11);
    EXPECT_EQ(errors.errors[0].description, "Division by zero");
    EXPECT_EQ(errors.errors[0].location, Boundary_Location);
    EXPECT_EQ(errors.errors[1].number, 1004);
    EXPECT_EQ(errors.errors[1].description, "not an error number of ours");
}

TEST(ProgramBoundaryTest, UntrappedFaultsFromAMenuItemAndAButtonAreReported) {
    Error_Recorder errors;
    Set_Error_Reporter(&errors);
    QMenu menu("Trap errors");
    QAction* untrapped = menu.addAction("Misbehave untrapped");
    QObject::connect(untrapped, &QAction::triggered, [] { Module_Diagnostics::Misbehave_Untrapped(); });
    QPushButton button("Misbehave");
    QObject::connect(&button, &QPushButton::clicked, [] { Module_Diagnostics::Misbehave_Untrapped(); });
    button.show();
    QTimer::singleShot(0, [&] { untrapped->trigger(); });
    QTimer::singleShot(1, [&] { QTest::mouseClick(&button, Qt::LeftButton); });
    QTimer::singleShot(20, [] { g_app->quit(); });
    EXPECT_EQ(g_app->exec(), 0);
    Set_Error_Reporter(nullptr);
    ASSERT_EQ(errors.errors.size(), 2u);
    for (const auto& e : errors.errors) {
        EXPECT_EQ(e.number, 11);
        EXPECT_EQ(e.location, Boundary_Location);
    }
    // The button is usable afterwards: its press state was not left behind.
    EXPECT_FALSE(button.isDown());
}

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Houndex_Application app(argc, argv);
    g_app = &app;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
