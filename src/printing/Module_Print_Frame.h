#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "review/Module_Results.h"

class IPrint_Host;
class QWidget;

// The goal photo printout: one page with the event and heat heading, the
// displayed frame as a large photo or the placed dogs as small photos, the
// ranked result table and a footer identifying the recording, the program and
// the printer. It goes to the current printer (Module_PrinterDialog.h).
class cls_VideoFile_handler;

namespace Module_Print_Frame {

// The vendor's web address printed in the footer: setting "print_web_address"
// in section "Settings".
inline const std::string Web_Address_Key = "print_web_address";
inline const std::string Default_Web_Address = "www.houndex.example";
std::string Web_Address();
// What of a recording was simulated, for its footer ("simulated camera and
// Control Box"), read from its header; empty for a real heat.
std::string Simulated_Sources_Note(cls_VideoFile_handler& handler);

// The menu commands "Print this frame" (series false) and "Print Goal photo
// series" (true): a beep when no recording is open; otherwise the printer
// dialog first when the settings ask for it or Alt is held, then Print_Frame.
void Print_Command(IPrint_Host& host, QWidget* owner, bool series);

// Prints the page. Trapped: "Print_Frame of Form Form_Houndex".
void Print_Frame(IPrint_Host& host, bool series);

// Writes the caption onto the review picture: with no name the rank and box
// ("2     Dog:5") and below it the box's dog name from the header, otherwise
// only the given name. Trapped: "print_BOX_Time of Form Form_Houndex".
void print_BOX_Time(IPrint_Host& host, int16_t rank, int16_t box, const std::string& name);
void print_BOX_Time(IPrint_Host& host, const std::string& rank, int16_t box, const std::string& name);

// Menu "Dog Name": asks "Enter dog name for printing"; the answer is queued
// for the next single-frame print (a cancelled box answers "", which empties it).
void item_dog_name_Click(IPrint_Host& host);

// One row of the result table: rank, box, the name cut or padded to 27
// characters, split (blanks for a dog without one) and time texts (box delay added), the crossing estimated
// between two fields ("≈28,483") when there is one, " Dead heat" for a
// marked record.
std::string Table_Line(const std::string& rank, const Result_Record& record, int32_t box_delay);
// The table rows of a ranked array, numbered as the results window numbers
// them (Module_Results::Rank_Numbers), up to the first record without a goal time.
// With margins (Margins::Margin_Texts) each row ends in its dog's margin; a
// marked dead heat keeps its " Dead heat".
std::vector<std::string> Table_Lines(const Result_Array_Type& results, int32_t box_delay,
                                     const std::array<std::string, 6>* margins = nullptr);

// What the page says of a heat declared official: the declaration with its
// frame hash, then the latest changes of the audit trail (at most
// max_changes, with a line naming how many earlier ones the trail holds).
// Empty for a provisional heat.
std::vector<std::string> Official_Lines(cls_VideoFile_handler& handler, size_t max_changes = 6);

}  // namespace Module_Print_Frame
