#include "tray/NotifyIcon.h"

#include "platform/FormatText.h"
#include "platform/desktop/NotifyArea.h"
#include "tray/ImageList.h"
#include "tray/MenuProperties.h"
#include "tray/TrayApplication.h"
#include "tray/TrayDesktop.h"

#include <QMenu>
#include <QPointer>
#include <QtGlobal>

#include <algorithm>
#include <climits>

using namespace NotifyArea;

namespace {

// Limits of the record's text fields, in characters.
constexpr qsizetype kTipLengthOld = 63;
constexpr qsizetype kTipLength = 127;
constexpr qsizetype kInfoLength = 255;
constexpr qsizetype kInfoTitleLength = 63;

TNotifyIcon::ErrorReport& ApplicationErrorReport()
{
    static TNotifyIcon::ErrorReport report;
    return report;
}

void ReportError(const std::exception& error)
{
    if (ApplicationErrorReport())
        ApplicationErrorReport()(error);
    else
        qWarning("%s", error.what());
}

// The first limit characters; a surrogate pair is not split.
QString Cut(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    QString cut = text.left(limit);
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into the 16 bytes of the record:
// the first three groups little-endian, the rest in text order.
std::optional<std::array<uint8_t, 16>> ParseGuid(const QString& text)
{
    if (text.size() != 38 || text[0] != u'{' || text[37] != u'}')
        return std::nullopt;
    for (int dash : {9, 14, 19, 24})
        if (text[dash] != u'-')
            return std::nullopt;
    auto byteAt = [&text](int pos) -> int {
        const int high = HexDigit(text[pos]);
        const int low = HexDigit(text[pos + 1]);
        return high < 0 || low < 0 ? -1 : high * 16 + low;
    };
    // Text positions of the bytes, in record order.
    static constexpr std::array<int, 16> kPositions = {7, 5, 3, 1, 12, 10, 17, 15, 20, 22, 25, 27, 29, 31, 33, 35};
    std::array<uint8_t, 16> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int value = byteAt(kPositions[i]);
        if (value < 0)
            return std::nullopt;
        bytes[i] = static_cast<uint8_t>(value);
    }
    return bytes;
}

QString GuidText(const std::array<uint8_t, 16>& b)
{
    return QString::asprintf("{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2], b[1],
                             b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

// Clears a flag when leaving the scope, also by an exception.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& m_flag;
};

}  // namespace

// ---------------------------------------------------------------------------

ENotifyIconError::ENotifyIconError(uint32_t command) : std::runtime_error(MessageFor(command))
{
}

std::string ENotifyIconError::MessageFor(uint32_t command)
{
    const char* verb = command < kNotifyIconVerbs.size() ? kNotifyIconVerbs[command] : "use";
    return platform::FormatText(kNotifyIconErrorFormat, {verb});
}

// ---------------------------------------------------------------------------

TInfoBalloon::TInfoBalloon(TNotifyIcon* owner) : m_owner(owner)
{
}

void TInfoBalloon::Assign(const TInfoBalloon& source)
{
    source.AssignTo(*this);
}

void TInfoBalloon::AssignTo(TInfoBalloon& dest) const
{
    dest.m_text = m_text;
    dest.m_timeout = m_timeout;
    dest.m_title = m_title;
    dest.m_icon = m_icon;
    dest.m_sound = m_sound;
    dest.Changed(true);
}

void TInfoBalloon::Changed(bool allFlags)
{
    if (m_owner && allFlags)
        m_owner->UpdateIcon(NIF_INFO);
}

void TInfoBalloon::ShowBalloon(const QString& text, const QString& title, TBalloonIconType icon)
{
    m_text = text;
    m_title = title;
    m_icon = icon;
    Changed(true);
}

void TInfoBalloon::SetText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    Changed(true);
}

void TInfoBalloon::SetTimeout(TBalloonTimeoutSecs seconds)
{
    seconds = std::clamp(seconds, kBalloonTimeoutMin, kBalloonTimeoutMax);
    if (seconds == m_timeout)
        return;
    m_timeout = seconds;
    Changed(false);
}

