#include <cstdlib>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <thread>

#include "ExpectedBoxes.h"
#include "InLanguage.h"
#include "QtTestUtil.h"
#include "TempDir.h"
#include "core/Program.h"
#include "platform/fs/FileSystemTesting.h"
#include "ui/ClickableLabel.h"
#include "ui/ErrorReport.h"
#include "ui/FolderListBox.h"
#include "ui/Gauge.h"
#include "ui/Unit1.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/dialogs/SelectDirectoryDialog.h"
#include "ui/options/OptionsPanel.h"

namespace {

// A window whose settings live in a temporary folder, whose documents and
// addresses are recorded instead of opened, and whose boxes are answered.
class Window {
public:
    Window() : program(home.Path() + "/", home / "Folderly.conf", home / "autostart.desktop"), form(program)
    {
        form.SetHelpFolder(QString::fromStdString(home / "help"));
        form.SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        boxes.AnswerAllWith(MessageBoxes::Answer::Ok);
    }
    // The texts of the boxes shown so far.
    QStringList Messages() const
    {
        QStringList texts;
        for (const auto& [kind, text] : boxes.asked)
            texts.push_back(text);
        return texts;
    }
    // a/Docs in List 1 and b/Docs in List 2, both there.
    void ListTwoFolders()
    {
        std::filesystem::create_directories(home / "a/Docs");
        std::filesystem::create_directories(home / "b/Docs");
        program.List1().Add(home / "a/Docs");
        program.List2().Add(home / "b/Docs");
    }

