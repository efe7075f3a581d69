#include "sync/ReportList.h"

void ReportList::Append(const std::string& line)
{
    if (m_keep)
        m_lines.push_back(line);
    if (m_observer)
        m_observer(line);
}
