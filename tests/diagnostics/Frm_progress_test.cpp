#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLineEdit>
#include <QProgressBar>

#include "diagnostics/Frm_progress.h"

TEST(ProgressWindowTest, PercentOutsideTheRangeIsIgnored) {
    Frm_progress p;
    p.Set_Percent(40);
    EXPECT_EQ(p.ProgressBar1->value(), 40);
    p.Set_Percent(101);
    p.Set_Percent(-1);
    EXPECT_EQ(p.ProgressBar1->value(), 40);
    p.Set_Percent(100);
    EXPECT_EQ(p.ProgressBar1->value(), 100);
}

TEST(ProgressWindowTest, LayoutFollowsTheWindowWidth) {
    Frm_progress p;
    p.resize(600, 120);
    p.show();
    EXPECT_EQ(p.ProgressBar1->width(), 420);
    EXPECT_EQ(p.ProgressBar1->x(), 60);  // a third of the room left over
    EXPECT_EQ(p.Text_caption->x(), 20);
    EXPECT_EQ(p.Text_caption->width(), 560);
}

TEST(ProgressWindowTest, FontShrinksUntilTheCaptionFits) {
    Frm_progress p;
    p.resize(300, 100);
    p.show();
    p.Set_Caption("Appending frames");
    p.Adapt_Font();
    EXPECT_EQ(p.Text_caption->font().pointSize(), 14);  // fits as it is

    p.Set_Caption("Appending frames to the recording of heat 12, please wait for the end");
    p.Adapt_Font();
    const QFont f = p.Text_caption->font();
    EXPECT_LT(f.pointSize(), 14);
    EXPECT_LE(QFontMetrics(f).horizontalAdvance(p.Text_caption->text()), 0.9 * p.Text_caption->width());
    QFont bigger = f;
    bigger.setPointSize(f.pointSize() + 1);
    EXPECT_GT(QFontMetrics(bigger).horizontalAdvance(p.Text_caption->text()), 0.9 * p.Text_caption->width());
}
