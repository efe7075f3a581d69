#include "options/LegacyOptionImport.h"

#include "FakeOptions.h"
#include "TempDir.h"
#include "options/IntegerText.h"
#include "options/OptionsLogic.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using platform::SettingsStore;

namespace {

const std::vector<std::string> kBothLines = {kLegacyFoundLine, kLegacyDeletedLine};

class LegacyImport : public ::testing::Test {
protected:
    LegacyImport() : m_optionFile(m_dir / "options.txt"), m_store(m_dir / "config/Vantrel/Folderly.conf")
    {
        m_store.OpenKey(true);
    }

    // Every value of the store as it reads back.
    std::map<std::string, std::string> Values() const
    {
        std::map<std::string, std::string> values;
        for (const char* name : {"version", "SynchroMode", "FileType", "Filter", "Ext", "Timer", "TimerInterval",
                                 "TimerAction", "SilentMode", "TrayMode", "Autostart"}) {
            if (!m_store.ValueExists(name))
                continue;
            try {
                values[name] = "int " + std::to_string(m_store.ReadInteger(name));
            } catch (const platform::ESettingsError&) {
                values[name] = "str " + m_store.ReadString(name);
            }
        }
        return values;
    }

    // The message of the conversion error the import throws, or "".
    std::string Import()
    {
        try {
            ImportLegacyOptions(m_optionFile, m_store, m_report.Appender());
        } catch (const EConvertError& error) {
            return error.what();
        }
        return "";
    }

