#include "ui/translations/Translations.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace {

// The translation installed last, owned by the application object.
QPointer<QTranslator> installed;

}  // namespace

bool LoadTranslations(const QLocale& locale)
{
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    // folderly_ru.qm and so on, compiled in by this library's CMakeLists.
    if (!translator->load(locale, QStringLiteral("folderly"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
