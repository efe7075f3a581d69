#include "TrayTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

std::string ButtonName(TMouseButton button)
{
    return button == mbLeft ? "L" : button == mbRight ? "R" : "M";
}

std::string ShiftText(TShiftState shift)
{
    std::string text;
    const char* names[] = {"Shift", "Alt", "Ctrl", "Left", "Right", "Middle", "Double"};
    for (int i = ssShift; i <= ssDouble; ++i)
        if (shift.Contains(static_cast<TShiftStateItem>(i)))
            text += std::string(" ") + names[i];
    return text;
}

}  // namespace

std::unique_ptr<TNotifyIcon> TrayRig::MakeIcon(uint32_t shellVersion)
{
    shell.SetShellVersion(shellVersion);
    return std::make_unique<TNotifyIcon>(nullptr, shell, desktop, application);
}

void TrayRig::Send(const std::vector<uint32_t>& codes)
{
    for (uint32_t code : codes) {
        ASSERT_TRUE(shell.SendNotification(code)) << "no icon to notify";
        DeliverPosted();
    }
}

EventLog::EventLog(TNotifyIcon& icon)
{
    auto simple = [this](const char* name) { return [this, name](TNotifyIcon&) { m_lines.push_back(name); }; };
    icon.SetOnBalloonClick(simple("BalloonClick"));
    icon.SetOnBalloonDismiss(simple("BalloonDismiss"));
    icon.SetOnBalloonHide(simple("BalloonHide"));
    icon.SetOnBalloonShow(simple("BalloonShow"));
    icon.SetOnClick(simple("Click"));
    icon.SetOnDblClick(simple("DblClick"));
    icon.SetOnKeySelect(simple("KeySelect"));
    icon.SetOnSelect(simple("Select"));
    icon.SetOnContextPopup([this](TNotifyIcon&, QPoint pos, bool&) {
        m_lines.push_back("ContextPopup " + std::to_string(pos.x()) + "," + std::to_string(pos.y()));
    });
    icon.SetOnMouseDown([this](TNotifyIcon&, TMouseButton button, TShiftState shift, int x, int y) {
        m_lines.push_back("MouseDown " + ButtonName(button) + ShiftText(shift) + " " + std::to_string(x) + ","
                          + std::to_string(y));
    });
    icon.SetOnMouseUp([this](TNotifyIcon&, TMouseButton button, TShiftState shift, int, int) {
        m_lines.push_back("MouseUp " + ButtonName(button) + ShiftText(shift));
    });
    icon.SetOnMouseMove([this](TNotifyIcon&, TShiftState shift, int x, int y) {
        m_lines.push_back("MouseMove" + ShiftText(shift) + " " + std::to_string(x) + "," + std::to_string(y));
    });
    icon.SetOnTimer([this](TNotifyIcon&, uint32_t id) { m_lines.push_back("Timer " + std::to_string(id)); });
}