void TInfoBalloon::SetTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    Changed(false);
}

void TInfoBalloon::SetIcon(TBalloonIconType icon)
{
    if (icon == m_icon)
        return;
    m_icon = icon;
    Changed(false);
}

void TInfoBalloon::SetSound(bool sound)
{
    if (sound == m_sound)
        return;
    m_sound = sound;
    Changed(false);
}

// ---------------------------------------------------------------------------

TNotifyIcon::TNotifyIcon(QObject* owner, NotifyAreaLayer& shell, TrayDesktop& desktop, TrayApplication& application)
    : QObject(owner),
      m_shell(shell),
      m_desktop(desktop),
      m_application(application),
      m_shellVersion(shell.ShellVersion()),
      m_messageWindow(std::make_unique<TrayMessageWindow>([this](TMessage& message) { WndProc(message); })),
      m_self(std::make_shared<TNotifyIcon*>(this)),
      m_infoBalloon(std::make_unique<TInfoBalloon>(this))
{
}

TNotifyIcon::~TNotifyIcon()
{
    if (m_minimizeTo)
        m_application.SetMinimizeEvent({});
    m_self.reset();
    if (m_added) {
        // A destructor cannot pass the error on; the user still hears of it.
        try {
            NotifyShell(NIM_DELETE, 0);
        } catch (const ENotifyIconError& error) {
            ReportError(error);
        }
    }
}

void TNotifyIcon::SetApplicationErrorReport(ErrorReport report)
{
    ApplicationErrorReport() = std::move(report);
}

void TNotifyIcon::BeginLoad()
{
    m_loading = true;
}

void TNotifyIcon::Loaded()
{
    m_loading = false;
    if (m_visible) {
        try {
            AddIcon();
        } catch (...) {
            SetVisible(m_added);
            throw;
        }
    }
    SetVisible(m_added);
}

// --- properties -------------------------------------------------------------

QString TNotifyIcon::GUID() const
{
    return m_guid ? GuidText(*m_guid) : QString();
}

void TNotifyIcon::SetGUID(const QString& text)
{
    const auto parsed = ParseGuid(text);
    if (!parsed)
        throw std::invalid_argument(platform::FormatText(kInvalidGuidFormat, {text.toStdString()}));
    m_guid = parsed;
    UpdateIcon(NIF_GUID);
}

bool TNotifyIcon::Hidden() const
{
    return (m_states & kHiddenState) != 0;
}

void TNotifyIcon::SetHidden(bool on)
{
    SetState(kHiddenState, on);
}

bool TNotifyIcon::Shared() const
{
    return (m_states & kSharedState) != 0;
}

void TNotifyIcon::SetShared(bool on)
{
    SetState(kSharedState, on);
}

void TNotifyIcon::SetIcon(const QIcon& icon)
{
    m_icon = icon;
    IconChanged();
}

void TNotifyIcon::SetImageIndex(int index)
{
    if (index == m_imageIndex)
        return;
    m_imageIndex = index;
    UpdateImageIcon();
}

void TNotifyIcon::SetImages(ImageList* images)
{
    if (m_images)
        disconnect(m_images, &ImageList::changed, this, &TNotifyIcon::UpdateImageIcon);
    m_images = images;
    if (m_images) {
        connect(m_images, &ImageList::changed, this, &TNotifyIcon::UpdateImageIcon, Qt::UniqueConnection);
        WatchRemoval(m_images);
    }
    UpdateImageIcon();
}

void TNotifyIcon::SetInfoBalloon(const TInfoBalloon& balloon)
{
    m_infoBalloon->Assign(balloon);
}

void TNotifyIcon::SetLPopupMenu(QMenu* menu)
{
    m_lPopupMenu = menu;
    WatchRemoval(menu);
}

