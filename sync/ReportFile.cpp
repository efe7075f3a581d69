#include "sync/ReportFile.h"

#include "platform/fs/TextFile.h"
#include "sync/ReportList.h"

#include <vector>

std::string ReportFilePath(const std::string& programFolder)
{
    if (!programFolder.empty() && programFolder.back() == '/')
        return programFolder + kReportFileName;
    return programFolder + "/" + kReportFileName;
}

std::string ReportSavedMessage(const std::string& reportPath)
{
    return kReportSavedText + reportPath;
}

std::string SaveReportFile(const ReportList& report, const std::string& headerLine, const std::string& programFolder)
{
    const std::vector<std::string>& lines = report.Lines();
    std::vector<std::string> content;
    content.reserve(lines.size() + 1);
    content.push_back(headerLine);
    content.insert(content.end(), lines.rbegin(), lines.rend());

    std::string path = ReportFilePath(programFolder);
    platform::WriteTextLines(path, content);
    return path;
}
