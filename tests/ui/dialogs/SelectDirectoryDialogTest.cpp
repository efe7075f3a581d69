#include "ui/dialogs/SelectDirectoryDialog.h"

#include "lists/AddPath.h"
#include "lists/FolderList.h"
#include "platform/fs/FileSystem.h"
#include "ui/dialogs/MessageBoxes.h"

#include "ExpectedBoxes.h"
#include "QtTestUtil.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool IsFolder(const std::string& path)
{
    return std::filesystem::is_directory(path);
}

// Answers the questions the dialog asks, in order; a box nobody expected
// fails the test.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { m_startFolder = platform::GetCurrentDir(); }
    void TearDown() override
    {
        SelectDirectoryDialog::SetHelpHandler({});
        platform::SetCurrentDir(m_startFolder);
    }
    // The questions asked so far.
    std::vector<QString> Asked() const { return m_boxes.TextsOf(MessageBoxes::Kind::Question); }
    void Answer(const std::vector<MessageBoxes::Answer>& answers)
    {
        for (const MessageBoxes::Answer answer : answers)
            m_boxes.SetNextAnswer(answer);
    }

    static QLineEdit* PathEdit(QWidget* dialog) { return dialog->findChild<QLineEdit*>("pathEdit"); }
    static QPushButton* Button(QWidget* dialog, QDialogButtonBox::StandardButton which)
    {
        return dialog->findChild<QDialogButtonBox*>("buttons")->button(which);
    }

    TempDir m_dir;
    std::string m_startFolder;
    ExpectedBoxes m_boxes;
};

using AddPathTest = DialogTest;
using SelectDirectoryDialogTest = DialogTest;

}  // namespace

TEST_F(SelectDirectoryDialogTest, OkAsksOnlyForAMissingFolder)
{
    std::filesystem::create_directory(m_dir / "there");
    WriteFile(m_dir / "there/file", "x");
    struct Case {
        const char* name;
        std::string typed;
        std::vector<MessageBoxes::Answer> answers;  // one per OK click
        int questions;
        bool closed;
    };
    using A = MessageBoxes::Answer;
    const Case cases[] = {
        {"existing folder closes without a question", m_dir / "there", {}, 0, true},
        {"root", "/", {}, 0, true},
        {"No keeps the dialog open", m_dir / "a/b", {A::No}, 1, false},
        {"No, then Yes closes it", m_dir / "a/b", {A::No, A::Yes}, 2, true},
        {"Yes closes it", m_dir / "a/b", {A::Yes}, 1, true},
        {"empty field is asked about too", "", {A::Yes}, 1, true},
        {"a file is no folder", m_dir / "there/file", {A::No}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.asked.clear();
        SelectDirectoryDialog dialog;
        dialog.open();
        ASSERT_TRUE(dialog.isVisible());
        PathEdit(&dialog)->setText(QString::fromStdString(c.typed));
        const size_t clicks = std::max<size_t>(c.answers.size(), 1);
        Answer(c.answers);
        for (size_t i = 0; i < clicks; ++i)
            Button(&dialog, QDialogButtonBox::Ok)->click();

        EXPECT_EQ(static_cast<int>(Asked().size()), c.questions);
        for (const QString& text : Asked())
            EXPECT_EQ(text, QStringLiteral("The specified directory does not exist. Create it?"));
        EXPECT_EQ(dialog.isVisible(), !c.closed);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.closed);
        EXPECT_EQ(dialog.Directory(), c.typed);
        // Creating the folder is Add Path's business, not the dialog's.
        EXPECT_FALSE(IsFolder(m_dir / "a"));
        dialog.close();
    }
}

// A typed text that is no full path is taken from the folder the dialog
// shows, and "~" is the home folder: what is added names one folder for
// good, wherever the program runs from later.
TEST_F(SelectDirectoryDialogTest, ATypedTextIsMadeAFullPath)
{
    const std::string home = std::getenv("HOME");
    std::filesystem::create_directories(m_dir / "shown/there");
    const std::pair<std::string, std::string> cases[] = {
        {"there", m_dir / "shown/there"},
        {"new/deeper/", m_dir / "shown/new/deeper"},
        {"./there/../other", m_dir / "shown/other"},
        {"..", m_dir.Path()},
        {"~", home},
        {"~/Docs", home + "/Docs"},
        {"~other", m_dir / "shown/~other"},
        {"/kept/../as/typed", "/kept/../as/typed"},
        {"", ""},
    };
    for (const auto& [typed, full] : cases) {
        SCOPED_TRACE(typed);
        SelectDirectoryDialog dialog;
        dialog.SetDirectory(m_dir / "shown");
        // The current folder is not what counts.
        platform::SetCurrentDir("/");
        PathEdit(&dialog)->setText(QString::fromStdString(typed));
        EXPECT_EQ(dialog.Directory(), full);
    }
}

