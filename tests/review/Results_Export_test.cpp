// The result files: what a spreadsheet makes of the CSV's text cells.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Test_Name.h"
#include "review/Results_Export.h"

namespace {

struct Cell_Case {
    const char* name;
    const char* text;     // put into every free-text cell: event, heat ID and name, dog
    const char* written;  // each of those cells as written
};

class Csv_Text_Cells : public ::testing::TestWithParam<Cell_Case> {};

TEST_P(Csv_Text_Cells, AreWrittenSoASpreadsheetShowsThemAsTextAndNumbersStayNumbers) {
    const Cell_Case& c = GetParam();
    Results_Export::Heat_Results heat;
    heat.event = heat.heat_id = heat.heat_name = c.text;
    heat.box_delay = -40;
    Results_Export::Export_Row row;
    row.rank = "1";
    row.box = 2;
    row.dog = c.text;
    // A negative box delay can take a time below zero: it is still a number.
    row.time = "-0,02";
    row.time_ms = -20;
    row.split = "-0,01";
    row.split_ms = -10;
    row.result = "time";
    heat.rows.push_back(row);

    const std::string csv = Results_Export::To_Csv({heat});
    const std::string line = csv.substr(csv.find("\r\n") + 2);
    const std::string w = c.written;
    EXPECT_EQ(line, w + "," + w + "," + w + ",provisional,1,2," + w + ",\"-0,02\",-20,\"-0,01\",-10,time,false,\r\n");
}

const Cell_Case Cell_Cases[] = {
    {"plain name", "Dash", "Dash"},
    {"empty", "", ""},
    {"equals", "=1+2", "\"'=1+2\""},
    {"formula with quotes", "=HYPERLINK(\"http://x\",\"win\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"win\"\")\""},
    {"plus", "+44 123", "\"'+44 123\""},
    {"minus", "-3", "\"'-3\""},
    {"at", "@SUM(A1:A9)", "\"'@SUM(A1:A9)\""},
    {"leading tab", "\tDash", "\"'\tDash\""},
    {"leading carriage return", "\r=1", "\"'\r=1\""},
    {"equals inside", "Dash=Fast", "Dash=Fast"},
    {"minus inside", "Jean-Luc", "Jean-Luc"},
    {"space before equals", " =1", " =1"},
    {"comma", "Fox, the Flyer", "\"Fox, the Flyer\""},
    {"quote first", "'Dash", "'Dash"},
};
INSTANTIATE_TEST_SUITE_P(Cells, Csv_Text_Cells, ::testing::ValuesIn(Cell_Cases), By_Name());

}  // namespace
