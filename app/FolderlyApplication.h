#pragma once

#include <QApplication>

// The application object. Every event goes through notify(), so an exception
// that escapes an event handler ends there: it is shown in the error box and
// the program goes on. Commands reached through signals are caught nearer,
// by Guarded (ui/ErrorReport.h), which says why. It installs the program's
// translation for the user's locale (ui/translations) as it is made.
class FolderlyApplication : public QApplication {
public:
    FolderlyApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The program's name, maker and version, for whichever application
    // object runs (the terminal's has no window).
    static void SetNames();
};