void TNotifyIcon::SetPopupMenu(QMenu* menu)
{
    m_popupMenu = menu;
    WatchRemoval(menu);
    ShareMenu();
}

void TNotifyIcon::SetMinimizeTo(bool on)
{
    m_minimizeTo = on;
    if (!on)
        return;
    // The handler stays installed when the property is cleared again; it
    // must not reach an icon that no longer exists.
    std::weak_ptr<TNotifyIcon*> self = m_self;
    m_application.SetMinimizeEvent([self] {
        if (const auto icon = self.lock())
            (*icon)->AppMinimize();
    });
}

void TNotifyIcon::SetTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    UpdateIcon(NIF_TIP);
}

void TNotifyIcon::SetVisible(bool on)
{
    SetAdded(on);
    m_visible = on;
}

void TNotifyIcon::WatchRemoval(QObject* component)
{
    if (component)
        connect(component, &QObject::destroyed, this, &TNotifyIcon::Notification, Qt::UniqueConnection);
}

void TNotifyIcon::Notification(QObject* removed)
{
    if (removed == m_images)
        m_images = nullptr;
    if (removed == m_popupMenu)
        m_popupMenu = nullptr;
    if (removed == m_lPopupMenu)
        m_lPopupMenu = nullptr;
    if (removed == m_pendingMenu)
        m_pendingMenu = nullptr;
}

// --- the notification area --------------------------------------------------

void TNotifyIcon::NotifyShell(uint32_t command, uint8_t flags)
{
    NOTIFYICONDATA data;
    data.size = m_shellVersion >= kShellVersion6 ? kRecordSizeV6
        : m_shellVersion >= kShellVersion5       ? kRecordSizeV5
                                                 : kRecordSizeOld;
    data.window = m_messageWindow.get();
    data.id = 0;
    if (command == NIM_ADD || command == NIM_MODIFY) {
        data.flags = flags;
        data.callbackMessage = kCallbackMessage;
        if (flags & NIF_ICON)
            data.icon = m_icon;
        if (flags & NIF_TIP)
            data.tip = Cut(m_title, m_shellVersion >= kShellVersion5 ? kTipLength : kTipLengthOld);
        data.state = m_states;
        data.stateMask = m_stateMask;
        if (flags & NIF_INFO) {
            data.info = Cut(m_infoBalloon->Text(), kInfoLength);
            data.timeoutOrVersion = m_infoBalloon->Timeout() * 1000u;
            data.infoTitle = Cut(m_infoBalloon->Title(), kInfoTitleLength);
            data.infoFlags = m_infoBalloon->Icon() + (m_infoBalloon->Sound() ? 0 : NIIF_NOSOUND);
        }
        if ((flags & NIF_GUID) && m_guid)
            data.guid = *m_guid;
    } else if (command == NIM_SETVERSION) {
        data.timeoutOrVersion = NOTIFYICON_VERSION;
    }
    if (!m_shell.Shell_NotifyIconA(command, data))
        throw ENotifyIconError(command);
}

void TNotifyIcon::AddIcon()
{
    uint8_t flags = NIF_MESSAGE;
    if (!m_icon.isNull())
        flags |= NIF_ICON;
    if (!m_title.isEmpty())
        flags |= NIF_TIP;
    if (m_shellVersion >= kShellVersion5) {
        if (m_states != 0) {
            m_stateMask = m_states;
            flags |= NIF_STATE;
        }
        if (!m_infoBalloon->Text().isEmpty())
            flags |= NIF_INFO;
    }
    if (m_shellVersion >= kShellVersion6 && m_guid)
        flags |= NIF_GUID;
    NotifyShell(NIM_ADD, flags);
    if (m_shellVersion >= kShellVersion5)
        NotifyShell(NIM_SETVERSION, 0);
    m_added = true;
    m_pendingFlags = 0;
    ShareMenu();
}

void TNotifyIcon::ShareMenu()
{
    // Areas that draw the menu themselves offer it on a right click.
    if (m_added)
        m_shell.SetIconMenu(m_messageWindow.get(), 0, m_popupMenu);
}

