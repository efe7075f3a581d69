#pragma once

#include <functional>
#include <string>
#include <vector>

// One of the two folder lists: entries kept in ascending order without
// regard to letter case, each with a selection flag. Texts are stored exactly
// as given; empty texts and duplicates are allowed.
class FolderList {
public:
    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& Text(int index) const { return m_entries.at(static_cast<size_t>(index)).text; }
    bool Selected(int index) const { return m_entries.at(static_cast<size_t>(index)).selected; }
    int SelCount() const;

    // Adds an entry at its sorted place (before entries that compare equal)
    // and returns its index.
    int Add(const std::string& text);
    // Adds every text, in the order given, exactly as Add one after the
    // other would, but with one sort and one change: a long list file loads
    // in linear-logarithmic time, not quadratic.
    void AddAll(std::vector<std::string> texts);
    void SetSelected(int index, bool selected);

    void DeleteSelected();  // from the highest index down
    void Clear();
    void SelectAll();
    void DeselectAll();

    // Told after every change (entries or selection), so a view can follow.
    void SetObserver(std::function<void()> observer) { m_observer = std::move(observer); }
    // Told after every change too, for the program (which watches the
    // listed folders), apart from the view's observer.
    void SetProgramObserver(std::function<void()> observer) { m_programObserver = std::move(observer); }

private:
    struct Entry {
        std::string text;
        bool selected = false;
    };
    void Changed();

    std::vector<Entry> m_entries;
    std::function<void()> m_observer;
    std::function<void()> m_programObserver;
};

// The ordering of the lists: less-than without regard to letter case.
bool FolderTextLess(const std::string& a, const std::string& b);

// Whether a folder text is a full path (it starts with '/'). Any other text
// (relative, "~/...", empty) would name whatever folder the program happens
// to stand in, so a run leaves such an entry out.
bool IsFullFolderPath(const std::string& text);