    TempDir home;
    Program program;
    TForm1 form;
    std::vector<QUrl> opened;
    ExpectedBoxes boxes;
};

void Click(QWidget* widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void Click(QWidget* widget)
{
    Click(widget, widget->rect().center());
}

void MoveOver(QWidget* widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void MoveOver(QWidget* widget)
{
    MoveOver(widget, widget->rect().center());
}

QColor LinkColour(const TForm1& form)
{
    return form.StaticText1->palette().color(form.StaticText1->foregroundRole());
}

// How much of a colour a widget really draws: its text's smoothed edges
// blend it with the background, so a pixel near enough counts (black, or
// navy for purple, is not).
int PixelsOf(QWidget* widget, const QColor& colour)
{
    const QImage drawn = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor c = drawn.pixelColor(x, y);
            count += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                    + std::abs(c.blue() - colour.blue())
                < 64;
        }
    }
    return count;
}

TEST(MainWindowComplete, HelpButtonsLinkAndPictures)
{
    const InLanguage russian(Russian());
    ASSERT_TRUE(russian.loaded);
    Window w;
    TForm1& form = w.form;
    form.show();

    struct Control {
        QWidget* widget;
        QRect geometry;
        QString hint;
        QSize picture;  // of a picture, or of a button's picture
    };
    const Control controls[] = {
        {form.Image1, {368, 440, 25, 25}, {}, {21, 21}},
        {form.Image2, {56, 432, 41, 41}, TForm1::kCompanyName, {32, 32}},
        {form.Image3, {96, 432, 41, 41}, TForm1::kSiteGroupName, {36, 32}},
        {form.BitBtn6, {232, 64, 33, 33}, QStringLiteral("Помощь"), {21, 21}},
        {form.BitBtn12, {280, 64, 33, 33}, QStringLiteral("Полезные мелочи"), {21, 21}},
        {form.StaticText1, {400, 440, 220, 17}, QStringLiteral("На сайт автора"), {}},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(c.widget->toolTip(), c.hint);
        EXPECT_TRUE(c.widget->isVisible());
        if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(button->text(), QString());
            EXPECT_FALSE(button->icon().isNull());
            EXPECT_EQ(button->iconSize(), c.picture);
        } else if (c.picture.isValid()) {
            auto* label = qobject_cast<QLabel*>(c.widget);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->pixmap().size(), c.picture);
        }
    }
    EXPECT_FALSE(TForm1::kCompanyName.isEmpty());
    EXPECT_FALSE(TForm1::kSiteGroupName.isEmpty());
    // The decoration lets the background show through.
    EXPECT_TRUE(form.Image1->pixmap().hasAlphaChannel());
    for (QWidget* handy : {static_cast<QWidget*>(form.Image2), static_cast<QWidget*>(form.Image3),
                           static_cast<QWidget*>(form.StaticText1)})
        EXPECT_EQ(handy->cursor().shape(), Qt::PointingHandCursor) << handy->objectName().toStdString();

    // The link reads whole in its box, navy and plain at rest.
    EXPECT_EQ(form.StaticText1->text(), TForm1::kLinkCaption);
    EXPECT_TRUE(TForm1::kLinkCaption.contains(QStringLiteral("2008")));
    EXPECT_TRUE(TForm1::kLinkCaption.contains(TForm1::kAuthorAddress.host()));
    EXPECT_LE(form.StaticText1->fontMetrics().horizontalAdvance(TForm1::kLinkCaption), 220);
    EXPECT_EQ(LinkColour(form), QColor(0, 0, 128));
    EXPECT_FALSE(form.StaticText1->font().underline());
    EXPECT_GT(PixelsOf(form.StaticText1, QColor(0, 0, 128)), 20);

    // The buttons with pictures; "Save Report" has none.
    for (QPushButton* button :
         {form.BitBtn1, form.BitBtn2, form.BitBtn10, form.BitBtn11, form.BitBtn5, form.BitBtn6, form.BitBtn12}) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->iconSize(), QSize(21, 21));
    }
    EXPECT_TRUE(form.BitBtn7->icon().isNull());
    // The desktop's family; the sizes are the business of CaptionsFitTest.
    EXPECT_EQ(form.font().family(), QApplication::font().family());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST(MainWindowComplete, StackingAndTabOrder)
{
    Window w;
    TForm1& form = w.form;
    const QObjectList& stack = form.children();  // bottom to top
    const auto level = [&stack](QWidget* widget) { return stack.indexOf(widget); };

    // Labels, pictures and the gauge lie beneath every box, button and list.
    const QWidget* beneath[] = {form.Gauge1, form.Label1, form.Label2, form.Label3,
                                form.Image1, form.Image2, form.Image3};
    QWidget* const windowed[] = {form.BitBtn3,  form.BitBtn7,   form.BitBtn4,     form.BitBtn11,
                                 form.BitBtn10, form.ListBox1,  form.ListBox2,    form.BitBtn1,
                                 form.BitBtn2,  form.Edit1,     form.ListBox3,    form.BitBtn5,
                                 form.BitBtn6,  form.GroupBox1, form.StaticText1, form.BitBtn12};
    for (const QWidget* low : beneath)
        for (QWidget* high : windowed)
            EXPECT_LT(stack.indexOf(low), level(high))
                << low->objectName().toStdString() << " over " << high->objectName().toStdString();
    // The panel covers what comes before it and lies under what comes after.
    for (QWidget* under : {static_cast<QWidget*>(form.BitBtn7), static_cast<QWidget*>(form.ListBox1),
                           static_cast<QWidget*>(form.BitBtn5), static_cast<QWidget*>(form.BitBtn6)})
        EXPECT_LT(level(under), level(form.GroupBox1)) << under->objectName().toStdString();
    EXPECT_GT(level(form.StaticText1), level(form.GroupBox1));
    EXPECT_GT(level(form.BitBtn12), level(form.GroupBox1));

    // Keyboard order: the panel's controls stand where the panel stands; the
    // link text takes no focus.
    const QList<QWidget*> expected = {form.ListBox1,  form.ListBox2, form.BitBtn1,  form.BitBtn2, form.BitBtn3,
                                      form.BitBtn4,   form.Edit1,    form.ListBox3, form.BitBtn5, form.BitBtn6,
                                      form.GroupBox1, form.BitBtn10, form.BitBtn11, form.BitBtn7, form.BitBtn12};
    EXPECT_EQ(form.StaticText1->focusPolicy(), Qt::NoFocus);
    QList<QWidget*> chain;
    int panelStops = 0;
    QWidget* at = form.ListBox1;
    for (int steps = 0; steps < 1000; ++steps) {
        QWidget* stop = (at->focusPolicy() & Qt::TabFocus) ? at : nullptr;
        if (stop && form.GroupBox1->isAncestorOf(at)) {
            stop = form.GroupBox1;
            ++panelStops;
        }
        if (expected.contains(stop) && (chain.isEmpty() || chain.back() != stop))
            chain.push_back(stop);
        at = at->nextInFocusChain();
        if (at == form.ListBox1)
            break;
    }
    EXPECT_GT(panelStops, 5);
    const auto names = [](const QList<QWidget*>& widgets) {
        QStringList list;
        for (QWidget* widget : widgets)
            list << widget->objectName();
        return list.join(QLatin1Char(' ')).toStdString();
    };
    EXPECT_EQ(names(chain), names(expected));
}

