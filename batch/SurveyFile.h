#pragma once
// The survey's file: one CSV line per ticked machine saying what its service is now. Made and
// written as the results file is (never replacing a file, each line on disk at once).
#include "batch/ResultsFile.h"

#include <chrono>
#include <string>

namespace vantrel {

// "_survey" + MMYYYY + "_" + HHMMSS + ".csv", local time.
std::string surveyFileName(std::chrono::system_clock::time_point when);

inline constexpr const char* SurveyHeader =
    "MACHINE,SERVICE,STATE,START TYPE,LOGON ACCOUNT,LOGON RIGHT,ERROR MESSAGE";

struct SurveyRow {
    std::string machine;
    std::string service;
    std::string state;
    std::string startType;
    std::string account;
    std::string logonRight;
    std::string error;
};

// The line of one machine, without the line end.
std::string surveyLine(const SurveyRow& r);

} // namespace vantrel
