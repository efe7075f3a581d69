#include "sync/ReportList.h"

#include "platform/PrintableText.h"

void ReportList::Append(const std::string& line)
{
    // Lines name files: a name's control characters are shown, not obeyed,
    // wherever the line goes (the window, a terminal, a report file).
    m_lines.push_back(platform::PrintableText(line));
    if (m_observer)
        m_observer(m_lines.back());
}