TEST(MainWindowComplete, HelpDocumentsOpenWhenPresentElseTheMessage)
{
    struct Case {
        const char* name;
        void (TForm1::*command)();
        QString document;
    };
    const Case cases[] = {
        {"program help", &TForm1::BitBtn6Click, TForm1::kHelpFileName},
        {"useful little things", &TForm1::BitBtn12Click, TForm1::kSecondHelpFileName},
    };
    EXPECT_EQ(TForm1::kHelpFileName, QStringLiteral("FOLDERLY_13.HLP"));
    EXPECT_EQ(TForm1::kSecondHelpFileName, QStringLiteral("ALLPROGS.HLP"));
    // The message in Russian, as under a Russian locale.
    const InLanguage russian(Russian());
    ASSERT_TRUE(russian.loaded);
    const QString helpNotFound = QStringLiteral("Файл справки не найден");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        const std::string folder = w.home / "help";
        const std::string path = folder + "/" + c.document.toStdString();

        // No folder at all, then the folder with the other document only.
        (w.form.*c.command)();
        std::filesystem::create_directory(folder);
        const QString other = c.document == TForm1::kHelpFileName ? TForm1::kSecondHelpFileName : TForm1::kHelpFileName;
        WriteFile(folder + "/" + other.toStdString(), "other\n");
        (w.form.*c.command)();
        // A folder under the document's name is no document.
        std::filesystem::create_directory(path);
        (w.form.*c.command)();
        EXPECT_EQ(w.Messages(), QStringList(3, helpNotFound));
        EXPECT_TRUE(w.opened.empty());

        std::filesystem::remove(path);
        WriteFile(path, "help\n");
        w.boxes.asked.clear();
        (w.form.*c.command)();
        EXPECT_TRUE(w.Messages().isEmpty());
        ASSERT_EQ(w.opened.size(), 1u);
        EXPECT_EQ(w.opened[0], QUrl::fromLocalFile(QString::fromStdString(path)));
    }

    // The buttons run the commands, and the folder dialog's Help is the program's help.
    Window w;
    Click(w.form.BitBtn6);
    Click(w.form.BitBtn12);
    EXPECT_EQ(w.Messages(), QStringList(2, helpNotFound));
    std::filesystem::create_directory(w.home / "help");
    WriteFile(w.home / "help/FOLDERLY_13.HLP", "help\n");
    SelectDirectoryDialog dialog(&w.form);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Help)->click();
    ASSERT_EQ(w.opened.size(), 1u);
    EXPECT_EQ(w.opened[0], QUrl::fromLocalFile(QString::fromStdString(w.home / "help/FOLDERLY_13.HLP")));
}

