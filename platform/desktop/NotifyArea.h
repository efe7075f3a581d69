#pragma once

// The desktop's notification area, reached through the same commands and
// record as the shell's notify-icon call: the tray component fills the record
// and a layer puts it on screen (SystemTrayNotifyArea) or keeps it for a test
// to look at (RecordingNotifyArea, in the tests).

#include <QEvent>
#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace NotifyArea {

// Commands.
inline constexpr uint32_t NIM_ADD = 0;
inline constexpr uint32_t NIM_MODIFY = 1;
inline constexpr uint32_t NIM_DELETE = 2;
inline constexpr uint32_t NIM_SETFOCUS = 3;
inline constexpr uint32_t NIM_SETVERSION = 4;

// Which fields of the record an add or modify carries.
inline constexpr uint32_t NIF_MESSAGE = 0x01;
inline constexpr uint32_t NIF_ICON = 0x02;
inline constexpr uint32_t NIF_TIP = 0x04;
inline constexpr uint32_t NIF_STATE = 0x08;
inline constexpr uint32_t NIF_INFO = 0x10;
inline constexpr uint32_t NIF_GUID = 0x20;

// Icon states.
inline constexpr uint32_t NIS_HIDDEN = 0x01;
inline constexpr uint32_t NIS_SHAREDICON = 0x02;

// Balloon flags: the icon kind in the low bits, and no sound.
inline constexpr uint32_t NIIF_NONE = 0;
inline constexpr uint32_t NIIF_INFO = 1;
inline constexpr uint32_t NIIF_WARNING = 2;
inline constexpr uint32_t NIIF_ERROR = 3;
inline constexpr uint32_t NIIF_USER = 4;
inline constexpr uint32_t NIIF_ICON_MASK = 0x0F;
inline constexpr uint32_t NIIF_NOSOUND = 0x10;

// The protocol version an icon asks for with NIM_SETVERSION.
inline constexpr uint32_t NOTIFYICON_VERSION = 3;

// Shell versions: major in the upper 16 bits, minor in the lower. An area
// that cannot show balloons answers 4.0, as the shells before balloons did.
inline constexpr uint32_t kShellVersion4 = 0x40000;
inline constexpr uint32_t kShellVersion5 = 0x50000;
inline constexpr uint32_t kShellVersion6 = 0x60000;

// Record sizes by shell version.
inline constexpr uint32_t kRecordSizeOld = 88;
inline constexpr uint32_t kRecordSizeV5 = 488;
inline constexpr uint32_t kRecordSizeV6 = 504;

// Notification codes the area sends with the icon's callback message.
inline constexpr uint32_t WM_CONTEXTMENU = 0x7B;
inline constexpr uint32_t WM_MOUSEMOVE = 0x200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x201;
inline constexpr uint32_t WM_LBUTTONUP = 0x202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x204;
inline constexpr uint32_t WM_RBUTTONUP = 0x205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x206;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x207;
inline constexpr uint32_t WM_MBUTTONUP = 0x208;
inline constexpr uint32_t WM_MBUTTONDBLCLK = 0x209;
inline constexpr uint32_t WM_USER = 0x400;
inline constexpr uint32_t NIN_SELECT = 0x400;
inline constexpr uint32_t NIN_KEYSELECT = 0x401;
inline constexpr uint32_t NIN_BALLOONSHOW = 0x402;
inline constexpr uint32_t NIN_BALLOONHIDE = 0x403;
inline constexpr uint32_t NIN_BALLOONTIMEOUT = 0x404;
inline constexpr uint32_t NIN_BALLOONUSERCLICK = 0x405;

// Other window messages of the icon's hidden window.
inline constexpr uint32_t WM_NULL = 0;
inline constexpr uint32_t WM_TIMER = 0x113;

}  // namespace NotifyArea

// One icon's record. Strings are already cut to the lengths the component
// decided; the layer takes them as they are.
struct NOTIFYICONDATA {
    uint32_t size = 0;
    QObject* window = nullptr;  // receives the callback messages
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t callbackMessage = 0;
    QIcon icon;
    QString tip;
    uint32_t state = 0;
    uint32_t stateMask = 0;
    QString info;
    uint32_t timeoutOrVersion = 0;  // balloon time in ms, or the version for NIM_SETVERSION
    QString infoTitle;
    uint32_t infoFlags = 0;
    std::array<uint8_t, 16> guid{};
};

// A message posted to a window object, as the shell posts its callbacks.
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam);
    static QEvent::Type EventType();

    uint32_t Message() const { return m_message; }
    uintptr_t WParam() const { return m_wParam; }
    intptr_t LParam() const { return m_lParam; }

private:
    uint32_t m_message;
    uintptr_t m_wParam;
    intptr_t m_lParam;
};

// Queues the message for the window; it is handled when the loop next runs.
// Nothing happens when the window is gone.
void PostWindowMessage(QObject* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

class NotifyAreaLayer {
public:
    virtual ~NotifyAreaLayer() = default;

    // Carries out one command with the record; false when it failed.
    virtual bool Shell_NotifyIconA(uint32_t command, const NOTIFYICONDATA& data) = 0;
    // The version of the notification protocol spoken here, 0 when unknown.
    virtual uint32_t ShellVersion() const = 0;
    // Whether an icon added now can be seen: some desktops have no area.
    virtual bool IsTrayAvailable() const = 0;
    // The menu of an added icon (null: none). Areas that draw an icon's menu
    // themselves need it beforehand; the others leave menus to the icon.
    virtual void SetIconMenu(const QObject* window, uint32_t id, QMenu* menu) { (void)window, (void)id, (void)menu; }
};
