// What the server keeps of a meeting's heats: the boards' lines in the order
// of their changes, the heat opened for review apart from them, and the goal
// photos of the latest heats only.
#include <string>

#include <QImage>
#include <gtest/gtest.h>

#include "web/Web_Content.h"

namespace {

Web_Heat Heat(int n, const std::string& change, bool official = false) {
    Web_Heat h;
    h.File = "/meeting/heat " + std::to_string(n) + ".nx3";
    h.Line = "{\"change\":\"" + change + "\",\"heat\":{\"heat_id\":\"" + std::to_string(n) + "\"}}";
    h.Official = official;
    if (official) {
        h.Photo = QImage(8, 4, QImage::Format_RGB32);
        h.Photo.fill(Qt::green);
    }
    return h;
}

int Status(Web_Content& content, const std::string& path) {
    Http_Request r;
    r.Method = "GET";
    r.Path = path;
    return content.Respond(r).Status;
}

TEST(Web_Content, BoardsGetTheLastChangeOfEachHeatInTheOrderOfTheChanges) {
    Web_Content content;
    content.Update(Heat(1, "time"), false);
    content.Update(Heat(2, "time"), false);
    content.Update(Heat(1, "official", true), false);
    // Opening heat 2 again is no change for the boards.
    content.Update(Heat(2, "opened"), true);
    content.Update(Heat(3, "opened"), true);
    const std::vector<std::string> lines = content.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"time\",\"heat\":{\"heat_id\":\"2\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\"official\""), std::string::npos) << lines[1];
    EXPECT_EQ(content.On_Screen_Message(), "{\"on_screen\":3}");
}

TEST(Web_Content, OnlyTheLatestHeatsKeepTheirGoalPhoto) {
    Web_Content content;
    const int heats = static_cast<int>(Web_Content::Max_Photos) + 2;
    for (int n = 1; n <= heats; ++n) content.Update(Heat(n, "official", true), false);
    EXPECT_EQ(Status(content, "/api/heats/1/photo.png"), 404);
    EXPECT_EQ(Status(content, "/api/heats/2/photo.png"), 404);
    EXPECT_EQ(Status(content, "/api/heats/3/photo.png"), 200);
    EXPECT_EQ(Status(content, "/api/heats/" + std::to_string(heats) + "/photo.png"), 200);
    // A change that keeps the heat official keeps its photo; the picture comes with changes only.
    Web_Heat again = Heat(3, "correction", true);
    again.Photo = QImage();
    content.Update(again, false);
    EXPECT_EQ(Status(content, "/api/heats/3/photo.png"), 200);
    // A heat provisional again shows none.
    content.Update(Heat(3, "cleared"), false);
    EXPECT_EQ(Status(content, "/api/heats/3/photo.png"), 404);
}

}  // namespace
