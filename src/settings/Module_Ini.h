#pragma once
#include <cstdint>
#include <string>

// The settings store: one sectioned key=value text file, read and written one
// key at a time. Section and key names match without regard to case.

// A missing or empty value reads as default_value, or "N/A" when that is empty.
std::string Read_Ini(const std::string& section, const std::string& key, const std::string& path,
                     const std::string& default_value);
// 1 on success; on failure shows the " NXF Error" message and returns 0.
int16_t Write_Ini(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& path);

// A value of the "Settings" section of the program's settings file; "" when not stored.
std::string Stored_Setting(const char* key, const char* fallback);
// text as a whole number from low to high; otherwise raises error 13 naming the setting key.
long long Setting_Whole_Number(const std::string& text, long long low, long long high, const char* key);

void Store_Form_Pos(const std::string& form_name, int left, int top, int width, int height);
void Get_Form_Pos(const std::string& form_name, int& left, int& top, int& width, int& height,
                  bool keep_off_screen = false);
