#pragma once
#include <string>

#include "recording/Frame_Compressor.h"

// Seed inputs made by the program's own writers, one folder per fuzz target
// (nx3, header, event, dog_import, ini, jpeg, journal, audit,
// box_line, http_request) under root. Returns the number
// of files written; failures are printed.
int Write_Seeds(const std::string& root);

// The recording fuzz_journal folds its journals into: Journal_Samples frames
// stamped 5020, 5040, ... (written at path, replacing what is there), and
// the settings its later windows are fitted with as they arrive.
constexpr int Journal_Samples = 3;
bool Write_Journal_Recording(const std::string& path, Fit_Settings* settings = nullptr);

// The official heat fuzz_audit checks its trails against: the journal's
// recording with two results, declared official, then `changes` (0 to 2) of
// its results changed with a reason. Made the same way every time under the
// fuzz targets' fixed clock, so a seed's trail fits the target's recording.
constexpr int Audit_States = 3;
bool Write_Official_Recording(const std::string& path, int changes);
