#include "platform/settings/LocaleTime.h"

#include <QDateTime>
#include <QLocale>

namespace platform {
namespace {

// Drops every unquoted run of 't' (the zone) from a Qt time format, with the
// blanks in front of it.
QString WithoutTimeZone(const QString& format)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            result += c;
        } else if (!quoted && c == QLatin1Char('t')) {
            while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('t'))
                ++i;
            while (result.endsWith(QLatin1Char(' ')))
                result.chop(1);
        } else {
            result += c;
        }
    }
    return result.trimmed();
}

}  // namespace

std::string LongTimeFormat(const QLocale& locale)
{
    return WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)).toStdString();
}

std::string ReportHeaderLine(const QLocale& locale, const QDateTime& when)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    const QString time = locale.toString(when.time(), QString::fromStdString(LongTimeFormat(locale)));
    return (date + QStringLiteral("   ") + time).toStdString();
}

std::string ReportHeaderLine()
{
    return ReportHeaderLine(QLocale::system(), QDateTime::currentDateTime());
}

}  // namespace platform
