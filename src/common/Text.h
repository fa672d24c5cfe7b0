#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Small text routines every level shares, so that each rule lives in one place.

// ASCII case only: names, options and keys are compared as the user typed them,
// whatever the locale.
std::string Lower_Case(std::string text);
std::string Upper_Case(std::string text);
bool Same_Ignoring_Case(std::string_view a, std::string_view b);

// Without the spaces and tabs at both ends.
std::string Trim_Blanks(std::string_view text);

// A whole decimal number: an optional sign and at least one digit, nothing else
// (callers that allow blanks trim them first).
enum class Whole_Number { Ok, Not_A_Number, Out_Of_Range };
Whole_Number Parse_Whole_Number(std::string_view text, int64_t& value);
// True when text is a whole number within [low, high]; value is set only then.
bool Whole_Number_In(std::string_view text, int64_t low, int64_t high, int64_t& value);

// The text as a quoted JSON string (UTF-8 passes through; control characters escaped).
std::string Json_Text(std::string_view text);
