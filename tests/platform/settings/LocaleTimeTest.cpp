#include "platform/settings/LocaleTime.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include <string>

namespace {

TEST(LocaleTime, HeaderIsShortDateThreeBlanksLongTime)
{
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    struct Case {
        QLocale locale;
        const char* header;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "3/5/24   2:07:09 PM"},
        {QLocale(QLocale::German, QLocale::Germany), "05.03.24   14:07:09"},
        {QLocale(QLocale::Russian, QLocale::Russia), "05.03.2024   14:07:09"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::ReportHeaderLine(c.locale, when), c.header) << c.locale.name().toStdString();
}

TEST(LocaleTime, EveryLocalesLongTimeKeepsSecondsAndDropsTheZone)
{
    const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const std::string format = platform::LongTimeFormat(locale);
        bool quoted = false;
        bool seconds = false;
        bool zone = false;
        for (char c : format) {
            if (c == '\'')
                quoted = !quoted;
            else if (!quoted && c == 's')
                seconds = true;
            else if (!quoted && c == 't')
                zone = true;
        }
        EXPECT_TRUE(seconds && !zone) << locale.name().toStdString() << ": " << format;
        EXPECT_EQ(format, QString::fromStdString(format).trimmed().toStdString()) << locale.name().toStdString();
    }
}

}  // namespace
