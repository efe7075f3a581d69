#include "ui/ErrorReport.h"

#include <QApplication>

#include "ui/dialogs/MessageBoxes.h"

void ReportException(const std::exception& error)
{
    MessageBoxes::Error(QApplication::activeWindow(), QString::fromStdString(error.what()));
}
