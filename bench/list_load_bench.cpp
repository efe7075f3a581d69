// Measuring tool: how long the start takes to load a long List1.txt into the
// real main window (list file, folder list and its list control), "Select
// all" and "Deselect all" on it, and the close to write it back. Runs on
// Qt's offscreen platform in a scratch home.
//
//   folderly_list_bench [ENTRIES]     (default 100000)

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Lifecycle.h"
#include "core/Program.h"
#include "ui/FolderListBox.h"
#include "ui/Unit1.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Folder texts as users keep them: varied depth, case and length, in no order.
void WriteListFile(const std::string& path, int entries)
{
    std::ofstream out(path, std::ios::binary);
    unsigned seed = 12345;
    for (int i = 0; i < entries; ++i) {
        seed = seed * 1103515245u + 12345u;
        out << (seed % 3 == 0 ? "/home/User/Projects/" : "/srv/backup/photos/") << (seed >> 8) % 1000 << "/Folder " << i
            << "\r\n";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    QApplication application(argc, argv);
    QTemporaryDir home;
    const std::string folder = home.path().toStdString() + "/Folderly/";
    std::filesystem::create_directories(folder);
    WriteListFile(folder + "List1.txt", entries);

    Program program(folder, home.path().toStdString() + "/Folderly.conf", home.path().toStdString() + "/autostart");
    TForm1 form(program);
    Lifecycle lifecycle(form.Core());
    const auto start = Clock::now();
    lifecycle.FormCreate();
    form.show();
    QApplication::processEvents();
    const auto shown = Clock::now();
    form.Selectall1Click();
    QApplication::processEvents();
    const auto selected = Clock::now();
    const int selectedRows = static_cast<int>(form.ListBox1->selectionModel()->selectedRows().size());
    form.Deselectall1Click();
    QApplication::processEvents();
    const auto deselected = Clock::now();
    if (!lifecycle.FormClose())
        return 1;
    const auto closed = Clock::now();

    std::printf("entries %d, shown %d, selected by Select all %d\n", form.Core().List1().Count(),
                form.ListBox1->count(), selectedRows);
    std::printf("start until the window is shown %.3f s, select all %.3f s, deselect all %.3f s, close %.3f s\n",
                Seconds(shown - start), Seconds(selected - shown), Seconds(deselected - selected),
                Seconds(closed - deselected));
    return form.ListBox1->count() == entries ? 0 : 1;
}
