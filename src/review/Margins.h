#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "review/Module_Results.h"
#include "settings/Margin_Settings.h"

// Beaten distances in lengths: how far each ranked dog finished behind the
// one in front, from the time between them, in the words officials use.

namespace Margins {

// The margin of a dog ms milliseconds behind the one in front (ms >= 0):
// "short head", "head", "neck", "1/2 length", "3/4 length", "1 length",
// "1 1/4 lengths", "12 1/2 lengths".
std::string Margin_Text(int32_t ms, const Margin_Table& table);

// The margin of each dog of a ranked array behind the dog ranked above it:
// "" for the winner and for every dog without a goal time (DNF, DSQ, no rank,
// no time), "dead heat" for a dog marked as such.
std::array<std::string, 6> Margin_Texts(const Result_Array_Type& ranked, const Margin_Table& table);

}  // namespace Margins
