// The window in the user's language, started as the program starts it: the
// application object of main (which installs the translation for the
// locale), then the window. CTest runs this program once under
// LANG=ru_RU.UTF-8 and once under LANG=de_DE.UTF-8, FOLDERLY_TEST_LANGUAGE
// saying which ("ru" or "de"); hence a main of its own.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QPushButton>
#include <cstdlib>
#include <string>

#include "ExpectedBoxes.h"
#include "PrivateHome.h"
#include "app/FolderlyApplication.h"
#include "app/Lifecycle.h"
#include "core/Program.h"
#include "ui/Unit1.h"

namespace {

TEST(Language, HintsAndTheHelpMessageFollowTheLocale)
{
    const QString language = qEnvironmentVariable("FOLDERLY_TEST_LANGUAGE");
    ASSERT_TRUE(language == QLatin1String("ru") || language == QLatin1String("de")) << language.toStdString();
    const bool russian = language == QLatin1String("ru");
    const TempDir home;
    Program program(home.Path() + "/", home / "Folderly.conf", home / "autostart.desktop");
    TForm1 form(program);
    Lifecycle lifecycle(program);
    lifecycle.FormCreate();
    form.show();

    struct Hint {
        const char* control;
        const char* ru;
        const char* en;
    };
    const Hint hints[] = {
        // One of each translated class's: the texts one by one are the
        // window's and the panel's own tests' (which load the translation).
        {"Label1", "Список каталогов 2", "List of folders 2"},
        {"BitBtn1", "Добавить каталог в список 1", "Add a folder to list 1"},
        {"CheckBox4", "В системный лоток", "Into the notification area"},
        {"RadioGroup1", "Режим синхронизации файлов/папок", "Synchronization of files/folders"},
    };
    for (const Hint& hint : hints) {
        const auto* widget = form.findChild<QWidget*>(QLatin1String(hint.control));
        ASSERT_NE(widget, nullptr) << hint.control;
        EXPECT_EQ(widget->toolTip().toStdString(), russian ? hint.ru : hint.en) << hint.control;
    }
    // Captions whose words are also hints stay English.
    EXPECT_EQ(form.BitBtn5->text(), QStringLiteral(" Options"));
    EXPECT_EQ(form.findChild<QGroupBox*>(QStringLiteral("GroupBox1"))->title(), QStringLiteral("Options"));

    ExpectedBoxes boxes;
    boxes.AnswerAllWith(MessageBoxes::Answer::Ok);
    form.SetHelpFolder(QString::fromStdString(home / "no help here"));
    form.BitBtn6Click();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].second.toStdString(), russian ? "Файл справки не найден" : "Help file not found");
}

}  // namespace

// As the shared test main (offscreen, a private home), but with the
// program's own application object.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const TempDir home;
    UsePrivateHome(home);

    FolderlyApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
