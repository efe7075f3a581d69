#pragma once

#include <string>

class QDateTime;
class QLocale;

namespace platform {

// The first line of the report file: the date in the locale's short format,
// three blanks, the time in the locale's long format (with seconds). The
// program uses QLocale::system() and the current local time.
std::string ReportHeaderLine();
std::string ReportHeaderLine(const QLocale& locale, const QDateTime& when);

// The locale's long time format without its time-zone field: the long time
// of the desktop's settings is the clock time only.
std::string LongTimeFormat(const QLocale& locale);

}  // namespace platform
