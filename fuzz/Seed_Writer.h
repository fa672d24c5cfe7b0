#pragma once
#include <string>

// Seed inputs made by the program's own writers, one folder per fuzz target
// (nx3, header, event, dog_import, ini, jpeg) under root. Returns the number
// of files written; failures are printed.
int Write_Seeds(const std::string& root);