// Without a program to open documents (no xdg-open), a help button says so
// and names the document, instead of doing nothing.
TEST(MainWindowComplete, HelpDocumentWithNoProgramToOpenItIsSaid)
{
    struct Case {
        void (TForm1::*command)();
        QString document;
    };
    for (const Case& c : {Case{&TForm1::BitBtn6Click, TForm1::kHelpFileName},
                          Case{&TForm1::BitBtn12Click, TForm1::kSecondHelpFileName}}) {
        SCOPED_TRACE(c.document.toStdString());
        Window w;
        std::filesystem::create_directory(w.home / "help");
        const std::string path = w.home / ("help/" + c.document.toStdString());
        WriteFile(path, "help\n");
        w.form.SetUrlOpener([&w](const QUrl& url) {
            w.opened.push_back(url);
            return false;
        });
        (w.form.*c.command)();
        ASSERT_EQ(w.opened.size(), 1u);
        ASSERT_EQ(w.boxes.asked.size(), 1u);
        EXPECT_EQ(w.boxes.asked[0].first, MessageBoxes::Kind::Information);
        EXPECT_EQ(w.boxes.asked[0].second, TForm1::kNoProgramForDocument.arg(QString::fromStdString(path)));
        EXPECT_TRUE(w.boxes.asked[0].second.contains(QString::fromStdString(path)));
    }
}

TEST(MainWindowComplete, LinksOpenTheirAddresses)
{
    Window w;
    w.form.show();
    struct Case {
        QWidget* link;
        QUrl address;
    };
    const Case cases[] = {
        {w.form.StaticText1, TForm1::kAuthorAddress},
        {w.form.Image2, TForm1::kCompanyAddress},
        {w.form.Image3, TForm1::kSiteGroupAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link->objectName().toStdString());
        w.opened.clear();
        Click(c.link);
        ASSERT_EQ(w.opened.size(), 1u);
        EXPECT_EQ(w.opened[0], c.address);
        EXPECT_TRUE(c.address.isValid());
        EXPECT_TRUE(c.address.scheme() == QStringLiteral("https"));
        // A press that ends elsewhere is no click.
        w.opened.clear();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), c.link->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(c.link, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-30, -30), c.link->mapToGlobal(QPointF(-30, -30)),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(c.link, &release);
        EXPECT_TRUE(w.opened.empty());
    }
    // The three addresses are different places.
    EXPECT_NE(TForm1::kAuthorAddress, TForm1::kCompanyAddress);
    EXPECT_NE(TForm1::kCompanyAddress, TForm1::kSiteGroupAddress);
    EXPECT_TRUE(w.Messages().isEmpty());
}

TEST(MainWindowComplete, LinkLightsUpUntilTheMouseCrossesTheBackground)
{
    Window w;
    TForm1& form = w.form;
    form.show();
    const QColor navy(0, 0, 128), purple(128, 0, 128);
    const QPoint background(20, 20);
    ASSERT_EQ(form.childAt(background), nullptr);

    MoveOver(form.StaticText1);
    EXPECT_EQ(LinkColour(form), purple);
    EXPECT_TRUE(form.StaticText1->font().underline());
    EXPECT_GT(PixelsOf(form.StaticText1, purple), 20);

    // Straight onto other controls: it stays lit.
    for (QWidget* other : {static_cast<QWidget*>(form.BitBtn6), static_cast<QWidget*>(form.Label3),
                           static_cast<QWidget*>(form.Image1), static_cast<QWidget*>(form.ListBox3->viewport())}) {
        MoveOver(other);
        EXPECT_EQ(LinkColour(form), purple) << other->objectName().toStdString();
        EXPECT_TRUE(form.StaticText1->font().underline());
    }
    // The window as it would see a move over one of its controls.
    MoveOver(&form, form.BitBtn7->geometry().center());
    EXPECT_EQ(LinkColour(form), purple);

    MoveOver(&form, background);
    EXPECT_EQ(LinkColour(form), navy);
    EXPECT_FALSE(form.StaticText1->font().underline());
    EXPECT_TRUE(form.hasMouseTracking());
    EXPECT_TRUE(form.StaticText1->hasMouseTracking());
}

