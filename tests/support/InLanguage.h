#pragma once

#include <QLocale>

#include "ui/translations/Translations.h"

// The program's texts in a language for a scope, installed as the program
// installs them at its start (LoadTranslations); English again after.
// Needs folderly_translations.
class InLanguage {
public:
    explicit InLanguage(const QLocale& locale) : loaded(LoadTranslations(locale)) {}
    ~InLanguage() { LoadTranslations(QLocale(QLocale::English)); }
    InLanguage(const InLanguage&) = delete;
    InLanguage& operator=(const InLanguage&) = delete;

    const bool loaded;
};

inline QLocale Russian()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}
