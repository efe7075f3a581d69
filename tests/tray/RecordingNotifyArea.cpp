#include "RecordingNotifyArea.h"

using namespace NotifyArea;

bool RecordingNotifyArea::Shell_NotifyIconA(uint32_t command, const NOTIFYICONDATA& data)
{
    m_calls.push_back({command, data});
    if (command < m_fails.size() && m_fails[command])
        return false;
    if (command == NIM_ADD) {
        m_window = data.window;
        m_id = data.id;
        m_callbackMessage = (data.flags & NIF_MESSAGE) ? data.callbackMessage : 0;
        m_present = true;
    } else if (command == NIM_MODIFY && (data.flags & NIF_MESSAGE)) {
        m_callbackMessage = data.callbackMessage;
    } else if (command == NIM_DELETE) {
        m_present = false;
    }
    return true;
}

void RecordingNotifyArea::SetFails(uint32_t command, bool fails)
{
    if (command < m_fails.size())
        m_fails[command] = fails;
}

std::vector<RecordingNotifyArea::Call> RecordingNotifyArea::CallsOf(uint32_t command) const
{
    std::vector<Call> result;
    for (const Call& call : m_calls)
        if (call.command == command)
            result.push_back(call);
    return result;
}

bool RecordingNotifyArea::SendNotification(uint32_t code)
{
    if (!m_present || !m_window || m_callbackMessage == 0)
        return false;
    PostWindowMessage(m_window, m_callbackMessage, m_id, static_cast<intptr_t>(code));
    return true;
}