TEST(MainWindowComplete, BackgroundClickClearsBothSelections)
{
    Window w;
    TForm1& form = w.form;
    form.show();
    for (FolderList* list : {&form.Core().List1(), &form.Core().List2()}) {
        list->Add("/a");
        list->Add("/b");
    }
    const auto selectSome = [&form] {
        form.Core().List1().SetSelected(0, true);
        form.Core().List2().SetSelected(1, true);
    };
    const auto selected = [&form] { return form.Core().List1().SelCount() + form.Core().List2().SelCount(); };

    // Labels and pictures keep the clicks to themselves; so do the controls.
    selectSome();
    for (QWidget* target :
         {static_cast<QWidget*>(form.Label1), static_cast<QWidget*>(form.Label2), static_cast<QWidget*>(form.Label3),
          static_cast<QWidget*>(form.Image1), static_cast<QWidget*>(form.Image2), static_cast<QWidget*>(form.Image3),
          static_cast<QWidget*>(form.StaticText1), static_cast<QWidget*>(form.Gauge1)}) {
        // The gauge is there only during a run.
        target->show();
        Click(target);
        EXPECT_EQ(selected(), 2) << target->objectName().toStdString();
    }
    // A press on a control that ends on the background is not a click.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(form.BitBtn7->geometry().center()),
                      form.mapToGlobal(QPointF(form.BitBtn7->geometry().center())), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&form, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(20, 20), form.mapToGlobal(QPointF(20, 20)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &release);
    EXPECT_EQ(selected(), 2);

    // The bare background, also beside the open Options panel.
    Click(&form, QPoint(20, 20));
    EXPECT_EQ(selected(), 0);
    EXPECT_FALSE(form.ListBox1->item(0)->isSelected());
    EXPECT_FALSE(form.ListBox2->item(1)->isSelected());
    selectSome();
    form.BitBtn5Click();
    Click(&form, QPoint(660, 200));
    EXPECT_EQ(selected(), 0);
}

TEST(MainWindowComplete, ExtensionBoxMenuCopiesAndPastes)
{
    Window w;
    auto* edit2 = w.form.GroupBox1->findChild<QLineEdit*>(QStringLiteral("Edit2"));
    auto* menu = w.form.GroupBox1->findChild<QMenu*>(QStringLiteral("PopupMenu3"));
    ASSERT_NE(edit2, nullptr);
    ASSERT_NE(menu, nullptr);
    QStringList captions;
    for (QAction* action : menu->actions())
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Copy", "Paste"}));

    edit2->setEnabled(true);
    edit2->setText(QStringLiteral("docx"));
    edit2->setSelection(0, 3);
    for (QAction* action : menu->actions())
        if (action->objectName() == QStringLiteral("Copy1"))
            action->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("doc"));

    QApplication::clipboard()->setText(QStringLiteral("txt"));
    edit2->setSelection(0, 4);
    for (QAction* action : menu->actions())
        if (action->objectName() == QStringLiteral("Paste1"))
            action->trigger();
    EXPECT_EQ(edit2->text(), QStringLiteral("txt"));
}

