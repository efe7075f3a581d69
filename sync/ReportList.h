#pragma once

#include <functional>
#include <string>
#include <vector>

// The Report list: result lines appended at the end, oldest first; never
// sorted, never cleared while the program runs. A line is kept and shown
// with its control characters escaped (PrintableText), so that a file name
// can neither forge lines nor work a terminal.
class ReportList {
public:
    void Append(const std::string& line);
    // Off: lines go to the observer only, and none is kept (no window shows
    // them later).
    void SetKeepLines(bool keep) { m_keep = keep; }
    const std::vector<std::string>& Lines() const { return m_lines; }
    int Count() const { return static_cast<int>(m_lines.size()); }

    // Told of every appended line, so the window's list can show it.
    void SetObserver(std::function<void(const std::string&)> observer) { m_observer = std::move(observer); }
    const std::function<void(const std::string&)>& Observer() const { return m_observer; }

private:
    std::vector<std::string> m_lines;
    bool m_keep = true;
    std::function<void(const std::string&)> m_observer;
};