void TNotifyIcon::SetAdded(bool value)
{
    if (value == m_added || m_loading)
        return;
    if (value) {
        AddIcon();
    } else {
        NotifyShell(NIM_DELETE, 0);
        m_added = false;
    }
}

void TNotifyIcon::UpdateIcon(uint8_t flags)
{
    if (!m_added)
        return;
    if (m_shellVersion < kShellVersion5)
        flags &= static_cast<uint8_t>(~(NIF_STATE | NIF_INFO));
    if (m_shellVersion < kShellVersion6)
        flags &= static_cast<uint8_t>(~NIF_GUID);
    if (flags == 0)
        return;
    if (flags & NIF_INFO) {
        // Balloon changes made before the loop runs again go out together,
        // with the values of that moment.
        m_pendingFlags |= flags;
        ScheduleTimer(kBalloonTimerId, 1);
    } else {
        NotifyShell(NIM_MODIFY, flags);
    }
}

void TNotifyIcon::SetState(StateBit which, bool value)
{
    if (((m_states & which) != 0) == value)
        return;
    if (value)
        m_states |= which;
    else
        m_states &= static_cast<uint8_t>(~which);
    m_stateMask = which;
    uint8_t flags = NIF_STATE;
    if (which == kSharedState && !value && !m_icon.isNull())
        flags |= NIF_ICON;
    UpdateIcon(flags);
}

void TNotifyIcon::IconChanged()
{
    if (!m_updatingIcon)
        m_imageIndex = -1;
    UpdateIcon(NIF_ICON);
}

void TNotifyIcon::UpdateImageIcon()
{
    if (!m_images || m_imageIndex < 0 || m_imageIndex >= m_images->Count())
        return;
    FlagGuard updating(m_updatingIcon);
    SetIcon(m_images->GetIcon(m_imageIndex));
}

bool TNotifyIcon::TrayAvailable() const
{
    return m_shell.IsTrayAvailable();
}

void TNotifyIcon::ScheduleTimer(uint32_t timerId, int interval)
{
    if (interval < 0)
        m_messageWindow->KillTimer(timerId);
    else
        m_messageWindow->SetTimer(timerId, interval);
}

// --- the hidden window ------------------------------------------------------

void TNotifyIcon::WndProc(TMessage& message)
{
    try {
        Dispatch(message);
    } catch (const std::exception& error) {
        ReportError(error);
    }
}

void TNotifyIcon::Dispatch(TMessage& message)
{
    if (message.Msg == kCallbackMessage)
        HandleCallback(static_cast<uint32_t>(message.LParam));
    else if (message.Msg == WM_TIMER)
        HandleTimer(message);
    else
        DefaultHandler(message);
}

void TNotifyIcon::DefaultHandler(TMessage& message)
{
    message.Result = 0;
}

void TNotifyIcon::HandleTimer(TMessage& message)
{
    const auto id = static_cast<uint32_t>(message.WParam);
    if (id == kBalloonTimerId) {
        ScheduleTimer(id, -1);
        if (m_added && m_pendingFlags != 0) {
            NotifyShell(NIM_MODIFY, m_pendingFlags);
            m_pendingFlags = 0;
        }
        message.Result = 0;
    } else if (id == kPopupTimerId) {
        ScheduleTimer(id, -1);
        if (m_enabled && m_pendingMenu)
            PopupAtCursor(m_pendingMenu);
        message.Result = 0;
    } else if (m_onTimer) {
        m_onTimer(*this, id);
        message.Result = 0;
    }
}

