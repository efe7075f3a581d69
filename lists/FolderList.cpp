#include "lists/FolderList.h"

#include <algorithm>

namespace {

// Letters compare as lower case, so '_' and the other signs between the two
// ASCII alphabets sort before letters, as in the list controls users know.
unsigned char FoldCase(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

bool FolderTextLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return FoldCase(x) < FoldCase(y); });
}

int FolderList::SelCount() const
{
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
                                          [](const Entry& e) { return e.selected; }));
}

int FolderList::Add(const std::string& text)
{
    // Before every entry that compares equal: the list file holds the
    // entries last to first, so reading it back restores their order.
    const auto place = std::lower_bound(m_entries.begin(), m_entries.end(), text,
                                        [](const Entry& e, const std::string& t) { return FolderTextLess(e.text, t); });
    const auto inserted = m_entries.insert(place, Entry{text, false});
    Changed();
    return static_cast<int>(inserted - m_entries.begin());
}

void FolderList::SetSelected(int index, bool selected)
{
    Entry& entry = m_entries.at(static_cast<size_t>(index));
    if (entry.selected == selected)
        return;
    entry.selected = selected;
    Changed();
}

void FolderList::DeleteSelected()
{
    bool removed = false;
    for (int i = Count() - 1; i >= 0; --i) {
        if (m_entries[static_cast<size_t>(i)].selected) {
            m_entries.erase(m_entries.begin() + i);
            removed = true;
        }
    }
    if (removed)
        Changed();
}

void FolderList::Clear()
{
    if (m_entries.empty())
        return;
    m_entries.clear();
    Changed();
}

void FolderList::SelectAll()
{
    bool changed = false;
    for (Entry& entry : m_entries) {
        changed = changed || !entry.selected;
        entry.selected = true;
    }
    if (changed)
        Changed();
}

void FolderList::DeselectAll()
{
    bool changed = false;
    for (Entry& entry : m_entries) {
        changed = changed || entry.selected;
        entry.selected = false;
    }
    if (changed)
        Changed();
}

void FolderList::Changed()
{
    if (m_observer)
        m_observer();
}
