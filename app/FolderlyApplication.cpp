#include "app/FolderlyApplication.h"

#include "ui/ErrorReport.h"
#include "ui/translations/Translations.h"

void FolderlyApplication::SetNames()
{
    setApplicationName(QStringLiteral("Folderly"));
    setOrganizationName(QStringLiteral("Vantrel"));
    setApplicationVersion(QStringLiteral("1.3"));
}

FolderlyApplication::FolderlyApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    SetNames();
    // The program lives on in the tray without a window; closing the main
    // window is what ends it.
    setQuitOnLastWindowClosed(false);
    // The hints and messages in the user's language, before the window
    // takes them.
    LoadTranslations(QLocale());
}

bool FolderlyApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportException(error);
    }
    return false;
}