    TempDir m_dir;
    std::string m_optionFile;
    SettingsStore m_store;
    FakeReport m_report;
};

TEST_F(LegacyImport, AVersion12FileFillsTheEmptyStoreAndGoes)
{
    WriteFile(m_optionFile, "Folderly v1.2\r\n1\r\n1\r\n1\r\ndoc\r\n1\r\n600000\r\n1\r\n0\r\n1\r\nignored\r\n");
    EXPECT_EQ(Import(), "");
    const std::map<std::string, std::string> expected = {
        {"version", "str 1.3"},  {"SynchroMode", "int 1"}, {"FileType", "int 1"},           {"Filter", "int 1"},
        {"Ext", "str doc"},      {"Timer", "int 1"},       {"TimerInterval", "int 600000"}, {"TimerAction", "int 1"},
        {"SilentMode", "int 0"}, {"TrayMode", "int 1"}};
    EXPECT_EQ(Values(), expected);
    EXPECT_EQ(m_report.Lines(), kBothLines);
    EXPECT_FALSE(std::filesystem::exists(m_optionFile));
}

TEST_F(LegacyImport, TheHeaderMustReadExactly12AfterTenCharacters)
{
    const char* const headers[] = {"Folderly v1.3", "Folderly v1.2 ", "folderly v1.2x", "Options 1.2", "1.2", ""};
    for (const char* header : headers) {
        TempDir dir;
        SettingsStore store(dir / "Folderly.conf");
        ASSERT_TRUE(store.OpenKey(true));
        FakeReport report;
        const std::string file = dir / "options.txt";
        WriteFile(file, std::string(header) + "\n1\n1\n1\ndoc\n1\n600000\n1\n0\n1\n");

        ImportLegacyOptions(file, store, report.Appender());
        EXPECT_EQ(report.Lines(), kBothLines) << header;
        EXPECT_FALSE(std::filesystem::exists(file)) << header;
        EXPECT_EQ(store.ReadString("version"), "1.3") << header;
        EXPECT_FALSE(store.ValueExists("SynchroMode")) << header;
    }
}

TEST_F(LegacyImport, ValuesAlreadyStoredAreKept)
{
    m_store.WriteString("version", "1.0");
    m_store.WriteInteger("SynchroMode", 0);
    m_store.WriteInteger("Filter", 0);
    m_store.WriteString("Ext", "txt");
    m_store.WriteInteger("TimerAction", 0);
    m_store.WriteInteger("TrayMode", 0);
    // Lines for kept values are not converted, except the action line.
    WriteFile(m_optionFile, "Folderly v1.2\nbad\n1\nbad\ndoc\n1\n600000\n1\n1\nbad\n");

    EXPECT_EQ(Import(), "");
    const std::map<std::string, std::string> expected = {
        {"version", "str 1.0"},  {"SynchroMode", "int 0"}, {"FileType", "int 1"},           {"Filter", "int 0"},
        {"Ext", "str txt"},      {"Timer", "int 1"},       {"TimerInterval", "int 600000"}, {"TimerAction", "int 0"},
        {"SilentMode", "int 1"}, {"TrayMode", "int 0"}};
    EXPECT_EQ(Values(), expected);
    EXPECT_EQ(m_report.Lines(), kBothLines);
    EXPECT_FALSE(std::filesystem::exists(m_optionFile));
}

TEST_F(LegacyImport, ABadNumberLineIsNamedTheRestImportedAndTheFileKeptBeside)
{
    struct Case {
        const char* content;
        const char* message;
        std::vector<const char*> notWritten;
        bool timerActionStored = false;
    };
    const std::vector<Case> cases = {
        {"Folderly v1.2\nabc\n1\n1\ndoc\n1\n600000\n1\n0\n1\n",
         "line 2: 'abc' is not a valid integer value",
         {"SynchroMode"}},
        {"Folderly v1.2\n1\n1\n1\ndoc\n1\n10 min\n1\n0\n1\n",
         "line 7: '10 min' is not a valid integer value",
         {"TimerInterval"}},
        // A short file reads its missing lines as empty texts.
        {"Folderly v1.2\n1\n0\n1\n\n1\n600000\n1\n",
         "line 9: '' is not a valid integer value; line 10: '' is not a valid integer value",
         {"SilentMode", "TrayMode"}},
        // The action line is converted even when its value is there, and the value kept.
        {"Folderly v1.2\n1\n1\n1\ndoc\n1\n600000\nall\n0\n1\n", "line 8: 'all' is not a valid integer value", {}, true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        SettingsStore store(dir / "Folderly.conf");
        ASSERT_TRUE(store.OpenKey(true));
        if (c.timerActionStored)
            store.WriteInteger("TimerAction", 0);
        FakeReport report;
        const std::string file = dir / "options.txt";
        WriteFile(file, c.content);
        WriteFile(dir / "options.txt.bad", "kept from before");

        try {
            ImportLegacyOptions(file, store, report.Appender());
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const EConvertError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_EQ(report.Lines(), (std::vector<std::string>{kLegacyFoundLine, kLegacyKeptLine + file + ".bad.2"}));
        EXPECT_EQ(ReadFile(file + ".bad.2"), c.content);
        EXPECT_EQ(ReadFile(file + ".bad"), "kept from before");
        for (const char* name : {"SynchroMode", "FileType", "Filter", "Ext", "Timer", "TimerInterval", "TimerAction",
                                 "SilentMode", "TrayMode"}) {
            const bool skipped = std::find(c.notWritten.begin(), c.notWritten.end(), std::string(name))
                != c.notWritten.end();
            EXPECT_EQ(store.ValueExists(name), !skipped) << c.message << " " << name;
        }
        // Nothing comes again at the next start.
        EXPECT_NO_THROW(ImportLegacyOptions(file, store, report.Appender()));
        EXPECT_EQ(report.Lines().size(), 2u);
    }
}

TEST_F(LegacyImport, NoFileNoLines)
{
    EXPECT_EQ(Import(), "");
    EXPECT_TRUE(m_report.Lines().empty());
    EXPECT_TRUE(Values().empty());
}

TEST_F(LegacyImport, TheImportedValuesAreLoadedLikeStoredOnes)
{
    WriteFile(m_optionFile, "Folderly v1.2\n7\n0\n1\nxls\n1\n5000\n1\n1\n2\n");
    EXPECT_EQ(Import(), "");
    m_report.Append("v1.3");

    FakeControls controls;
    FakeHost host;
    platform::AutostartEntry autostart(m_dir / "autostart/Folderly.desktop", "/usr/bin/folderly");
    OptionsLogic logic(controls, host, m_store, autostart);
    logic.LoadOptions();
    EXPECT_EQ(controls.shown.SynchroMode, 1);
    EXPECT_EQ(logic.RunValues().SearchExt, "xls");
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_EQ(host.timerInterval, 5000);
    EXPECT_EQ(controls.IntervalIndex(), -1);
    EXPECT_FALSE(controls.shown.TrayMode);
    EXPECT_FALSE(host.startMinimized);
    EXPECT_EQ(m_report.Lines(), (std::vector<std::string>{kLegacyFoundLine, kLegacyDeletedLine, "v1.3"}));
}

TEST(IntegerText, StrToInt)
{
    struct Case {
        const char* text;
        bool valid;
        std::int32_t value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"-1", true, -1},
        {"+5", true, 5},
        {"  12", true, 12},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"12 ", false, 0},
        {"1.5", false, 0},
        {"+-1", false, 0},
        {"+", false, 0},
        {"0x10", false, 0},
        {"abc", false, 0},
    };
    for (const Case& c : cases) {
        if (c.valid) {
            EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
        } else {
            try {
                StrToInt(c.text);
                ADD_FAILURE() << "accepted '" << c.text << "'";
            } catch (const EConvertError& error) {
                EXPECT_EQ(error.what(), "'" + std::string(c.text) + "' is not a valid integer value");
            }
        }
    }
}

}  // namespace
