#pragma once
#include <string>
#include <vector>

// The distance table for beaten distances in lengths, kept in the settings file.

// The distance table. A margin below Short_Head lengths is a short head,
// below Head a head, below Neck a neck; from Neck on it is given in quarter
// lengths (nearest quarter, at least a half). A marked dead heat is a dead heat.
struct Margin_Table {
    double Seconds_Per_Length = 0.08;  // greyhound racing's figure
    double Short_Head = 0.1;
    double Head = 0.2;
    double Neck = 0.375;
};

namespace Margins {

// Section and keys of the table in the settings file.
inline const std::string Section = "Margins";
inline const std::string Key_Seconds_Per_Length = "seconds_per_length";
inline const std::string Key_Short_Head = "short_head";
inline const std::string Key_Head = "head";
inline const std::string Key_Neck = "neck";

// A setting's value as a positive number of at most max; false for anything
// else ("", "abc", "0", "-1", "1e400"), so a typing slip never ranks a dog.
bool Parse_Setting(const std::string& text, double max, double& value);

// The table from the settings file; a missing or unusable value keeps its
// default and is named in problems ("neck: 'x' is not a positive number").
Margin_Table Load_Table(const std::string& ini_path, std::vector<std::string>* problems = nullptr);
// Empty when the table is consistent, else why not (bounds not rising).
std::string Check_Table(const Margin_Table& table);

}  // namespace Margins
