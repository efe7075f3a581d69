#pragma once

#include <QPointer>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/desktop/NotifyArea.h"

// A notification area for tests: records every command and its record, lets
// the test decide each command's result and send notifications back.
class RecordingNotifyArea : public NotifyAreaLayer {
public:
    struct Call {
        uint32_t command;
        NOTIFYICONDATA data;
    };

    bool Shell_NotifyIconA(uint32_t command, const NOTIFYICONDATA& data) override;
    uint32_t ShellVersion() const override { return m_shellVersion; }
    bool IsTrayAvailable() const override { return m_trayAvailable; }

    void SetShellVersion(uint32_t version) { m_shellVersion = version; }
    void SetTrayAvailable(bool available) { m_trayAvailable = available; }
    // Makes every later call of this command report failure (or success).
    void SetFails(uint32_t command, bool fails);

    const std::vector<Call>& Calls() const { return m_calls; }
    // The calls of one command, in order.
    std::vector<Call> CallsOf(uint32_t command) const;
    void ClearCalls() { m_calls.clear(); }

    // Posts a notification code to the icon last added, as the area does;
    // false when no icon is there.
    bool SendNotification(uint32_t code);

private:
    uint32_t m_shellVersion = NotifyArea::kShellVersion6;
    bool m_trayAvailable = true;
    std::array<bool, 8> m_fails{};
    std::vector<Call> m_calls;
    QPointer<QObject> m_window;
    uint32_t m_id = 0;
    uint32_t m_callbackMessage = 0;
    bool m_present = false;
};
