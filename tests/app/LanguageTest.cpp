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
        {"Label1", "Список каталогов 2", "List of folders 2"},
        {"Label2", "Список каталогов 1", "List of folders 1"},
        {"Label3", "Отчет", "Report"},
        {"BitBtn11", "Синхронизировать все", "Synchronize all"},
        {"BitBtn10", "Синхронизировать выбранные", "Synchronize selected"},
        {"BitBtn1", "Добавить каталог в список 1", "Add a folder to list 1"},
        {"BitBtn2", "Добавить каталог в список 2", "Add a folder to list 2"},
        {"BitBtn5", "Настройки", "Options"},
        {"BitBtn6", "Помощь", "Help"},
        {"BitBtn7", "Сохранить отчет", "Save the report"},
        {"StaticText1", "На сайт автора", "To the author's site"},
        {"BitBtn12", "Полезные мелочи", "Useful little things"},
        {"GroupBox3", "Фильтр по расширению", "Filter by extension"},
        {"CheckBox3", "Разрешить", "Enable"},
        {"BitBtn8", "Сохранить настройки", "Save the options"},
        {"BitBtn9", "Скрыть", "Hide"},
        {"RadioGroup1", "Режим синхронизации файлов/папок", "Synchronization of files/folders"},
        {"RadioGroup2", "Тип файлов (архивные/все)", "File type (archive/all)"},
        {"GroupBox2", "Таймер синхронизации", "Synchronization timer"},
        {"ComboBox1", "Интервал", "Interval"},
        {"RadioGroup3", "Синхронизировать все/только выделенные", "Synchronize all/only the selected"},
        {"CheckBox1", "Разрешить", "Enable"},
        {"CheckBox4", "В системный лоток", "Into the notification area"},
        {"CheckBox5", "Загрузка при старте", "Start at log-on"},
        {"CheckBox7", "Синхронизировать, когда файлы в папках списков изменились",
         "Synchronize when files in the listed folders change"},
        {"GroupBox4", "Без запроса", "Without asking"},
        {"CheckBox2", "Разрешить", "Enable"},
        {"CheckBox6", "Хранить заменённые файлы в Корзине", "Keep replaced files in the Trash"},
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