TEST_F(SelectDirectoryDialogTest, StartsAtTheRootAndMovingMakesTheFolderCurrent)
{
    std::filesystem::create_directories(m_dir / "sub/inner");
    platform::SetCurrentDir(m_dir.Path());

    SelectDirectoryDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Directory"));
    EXPECT_EQ(PathEdit(&dialog)->text(), QStringLiteral("/"));
    EXPECT_EQ(platform::GetCurrentDir(), "/");

    auto* tree = dialog.findChild<QTreeView*>("folderTree");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_NE(model, nullptr);
    for (const std::string& folder : {m_dir / "sub", m_dir / "sub/inner", m_dir.Path()}) {
        SCOPED_TRACE(folder);
        const QModelIndex index = model->index(QString::fromStdString(folder));
        ASSERT_TRUE(index.isValid());
        tree->setCurrentIndex(index);  // what a click in the tree does
        EXPECT_EQ(PathEdit(&dialog)->text().toStdString(), folder);
        EXPECT_EQ(platform::GetCurrentDir(), folder);
    }

    dialog.SetDirectory(m_dir / "sub");
    EXPECT_EQ(tree->currentIndex(), model->index(QString::fromStdString(m_dir / "sub")));
    EXPECT_EQ(platform::GetCurrentDir(), m_dir / "sub");
}

TEST_F(SelectDirectoryDialogTest, HelpAsksForTheHelpTopic)
{
    std::vector<int> handled;
    std::vector<int> signalled;
    SelectDirectoryDialog::SetHelpHandler([&](int topic) { handled.push_back(topic); });
    SelectDirectoryDialog dialog;
    QObject::connect(&dialog, &SelectDirectoryDialog::helpRequested, [&](int topic) { signalled.push_back(topic); });
    dialog.open();
    Button(&dialog, QDialogButtonBox::Help)->click();
    EXPECT_EQ(handled, std::vector<int>{1000});
    EXPECT_EQ(signalled, std::vector<int>{1000});
    EXPECT_TRUE(dialog.isVisible());

    // Without a handler Help does nothing at all.
    SelectDirectoryDialog::SetHelpHandler({});
    Button(&dialog, QDialogButtonBox::Help)->click();
    EXPECT_EQ(handled.size(), 1u);
    EXPECT_TRUE(dialog.isVisible());
}

// The whole command with the real modal dialog, driven from inside its
// event loop as a user would: move to a folder, type, press OK.
TEST_F(AddPathTest, RealDialogEndToEnd)
{
    struct Case {
        const char* name;
        std::vector<MessageBoxes::Answer> answers;
        bool cancelAfterwards;
        bool added;
    };
    using A = MessageBoxes::Answer;
    const Case cases[] = {
        {"Yes creates the folder and its parents and adds it", {A::Yes}, false, true},
        {"No, then Cancel changes nothing", {A::No}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string wanted = dir / "one/two/three";
        Answer(c.answers);
        bool stillOpenAfterNo = false;
        bool driven = false;

        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<SelectDirectoryDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            driven = true;
            dialog->SetDirectory(dir.Path());
            // Typed as the folder shown's child: Add Path must not read it against "/".
            PathEdit(dialog)->setText(QStringLiteral("one/two/three"));
            Button(dialog, QDialogButtonBox::Ok)->click();
            if (c.cancelAfterwards) {
                stillOpenAfterNo = dialog->isVisible();
                Button(dialog, QDialogButtonBox::Cancel)->click();
            }
        });
        const ModalGuard guard;

        FolderList list;
        const bool added = AddPath(list, [] { return ExecuteSelectDirectory(nullptr); });
        ASSERT_TRUE(driven);
        EXPECT_EQ(added, c.added);
        EXPECT_EQ(list.Count(), c.added ? 1 : 0);
        if (c.added) {
            EXPECT_EQ(list.Text(0), wanted);
        }
        EXPECT_EQ(IsFolder(wanted), c.added);
        EXPECT_EQ(IsFolder(dir / "one"), c.added);
        EXPECT_EQ(stillOpenAfterNo, c.cancelAfterwards);
        // The folder last shown in the dialog stays current.
        EXPECT_EQ(platform::GetCurrentDir(), dir.Path());
        platform::SetCurrentDir(m_startFolder);
    }
}