TEST(MainWindowComplete, TheTitleBarsCloseDoesWhatExitDoes)
{
    struct Case {
        const char* how;
        bool saved;  // what the close's saving answers
        bool ended;  // the program's loop ends
    };
    const Case cases[] = {
        {"title bar", true, true}, {"Exit", true, true}, {"title bar", false, false}, {"Exit", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.how << (c.saved ? ", saved" : ", saving failed"));
        Window w;
        w.form.show();
        int saves = 0;
        w.form.SetCloseHandler([&] {
            ++saves;
            return c.saved;
        });
        QTimer::singleShot(0, &w.form, [&] {
            if (std::string(c.how) == "Exit")
                w.form.Exit1->trigger();
            else
                w.form.windowHandle()->close();  // as the window manager asks
        });
        // Ended by the close, or by this after a while when it does not end.
        QTimer::singleShot(c.ended ? 5000 : 300, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(QApplication::exec(), c.ended ? 0 : 1);
        EXPECT_EQ(saves, 1);
        EXPECT_EQ(w.form.isVisible(), !c.ended);
    }
}

TEST(MainWindowComplete, OptionsSaveAndHideDisableAndEnableTheFiveButtons)
{
    Window w;
    TForm1& form = w.form;
    form.show();
    const QList<QPushButton*> five = {form.BitBtn1, form.BitBtn2, form.BitBtn10, form.BitBtn11, form.BitBtn7};
    const auto enabled = [&five] {
        int count = 0;
        for (QPushButton* button : five)
            count += button->isEnabled();
        return count;
    };
    for (const char* closing : {"BitBtn8", "BitBtn9"}) {
        SCOPED_TRACE(closing);
        Click(form.BitBtn5);
        EXPECT_TRUE(form.GroupBox1->isVisible());
        EXPECT_EQ(enabled(), 0);
        EXPECT_TRUE(form.BitBtn5->isEnabled());
        Click(form.GroupBox1->findChild<QPushButton*>(QLatin1String(closing)));
        EXPECT_FALSE(form.GroupBox1->isVisible());
        EXPECT_EQ(enabled(), 5);
    }
}

// The open panel looks the same whatever lies under it: long paths in both
// lists and report lines beneath its caption, frames and buttons.
TEST(MainWindowComplete, TheOptionsPanelCoversWhatLiesUnderIt)
{
    Window w;
    TForm1& form = w.form;
    form.show();
    Click(form.BitBtn5);
    ASSERT_TRUE(form.GroupBox1->isVisible());
    const QRect panel = form.GroupBox1->geometry();
    const QImage empty = form.grab(panel).toImage();
    const QString path = QStringLiteral("/home/someone/WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    for (int i = 0; i < 12; ++i) {
        form.Core().List1().Add((path + QString::number(i)).toStdString());
        form.Core().List2().Add((path + QString::number(i + 20)).toStdString());
        form.Core().Report().Append((path + QString::number(i)).toStdString());
    }
    const QImage filled = form.grab(panel).toImage();
    int differing = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x)
            differing += empty.pixel(x, y) != filled.pixel(x, y);
    EXPECT_EQ(differing, 0) << "of " << panel.width() * panel.height() << " pixels";
}

TEST(MainWindowComplete, SynchroNowFromAListMenuOrTheTrayWhileTheOptionsPanelIsOpen)
{
    Window w;
    TForm1& form = w.form;
    w.ListTwoFolders();
    form.show();
    form.BitBtn5Click();
    std::vector<std::string> balloons;
    form.SetBalloonHandler(
        [&](const std::string& text, const std::string&, TBalloonIconType) { balloons.push_back(text); });
    // Each run finds one file edited on one side of a pair in step.
    for (const char* side : {"a/Docs/", "b/Docs/"}) {
        for (const char* name : {"f1", "f2", "f3"}) {
            WriteFile(w.home / (side + std::string(name)), "old");
            SetMTime(w.home / (side + std::string(name)), 1600000000);
        }
    }
    int file = 0;
    for (QAction* synchroNow :
         {form.PopupMenu1->actions().at(0), form.PopupMenu2->actions().at(0), form.SynchronizeNow1}) {
        SCOPED_TRACE(synchroNow->objectName().toStdString());
        const std::string name = "f" + std::to_string(++file);
        WriteFile(w.home / ("a/Docs/" + name), "new");
        SetMTime(w.home / ("a/Docs/" + name), 1700000000);
        synchroNow->trigger();
        EXPECT_EQ(ReadFile(w.home / ("b/Docs/" + name)), "new");
        EXPECT_EQ(balloons.size(), static_cast<size_t>(file));
        EXPECT_TRUE(form.GroupBox1->isVisible());
    }
}

