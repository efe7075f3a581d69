#include "ui/options/OptionsPanel.h"

#include "FakeOptions.h"
#include "InLanguage.h"
#include "TempDir.h"
#include "options/OptionsLogic.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

template <typename T = QWidget> T* Child(const QWidget& panel, const char* name)
{
    return panel.findChild<T*>(QLatin1String(name));
}

QString TextOf(const QWidget* widget)
{
    if (auto* box = qobject_cast<const QGroupBox*>(widget))
        return box->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    return QStringLiteral("?");
}

TEST(OptionsPanel, EveryControlAtItsPlaceWithCaptionHintAndStartState)
{
    // The hints below are the Russian ones; the captions stay English.
    const InLanguage russian(Russian());
    ASSERT_TRUE(russian.loaded);
    const OptionsPanel panel;
    EXPECT_EQ(panel.objectName(), QStringLiteral("GroupBox1"));
    EXPECT_EQ(panel.title(), QStringLiteral("Options"));
    EXPECT_EQ(panel.geometry(), QRect(104, 112, 481, 305));
    EXPECT_TRUE(panel.isHidden());

    struct Row {
        const char* name;
        const char* parent;
        QRect geometry;
        const char* text;
        const char* hint;
        bool enabled;
    };
    const Row rows[] = {
        {"GroupBox3", "GroupBox1", {32, 168, 193, 49}, "Extension Filter", "Фильтр по расширению", true},
        {"CheckBox3", "GroupBox1", {40, 184, 105, 25}, "Enabled", "Разрешить", true},
        {"BitBtn8", "GroupBox1", {256, 240, 83, 33}, "  Save", "Сохранить настройки", true},
        {"BitBtn9", "GroupBox1", {368, 240, 81, 33}, "  Hide", "Скрыть", true},
        {"RadioGroup1", "GroupBox1", {32, 24, 193, 57}, "Synchro mode", "Режим синхронизации файлов/папок", true},
        {"RadioGroup2", "GroupBox1", {32, 96, 193, 57}, "File Type", "Тип файлов (архивные/все)", true},
        {"Edit2", "GroupBox1", {128, 184, 81, 21}, "", "", false},
        {"GroupBox2", "GroupBox1", {256, 24, 193, 193}, "Synchro Timer", "Таймер синхронизации", true},
        {"ComboBox1", "GroupBox2", {96, 32, 81, 21}, "Interval", "Интервал", false},
        {"RadioGroup3", "GroupBox2", {16, 72, 161, 57}, "Action", "Синхронизировать все/только выделенные", true},
        {"CheckBox1", "GroupBox2", {24, 32, 65, 17}, "Enable", "Разрешить", true},
        {"CheckBox4", "GroupBox2", {24, 160, 73, 17}, "Tray Mode", "В системный лоток", true},
        {"CheckBox5", "GroupBox2", {104, 160, 73, 17}, "Autostart", "Загрузка при старте", true},
        {"CheckBox7",
         "GroupBox2",
         {24, 136, 153, 17},
         "Run on change",
         "Синхронизировать, когда файлы в папках списков изменились",
         true},
        {"GroupBox4", "GroupBox1", {32, 232, 193, 49}, "Silent Mode", "Без запроса", true},
        {"CheckBox2", "GroupBox4", {8, 16, 81, 17}, "Enabled", "Разрешить", true},
        {"CheckBox6",
         "GroupBox1",
         {256, 280, 217, 17},
         "Keep replaced files in the Trash",
         "Хранить заменённые файлы в Корзине",
         true},
    };
    for (const Row& row : rows) {
        const QWidget* widget = Child(panel, row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), row.parent) << row.name;
        EXPECT_EQ(widget->geometry(), row.geometry) << row.name;
        EXPECT_EQ(TextOf(widget).toStdString(), row.text) << row.name;
        EXPECT_EQ(widget->toolTip().toStdString(), row.hint) << row.name;
        EXPECT_EQ(widget->isEnabled(), row.enabled) << row.name;
    }

    struct Check {
        const char* name;
        bool checked;
    };
    for (const Check& c :
         {Check{"CheckBox1", false}, Check{"CheckBox2", true}, Check{"CheckBox3", false}, Check{"CheckBox4", false},
          Check{"CheckBox5", false}, Check{"CheckBox6", false}, Check{"CheckBox7", false}})
        EXPECT_EQ(Child<QCheckBox>(panel, c.name)->isChecked(), c.checked) << c.name;

    struct Radio {
        const char* name;
        std::vector<std::string> items;
    };
    for (const Radio& radio : {Radio{"RadioGroup1", {"Files Synchro mode", "Folders Synchro mode"}},
                               Radio{"RadioGroup2", {"Archive Files only", "All Files"}},
                               Radio{"RadioGroup3", {"Synchro All", "Synchro Selected"}}}) {
        const auto buttons = Child(panel, radio.name)->findChildren<QRadioButton*>();
        ASSERT_EQ(buttons.size(), 2) << radio.name;
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(buttons[i]->text().toStdString(), radio.items[static_cast<std::size_t>(i)]) << radio.name;
        EXPECT_TRUE(buttons[0]->isChecked()) << radio.name;
        EXPECT_LT(buttons[0]->geometry().bottom(), buttons[1]->geometry().top()) << radio.name;
    }
    EXPECT_EQ(panel.SynchroModeIndex(), 0);
    EXPECT_EQ(panel.FileTypeIndex(), 0);
    EXPECT_EQ(panel.TimerActionIndex(), 0);

    const auto* combo = Child<QComboBox>(panel, "ComboBox1");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    EXPECT_EQ(items.join(QLatin1Char(',')), QStringLiteral("3 min,10 min,30 min,1 h,2 h,3 h,6 h,9 h,12 h,24 h"));
    EXPECT_EQ(combo->maxVisibleItems(), 10);
    EXPECT_EQ(panel.IntervalIndex(), -1);

    // The disabled text box has the button face for its background.
    EXPECT_EQ(Child(panel, "Edit2")->palette().color(QPalette::Active, QPalette::Base),
              panel.palette().color(QPalette::Active, QPalette::Button));
}

