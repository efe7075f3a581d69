#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <stdexcept>
#include <sys/stat.h>

#include "ExpectedBoxes.h"
#include "TempDir.h"
#include "core/Program.h"
#include "ui/ErrorReport.h"
#include "ui/FolderListBox.h"
#include "ui/Gauge.h"
#include "ui/Unit1.h"
#include "ui/dialogs/MessageBoxes.h"

namespace {

// Answers every box with OK and records what was asked.
class Boxes : public ExpectedBoxes {
public:
    Boxes() { AnswerAllWith(MessageBoxes::Answer::Ok); }
};

TEST(MainWindow, LayoutOfTheControls)
{
    TempDir home;
    Program program(home.Path() + "/");
    TForm1 form(program);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Folderly 1.3       "));
    EXPECT_EQ(form.size(), QSize(695, 477));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);

    struct Control {
        QWidget* widget;
        QRect geometry;
        QString caption;
    };
    const Control controls[] = {
        {form.Gauge1, {56, 288, 577, 25}, {}},
        {form.BitBtn11, {376, 288, 257, 33}, QStringLiteral("               Synchronize all")},
        {form.BitBtn10, {56, 288, 257, 33}, QStringLiteral("        Synchronize selected")},
        {form.ListBox1, {56, 112, 257, 153}, {}},
        {form.ListBox2, {376, 112, 257, 153}, {}},
        {form.BitBtn1, {56, 24, 257, 33}, QStringLiteral("           Add Path to List 1")},
        {form.BitBtn2, {376, 24, 257, 33}, QStringLiteral("            Add Path to List 2")},
        {form.ListBox3, {56, 368, 577, 57}, {}},
        {form.BitBtn3, {56, 432, 257, 33}, QStringLiteral("Synchronize selected")},
        {form.BitBtn4, {392, 432, 241, 33}, QStringLiteral("Synchronize all")},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(button->text(), c.caption);
        }
    }
    form.show();
    EXPECT_FALSE(form.Gauge1->isVisible());
    EXPECT_FALSE(form.BitBtn3->isVisible());
    EXPECT_FALSE(form.BitBtn4->isVisible());
    EXPECT_FALSE(form.Edit1->isVisible());
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("/"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Selected Directories / List 1"));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("Report List"));

    QStringList items;
    for (QAction* action : form.PopupMenu1->actions())
        items << action->text();
    EXPECT_EQ(
        items,
        (QStringList{"Synchro Now", "Add new", "Select all", "Deselect all", "Delete", "Clear all", "Copy Path"}));
}

TEST(MainWindow, TheReportListHasTheButtonFaceBackground)
{
    TempDir home;
    Program program(home.Path() + "/");
    TForm1 form(program);
    form.show();
    form.Core().Report().Append("v1.3");
    const QImage drawn = form.ListBox3->grab().toImage();
    const QColor face = form.palette().color(QPalette::Button);
    ASSERT_NE(face, form.palette().color(QPalette::Base));
    // Below the one line, inside the frame.
    EXPECT_EQ(drawn.pixelColor(drawn.width() / 2, drawn.height() - 6), face);
    EXPECT_EQ(drawn.pixelColor(drawn.width() - 30, 8), face);
}

TEST(MainWindow, ListBoxesFollowTheirListsBothWays)
{
    TempDir home;
    Program program(home.Path() + "/");
    TForm1 form(program);
    form.Core().List1().Add("/b");
    form.Core().List1().Add("/A");
    form.Core().List1().Add("/c");
    ASSERT_EQ(form.ListBox1->count(), 3);
    EXPECT_EQ(form.ListBox1->item(0)->text(), QStringLiteral("/A"));
    form.ListBox1->item(2)->setSelected(true);
    EXPECT_TRUE(form.Core().List1().Selected(2));
    EXPECT_EQ(form.Core().List1().SelCount(), 1);
    form.Selectall1Click();
    EXPECT_EQ(form.ListBox1->selectedItems().size(), 3);
    form.Delete1Click();
    EXPECT_EQ(form.ListBox1->count(), 0);
}

TEST(MainWindow, ARunShowsItsLinesTheGaugeAndTheSummary)
{
    TempDir home;
    ::mkdir((home / "a").c_str(), 0755);
    ::mkdir((home / "b").c_str(), 0755);
    WriteFile(home / "a/x", "new");
    SetMTime(home / "a/x", 1700000000);
    WriteFile(home / "b/x", "old");
    SetMTime(home / "b/x", 1600000000);
    MakeReadOnly(home / "b/x");
    WriteFile(home / "a/y", "new");
    SetMTime(home / "a/y", 1700000000);
    WriteFile(home / "b/y", "old");
    SetMTime(home / "b/y", 1600000000);

    Program program(home.Path() + "/");
    TForm1 form(program);
    form.show();
    form.Core().List1().Add(home / "a");
    form.Core().List2().Add(home / "b");
    std::vector<std::string> balloons;
    form.SetBalloonHandler(
        [&](const std::string& text, const std::string&, TBalloonIconType) { balloons.push_back(text); });
    Boxes boxes;

    form.BitBtn11->click();

    ASSERT_EQ(form.ListBox3->count(), 2);
    QStringList lines{form.ListBox3->item(0)->text(), form.ListBox3->item(1)->text()};
    lines.sort();
    EXPECT_EQ(lines[0], QString::fromStdString(home / "b/x") + " could not be updated because it is Read-Only File");
    EXPECT_EQ(lines[1], QString::fromStdString(home / "b/y") + " updated successfully");
    EXPECT_EQ(form.Gauge1->Progress(), 100);
    EXPECT_FALSE(form.Gauge1->isVisible());
    EXPECT_TRUE(form.BitBtn10->isVisible());
    EXPECT_TRUE(form.BitBtn11->isVisible());
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].first, MessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.asked[0].second,
              QStringLiteral("Some files could not be updated. Please see details in Report list"));
    EXPECT_EQ(balloons, std::vector<std::string>{"Folderly is processing now"});
}

TEST(MainWindow, CopyPathGoesThroughTheHiddenCarrier)
{
    TempDir home;
    Program program(home.Path() + "/");
    TForm1 form(program);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    form.CopyPath2Click();  // nothing selected: the carrier's first text
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/"));
    form.CopyPath2Click();  // carrier now empty: clipboard kept
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/"));
    form.Core().List2().Add("/x");
    form.Core().List2().Add("/y");
    form.Core().List2().SelectAll();
    form.CopyPath2Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/x"));
    EXPECT_TRUE(form.Edit1->text().isEmpty());
}

TEST(ErrorReport, AnExceptionEndingACommandIsShownWithAFullStop)
{
    Boxes boxes;
    const std::pair<const char*, const char*> cases[] = {
        {"File access denied", "File access denied."},
        {"Unable to create directory", "Unable to create directory."},
        {"Already stopped.", "Already stopped."},
    };
    for (const auto& [thrown, shown] : cases) {
        const std::string message = thrown;
        auto command = Guarded([message] { throw std::runtime_error(message); });
        command();
        ASSERT_FALSE(boxes.asked.empty());
        EXPECT_EQ(boxes.asked.back().first, MessageBoxes::Kind::Error);
        EXPECT_EQ(boxes.asked.back().second, QString::fromLatin1(shown));
    }
    EXPECT_EQ(boxes.asked.size(), 3u);
}

}  // namespace
