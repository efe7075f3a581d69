#pragma once

#include <QLocale>

// Installs the program's translation for the languages of locale (QLocale()
// is the user's: Qt reads LANGUAGE, LC_ALL, LC_MESSAGES and LANG), in place
// of the one this installed before; false when no translation matches, and
// the English texts show. Only the program's own texts are translated: Qt's
// (the buttons of its boxes and dialogs) stay as they are. Call it before the
// window is made, which takes its hints when it is built.
bool LoadTranslations(const QLocale& locale);