TEST(OptionsPanel, CoversWhatLiesUnderIt)
{
    // Bare spots of the panel (left of the frames, under the buttons) as
    // drawn on a window of a colour: the same whatever the window's colour.
    const auto drawnOn = [](Qt::GlobalColor colour) {
        QWidget window;
        window.resize(695, 477);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, colour);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        auto* panel = new OptionsPanel(&window);
        panel->show();
        const QImage drawn = window.grab().toImage();
        std::vector<std::string> spots;
        for (const QPoint at : {QPoint(16, 88), QPoint(300, 300)})
            spots.push_back(drawn.pixelColor(panel->geometry().topLeft() + at).name().toStdString());
        return spots;
    };
    EXPECT_EQ(drawnOn(Qt::red), drawnOn(Qt::blue));
}

TEST(OptionsPanel, TabOrderFollowsTheLayout)
{
    const OptionsPanel panel;
    const std::vector<std::string> expected = {
        "CheckBox3",     "BitBtn8",   "BitBtn9",   "RadioGroup1_0", "RadioGroup1_1", "RadioGroup2_0",
        "RadioGroup2_1", "Edit2",     "ComboBox1", "RadioGroup3_0", "RadioGroup3_1", "CheckBox1",
        "CheckBox4",     "CheckBox5", "CheckBox7", "CheckBox2",     "CheckBox6"};
    std::vector<std::string> order;
    const QWidget* start = Child(panel, "CheckBox3");
    const QWidget* widget = start;
    do {
        const std::string name = widget->objectName().toStdString();
        if (std::find(expected.begin(), expected.end(), name) != expected.end())
            order.push_back(name);
        widget = widget->nextInFocusChain();
    } while (widget != start && order.size() < expected.size());
    EXPECT_EQ(order, expected);
}

TEST(OptionsPanel, EnableBoxDrivesTheIntervalBoxAndOnlyTheUserChangesIt)
{
    OptionsPanel panel;
    auto* combo = Child<QComboBox>(panel, "ComboBox1");
    QSignalSpy toggled(&panel, &OptionsPanel::CheckBox1Toggled);
    QSignalSpy changed(&panel, &OptionsPanel::IntervalChanged);

    panel.SetTimerBoxChecked(true);
    EXPECT_TRUE(combo->isEnabled());
    Child<QCheckBox>(panel, "CheckBox1")->click();
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_EQ(toggled.count(), 2);

    // Chosen by the program: shown, but no change reported.
    panel.SetIntervalIndex(3);
    EXPECT_EQ(combo->currentText(), QStringLiteral("1 h"));
    EXPECT_EQ(panel.IntervalIndex(), 3);
    panel.SetIntervalIndex(-1);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Interval"));
    EXPECT_EQ(panel.IntervalIndex(), -1);
    EXPECT_EQ(changed.count(), 0);

    // Typed by the user: a change, and text of no entry chooses none.
    panel.SetTimerBoxChecked(true);
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("2 h"));
    EXPECT_GT(changed.count(), 0);
    EXPECT_EQ(panel.IntervalIndex(), 4);
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("x"));
    EXPECT_EQ(panel.IntervalIndex(), -1);
}

TEST(OptionsPanel, RadioGroupsTakeNoChoiceForAnIndexOutsideTheirItems)
{
    OptionsPanel panel;
    panel.SetSynchroModeIndex(1);
    EXPECT_EQ(panel.SynchroModeIndex(), 1);
    panel.SetSynchroModeIndex(-1);
    EXPECT_EQ(panel.SynchroModeIndex(), -1);
    for (const auto* button : Child(panel, "RadioGroup1")->findChildren<QRadioButton*>())
        EXPECT_FALSE(button->isChecked());
    panel.SetTimerActionIndex(5);
    EXPECT_EQ(panel.TimerActionIndex(), -1);
    panel.SetFileTypeIndex(1);
    panel.SetFileTypeIndex(0);
    EXPECT_EQ(panel.FileTypeIndex(), 0);
}