// While a run works the window paints, but what reaches it meanwhile (a
// command, the window manager's close request) acts only after the run, in
// the order it came: the close after the run's last copy, lists saved.
TEST(MainWindowComplete, ACommandAndACloseRequestDuringARunActAfterIt)
{
    Window w;
    TForm1& form = w.form;
    w.ListTwoFolders();
    for (const char* name : {"x", "y", "z"}) {
        WriteFile(w.home / "a/Docs/" + name, "new");
        SetMTime(w.home / "a/Docs/" + name, 1700000000);
        WriteFile(w.home / "b/Docs/" + name, "old");
        SetMTime(w.home / "b/Docs/" + name, 1600000000);
    }
    form.show();
    std::vector<std::string> log;
    form.SetCloseHandler([&] {
        log.push_back("closed, " + ReadFile(w.home / "b/Docs/z"));
        return true;
    });
    PaintCounter paints;
    form.Gauge1->installEventFilter(&paints);
    std::vector<int> paintsAtCopy;

    platform::FileSystemTestHooks hooks;
    hooks.afterContent = [&] {
        if (paintsAtCopy.empty()) {
            // As a tray command over D-Bus and the window manager would.
            QMetaObject::invokeMethod(&form, Guarded([&] { log.push_back("command"); }), Qt::QueuedConnection);
            QCoreApplication::postEvent(&form, new QCloseEvent);
        }
        paintsAtCopy.push_back(paints.count);
        log.push_back("copy");
        // Past the window's pause between two looks at its events.
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
    };
    platform::SetFileSystemTestHooks(hooks);
    QTimer::singleShot(0, &form, [&] { form.BitBtn11->click(); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
    platform::ClearFileSystemTestHooks();

    EXPECT_EQ(log, (std::vector<std::string>{"copy", "copy", "copy", "command", "closed, new"}));
    ASSERT_EQ(paintsAtCopy.size(), 3u);
    EXPECT_GT(paintsAtCopy.back(), paintsAtCopy.front());
}

// "Run on change", checked and applied by Hide, makes the window's run
// follow a change in a listed folder: the timer's Action and the Synchro
// mode the panel shows, with its confirmation (Silent Mode is off here).
TEST(MainWindowComplete, RunOnChangeAppliedByHideRunsAfterAChange)
{
    Window w;
    TForm1& form = w.form;
    w.ListTwoFolders();
    form.Core().Changes().SetQuietTime(std::chrono::milliseconds(100));
    form.show();
    form.BitBtn5Click();
    form.GroupBox1->SetSynchroModeIndex(1);
    form.GroupBox1->findChild<QAbstractButton*>(QStringLiteral("CheckBox2"))->setChecked(false);
    form.GroupBox1->findChild<QAbstractButton*>(QStringLiteral("CheckBox7"))->click();
    form.BitBtn9Click();
    ASSERT_TRUE(form.Core().Changes().Enabled());

    WriteFile(w.home / "a/Docs/new.txt", "new");
    QElapsedTimer waited;
    waited.start();
    while (form.ListBox3->count() == 0 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ReadFile(w.home / "b/Docs/new.txt"), "new");
    ASSERT_EQ(form.ListBox3->count(), 1);
    EXPECT_EQ(form.ListBox3->item(0)->text().toStdString(), "new.txt copied successfully to " + w.home / "b/Docs");
    EXPECT_EQ(w.Messages(), QStringList{QStringLiteral("1file(s) will be updated")});

    form.BitBtn5Click();
    form.GroupBox1->findChild<QAbstractButton*>(QStringLiteral("CheckBox7"))->click();
    form.BitBtn9Click();
    EXPECT_FALSE(form.Core().Changes().Enabled());
}

}  // namespace
