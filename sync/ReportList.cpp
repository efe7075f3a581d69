#include "sync/ReportList.h"

#include "platform/PrintableText.h"

void ReportList::Append(const std::string& line)
{
    // Lines name files: a name's control characters are shown, not obeyed,
    // wherever the line goes (the window, a terminal, a report file).
    const std::string shown = platform::PrintableText(line);
    if (m_keep)
        m_lines.push_back(shown);
    if (m_observer)
        m_observer(shown);
}