TEST(OptionsPanel, ClicksReachTheLogicAndTheSignals)
{
    TempDir dir;
    OptionsPanel panel;
    FakeHost host;
    platform::SettingsStore store(dir / "Folderly.conf");
    platform::AutostartEntry autostart(dir / "autostart/Folderly.desktop", "/usr/bin/folderly");
    OptionsLogic logic(panel, host, store, autostart);
    // As the window wires them.
    QObject::connect(&panel, &OptionsPanel::CheckBox3Clicked, [&logic] { logic.FilterBoxClicked(); });
    QObject::connect(&panel, &OptionsPanel::CheckBox5Clicked, [&logic] { logic.AutostartBoxClicked(); });

    auto* edit = Child<QLineEdit>(panel, "Edit2");
    edit->setText(QStringLiteral("doc"));
    Child<QCheckBox>(panel, "CheckBox3")->click();
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(edit->palette().color(QPalette::Active, QPalette::Base),
              panel.palette().color(QPalette::Active, QPalette::Base));
    Child<QCheckBox>(panel, "CheckBox3")->click();
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(edit->text(), QStringLiteral("doc"));

    // Set by the program, Autostart does nothing to Tray Mode; clicked, it does.
    panel.SetAutostartChecked(true);
    EXPECT_FALSE(panel.TrayChecked());
    Child<QCheckBox>(panel, "CheckBox5")->click();
    EXPECT_FALSE(panel.AutostartChecked());
    EXPECT_TRUE(panel.TrayChecked());

    QSignalSpy saved(&panel, &OptionsPanel::SaveClicked);
    QSignalSpy hidden(&panel, &OptionsPanel::HideClicked);
    Child<QPushButton>(panel, "BitBtn8")->click();
    Child<QPushButton>(panel, "BitBtn9")->click();
    Child<QPushButton>(panel, "BitBtn9")->click();
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(hidden.count(), 2);
}

TEST(OptionsPanel, StoredOptionsShowInThePanelAndSaveReadsThemBack)
{
    TempDir dir;
    platform::SettingsStore store(dir / "Folderly.conf");
    ASSERT_TRUE(store.OpenKey(true));
    store.WriteInteger("SynchroMode", 1);
    store.WriteInteger("Filter", 1);
    store.WriteString("Ext", "doc");
    store.WriteInteger("Timer", 1);
    store.WriteInteger("TimerInterval", 3600000);
    store.WriteInteger("TimerAction", 1);
    store.WriteInteger("SilentMode", 0);
    store.WriteInteger("Autostart", 1);
    store.WriteInteger("KeepReplaced", 1);

    OptionsPanel panel;
    FakeHost host;
    platform::AutostartEntry autostart(dir / "autostart/Folderly.desktop", "/usr/bin/folderly");
    OptionsLogic logic(panel, host, store, autostart);
    logic.LoadOptions();
    store.CloseKey();

    EXPECT_EQ(panel.SynchroModeIndex(), 1);
    EXPECT_TRUE(Child<QCheckBox>(panel, "CheckBox3")->isChecked());
    EXPECT_TRUE(Child(panel, "Edit2")->isEnabled());
    EXPECT_EQ(Child<QLineEdit>(panel, "Edit2")->text(), QStringLiteral("doc"));
    EXPECT_TRUE(Child(panel, "ComboBox1")->isEnabled());
    EXPECT_EQ(Child<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("1 h"));
    EXPECT_EQ(panel.TimerActionIndex(), 1);
    EXPECT_FALSE(Child<QCheckBox>(panel, "CheckBox2")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(panel, "CheckBox4")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(panel, "CheckBox5")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(panel, "CheckBox6")->isChecked());

    Child<QLineEdit>(panel, "Edit2")->setText(QStringLiteral("xls"));
    Child<QCheckBox>(panel, "CheckBox6")->click();
    panel.SetFileTypeIndex(1);
    logic.Save();
    ASSERT_TRUE(store.OpenKey(false));
    EXPECT_EQ(store.ReadString("Ext"), "xls");
    EXPECT_EQ(store.ReadInteger("FileType"), 1);
    EXPECT_EQ(store.ReadInteger("TimerInterval"), 3600000);
    EXPECT_EQ(store.ReadInteger("TrayMode"), 1);
    EXPECT_EQ(store.ReadInteger("KeepReplaced"), 0);
    EXPECT_EQ(logic.RunValues().SearchAttr, 63);
    EXPECT_EQ(logic.RunValues().KeepReplaced, 0);
    EXPECT_TRUE(autostart.Exists());
}

TEST(OptionsPanel, CopyAndPasteOfTheExtensionBox)
{
    OptionsPanel panel;
    auto* edit = Child<QLineEdit>(panel, "Edit2");
    panel.SetFilterTextEnabled(true);
    edit->setText(QStringLiteral("docx"));
    edit->setSelection(0, 3);
    panel.Copy1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("doc"));

    QApplication::clipboard()->setText(QStringLiteral("xls"));
    edit->selectAll();
    panel.Paste1Click();
    EXPECT_EQ(edit->text(), QStringLiteral("xls"));
}

}  // namespace