void TNotifyIcon::HandleCallback(uint32_t code)
{
    const TShiftState shift = GetShiftState();
    const QPoint cursor = m_desktop.CursorPos();
    if (!m_enabled && code <= NIN_KEYSELECT)
        return;
    switch (code) {
    case WM_CONTEXTMENU: {
        m_cursorPos = cursor;
        bool handled = false;
        DoContextPopup(m_cursorPos, handled);
        if (!handled)
            ShowMenu(mbRight);
        break;
    }
    case WM_MOUSEMOVE: DoMouseMove(shift, cursor.x(), cursor.y()); break;
    case NIN_SELECT: DoSelect(); break;
    case NIN_KEYSELECT:
        DoKeySelect();
        RestoreApp();
        break;
    case NIN_BALLOONSHOW: DoBalloonShow(); break;
    case NIN_BALLOONHIDE: DoBalloonHide(); break;
    case NIN_BALLOONTIMEOUT: DoBalloonDismiss(); break;
    case NIN_BALLOONUSERCLICK: DoBalloonClick(); break;
    default:
        if (code >= WM_LBUTTONDOWN && code <= WM_MBUTTONDBLCLK)
            HandleButton(code, shift, cursor);
        break;
    }
}

void TNotifyIcon::HandleButton(uint32_t code, TShiftState shift, QPoint cursor)
{
    enum Kind { Down, Up, DoubleClick };
    const uint32_t index = code - WM_LBUTTONDOWN;
    const auto button = static_cast<TMouseButton>(index / 3);
    const auto kind = static_cast<Kind>(index % 3);

    if (kind == Down)
        m_lastDownTick = m_desktop.TickCount();
    if (kind == DoubleClick)
        shift.Insert(ssDouble);
    m_cursorPos = cursor;

    if (kind == Up) {
        HandleButtonUp(button, shift, cursor);
        return;
    }

    ScheduleTimer(kPopupTimerId, -1);
    bool handledLeftDouble = false;
    if (kind == DoubleClick && m_dblClicks.Contains(button)) {
        if (button == mbLeft) {
            handledLeftDouble = true;
            if (!ClickDefaultItem(m_lPopupMenu))
                ClickDefaultItem(m_popupMenu);
            DoDblClick();
        }
    } else {
        m_buttonsDown.Insert(button);
    }
    DoMouseDown(button, shift, cursor.x(), cursor.y());
    if (m_dblToRestore && handledLeftDouble)
        RestoreApp();
}

void TNotifyIcon::HandleButtonUp(TMouseButton button, TShiftState shift, QPoint cursor)
{
    const bool wasDown = m_buttonsDown.Contains(button);
    m_buttonsDown.Erase(button);
    if (wasDown && button == mbLeft)
        DoClick();
    DoMouseUp(button, shift, cursor.x(), cursor.y());
    if (!wasDown)
        return;
    if (button == mbLeft && !m_dblToRestore && !m_lPopupMenu)
        RestoreApp();
    // From version 5 the right button's menu comes with the context-menu
    // code instead.
    if (!(button == mbRight && m_shellVersion >= kShellVersion5))
        ShowMenu(button);
}

TShiftState TNotifyIcon::GetShiftState() const
{
    using Key = TrayDesktop::Key;
    TShiftState shift;
    if (m_desktop.IsKeyDown(Key::Shift))
        shift.Insert(ssShift);
    if (m_desktop.IsKeyDown(Key::Alt))
        shift.Insert(ssAlt);
    if (m_desktop.IsKeyDown(Key::Control))
        shift.Insert(ssCtrl);
    const bool swapped = m_desktop.MouseButtonsSwapped();
    if (m_desktop.IsKeyDown(Key::LeftButton))
        shift.Insert(swapped ? ssRight : ssLeft);
    if (m_desktop.IsKeyDown(Key::RightButton))
        shift.Insert(swapped ? ssLeft : ssRight);
    if (m_desktop.IsKeyDown(Key::MiddleButton))
        shift.Insert(ssMiddle);
    return shift;
}

// --- menus ------------------------------------------------------------------

void TNotifyIcon::ShowMenu(TMouseButton button)
{
    QMenu* menu = button == mbLeft ? m_lPopupMenu : button == mbRight ? m_popupMenu : nullptr;
    if (!menu || !MenuProperties::AutoPopup(*menu))
        return;
    if (m_dblClicks.Contains(button))
        DelayedPopup(menu);
    else
        PopupAtCursor(menu);
}

