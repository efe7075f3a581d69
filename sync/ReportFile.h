#pragma once

#include <string>

class ReportList;

// The file the Report list is saved to, in the program folder.
inline constexpr char kReportFileName[] = "report.txt";
// The confirmation after a save, followed by the file's path.
inline constexpr char kReportSavedText[] = "Report was saved in ";
// The line every start appends to the Report list.
inline constexpr char kVersionReportLine[] = "v1.3";

// The path of the report file in the program folder (with or without its
// trailing '/').
std::string ReportFilePath(const std::string& programFolder);

// The confirmation text naming where the report went.
std::string ReportSavedMessage(const std::string& reportPath);

// Save Report: replaces the report file in the program folder with the
// header line and then the Report list from the newest line to the oldest,
// each ending in CR LF. The file is replaced as a whole, so a failed save
// leaves the previous report as it was. Returns the path written. Throws
// platform::EInOutError when the file cannot be written.
std::string SaveReportFile(const ReportList& report, const std::string& headerLine, const std::string& programFolder);
