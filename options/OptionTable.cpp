#include "options/OptionTable.h"

#include "platform/settings/SettingsStore.h"

OptionValues::OptionValues()
{
    for (const OptionRow& row : kOptionTable)
        row.SetDefault(*this);
}

bool OptionRow::Same(const OptionValues& a, const OptionValues& b) const
{
    return IsText() ? a.*text == b.*text : a.*integer == b.*integer;
}

void OptionRow::SetDefault(OptionValues& values) const
{
    if (IsText())
        values.*text = textDefault;
    else
        values.*integer = integerDefault;
}

void OptionRow::Read(const platform::SettingsStore& store, OptionValues& values) const
{
    if (IsText())
        values.*text = store.ReadString(name);
    else
        values.*integer = store.ReadInteger(name);
}

void OptionRow::Write(platform::SettingsStore& store, const OptionValues& values) const
{
    if (IsText())
        store.WriteString(name, values.*text);
    else
        store.WriteInteger(name, values.*integer);
}