void TNotifyIcon::DelayedPopup(QMenu* menu)
{
    // The tick count wraps; the difference of two readings does not.
    const uint32_t elapsed = m_desktop.TickCount() - m_lastDownTick;
    const int64_t remaining = static_cast<int64_t>(m_desktop.DoubleClickTime()) - elapsed;
    if (remaining <= 0) {
        PopupAtCursor(menu);
        return;
    }
    ScheduleTimer(kPopupTimerId, static_cast<int>(std::min<int64_t>(remaining, INT_MAX)));
    m_pendingMenu = menu;
}

void TNotifyIcon::PopupAtCursor(QMenu* menu)
{
    const QPointer<TNotifyIcon> self(this);
    m_desktop.SetForegroundWindow(m_messageWindow.get());
    MenuProperties::SetPopupComponent(*menu, this);
    m_desktop.PopupMenu(*menu, m_cursorPos);
    // A command of the menu may have ended the program meanwhile.
    if (!self)
        return;
    // Lets the area notice that the menu has gone.
    PostWindowMessage(m_messageWindow.get(), WM_NULL, 0, 0);
}

bool TNotifyIcon::ClickDefaultItem(QMenu* menu)
{
    if (!menu || !MenuProperties::AutoPopup(*menu))
        return false;
    QAction* const defaultItem = menu->defaultAction();
    for (QAction* item : menu->actions()) {
        if (item == defaultItem) {
            item->trigger();
            return true;
        }
    }
    return false;
}

// --- application ------------------------------------------------------------

void TNotifyIcon::AppMinimize()
{
    if (!m_minimizeTo)
        return;
    // Without a notification area the taskbar entry is the only way back.
    if (TrayAvailable())
        m_application.HideApplicationWindow();
    if (m_icon.isNull())
        SetIcon(m_application.ApplicationIcon());
    if (m_title.isEmpty())
        SetTitle(m_application.ApplicationTitle());
    SetVisible(true);
}

void TNotifyIcon::RestoreApp()
{
    if (m_application.IsApplicationWindowVisible())
        return;
    m_application.ShowApplicationWindow();
    m_application.Restore();
    SetVisible(false);
}

// --- events -----------------------------------------------------------------

void TNotifyIcon::DoBalloonClick()
{
    if (m_onBalloonClick)
        m_onBalloonClick(*this);
}

void TNotifyIcon::DoBalloonDismiss()
{
    if (m_onBalloonDismiss)
        m_onBalloonDismiss(*this);
}

void TNotifyIcon::DoBalloonHide()
{
    if (m_onBalloonHide)
        m_onBalloonHide(*this);
}

void TNotifyIcon::DoBalloonShow()
{
    if (m_onBalloonShow)
        m_onBalloonShow(*this);
}

void TNotifyIcon::DoClick()
{
    if (m_onClick)
        m_onClick(*this);
}

void TNotifyIcon::DoContextPopup(QPoint mousePos, bool& handled)
{
    if (m_onContextPopup)
        m_onContextPopup(*this, mousePos, handled);
}

void TNotifyIcon::DoDblClick()
{
    if (m_onDblClick)
        m_onDblClick(*this);
}

void TNotifyIcon::DoKeySelect()
{
    if (m_onKeySelect)
        m_onKeySelect(*this);
}

void TNotifyIcon::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (m_onMouseDown)
        m_onMouseDown(*this, button, shift, x, y);
}

void TNotifyIcon::DoMouseMove(TShiftState shift, int x, int y)
{
    if (m_onMouseMove)
        m_onMouseMove(*this, shift, x, y);
}

void TNotifyIcon::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (m_onMouseUp)
        m_onMouseUp(*this, button, shift, x, y);
}

void TNotifyIcon::DoSelect()
{
    if (m_onSelect)
        m_onSelect(*this);
}
