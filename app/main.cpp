#include "app/FolderlyApplication.h"
#include "platform/ProgramFolder.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

int main(int argc, char* argv[])
{
    FolderlyApplication application(argc, argv);
    TForm1 form(platform::ProgramFolderFromEnvironment());
    try {
        form.FormCreate();
    } catch (const std::exception& error) {
        // A failed creation step is shown; the window opens all the same.
        ReportException(error);
    }
    form.show();
    return application.exec();
}
