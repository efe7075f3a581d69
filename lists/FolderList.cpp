#include "lists/FolderList.h"

#include <algorithm>
#include <iterator>

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

bool IsFullFolderPath(const std::string& text)
{
    return !text.empty() && text.front() == '/';
}

int FolderList::SelCount() const
{
    return static_cast<int>(
        std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.selected; }));
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

void FolderList::AddAll(std::vector<std::string> texts)
{
    if (texts.empty())
        return;
    // Add puts each text before those equal to it, so equal texts end up
    // last added first: reversed, then sorted stably, they stand the same.
    std::vector<Entry> added;
    added.reserve(texts.size());
    for (auto text = texts.rbegin(); text != texts.rend(); ++text)
        added.push_back(Entry{std::move(*text), false});
    const auto less = [](const Entry& a, const Entry& b) { return FolderTextLess(a.text, b.text); };
    std::stable_sort(added.begin(), added.end(), less);
    // Merged with the entries already there, the new ones first among equals.
    std::vector<Entry> merged;
    merged.reserve(m_entries.size() + added.size());
    std::merge(std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::make_move_iterator(m_entries.begin()), std::make_move_iterator(m_entries.end()),
               std::back_inserter(merged), less);
    m_entries = std::move(merged);
    Changed();
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
    // One pass, so that deleting every other entry of a long list is not
    // quadratic; the entries kept stay in their order.
    const auto kept = std::remove_if(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.selected; });
    if (kept == m_entries.end())
        return;
    m_entries.erase(kept, m_entries.end());
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
    if (m_programObserver)
        m_programObserver();
}
