#pragma once

// The tray icon: one icon in the desktop's notification area with its tip,
// balloons and menus, and the hiding of the program into it on minimize.

#include "platform/desktop/BalloonIcon.h"
#include "tray/EnumSet.h"
#include "tray/TrayMessageWindow.h"

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class ImageList;
class NotifyAreaLayer;
class QMenu;
class TNotifyIcon;
class TrayApplication;
class TrayDesktop;

// Whole seconds, 10 to 30.
using TBalloonTimeoutSecs = uint8_t;
inline constexpr TBalloonTimeoutSecs kBalloonTimeoutMin = 10;
inline constexpr TBalloonTimeoutSecs kBalloonTimeoutMax = 30;

enum TMouseButton : uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };
using TMouseButtons = EnumSet<TMouseButton>;

enum TShiftStateItem : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = EnumSet<TShiftStateItem>;

// The message of a failed notification-area command; %s is the verb.
inline constexpr char kNotifyIconErrorFormat[] = "Failed to %s notify icon";
// The verbs by command: add, modify, delete, set focus, set version.
inline constexpr std::array<const char*, 5> kNotifyIconVerbs = {"add", "modify", "delete", "set focus to",
                                                                "set version of"};
// The message of a malformed GUID text; %s is the text.
inline constexpr char kInvalidGuidFormat[] = "'%s' is not a valid GUID value";

class ENotifyIconError : public std::runtime_error {
public:
    // The error of a failed command (NotifyArea::NIM_...).
    explicit ENotifyIconError(uint32_t command);
    static std::string MessageFor(uint32_t command);
};

// The balloon of one icon: its text, title, icon kind, sound and display time.
class TInfoBalloon {
public:
    explicit TInfoBalloon(TNotifyIcon* owner);
    virtual ~TInfoBalloon() = default;

    TInfoBalloon(const TInfoBalloon&) = delete;
    TInfoBalloon& operator=(const TInfoBalloon&) = delete;

    // Takes the values of source (source's AssignTo).
    void Assign(const TInfoBalloon& source);
    // Copies Text, Timeout, Title, Icon and Sound into dest, then dest.Changed(true).
    virtual void AssignTo(TInfoBalloon& dest) const;
    // Sends the balloon through the owner when allFlags is set; other changes
    // wait for the next text.
    virtual void Changed(bool allFlags);

    // Shows a balloon when the event loop next runs; returns at once.
    void ShowBalloon(const QString& text, const QString& title, TBalloonIconType icon);

    TNotifyIcon* Owner() const { return m_owner; }
    const QString& Text() const { return m_text; }
    void SetText(const QString& text);
    TBalloonTimeoutSecs Timeout() const { return m_timeout; }
    // Values outside 10 to 30 are brought to the nearer end.
    void SetTimeout(TBalloonTimeoutSecs seconds);
    const QString& Title() const { return m_title; }
    void SetTitle(const QString& title);
    TBalloonIconType Icon() const { return m_icon; }
    void SetIcon(TBalloonIconType icon);
    bool Sound() const { return m_sound; }
    void SetSound(bool sound);

private:
    TNotifyIcon* m_owner;
    QString m_text;
    TBalloonTimeoutSecs m_timeout = 20;
    QString m_title;
    TBalloonIconType m_icon = biNone;
    bool m_sound = true;
};

class TNotifyIcon : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TNotifyIcon& sender)>;
    using TContextPopupEvent = std::function<void(TNotifyIcon& sender, QPoint mousePos, bool& handled)>;
    using TMouseEvent = std::function<void(TNotifyIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TNotifyIcon& sender, TShiftState shift, int x, int y)>;
    using TTimerEvent = std::function<void(TNotifyIcon& sender, uint32_t timerId)>;
    using ErrorReport = std::function<void(const std::exception& error)>;

    // Own timers of the hidden window.
    static constexpr uint32_t kBalloonTimerId = 0x2000;  // the deferred modify
    static constexpr uint32_t kPopupTimerId = 0x2001;  // the delayed popup
    // The callback message the notification area sends the hidden window.
    static constexpr uint32_t kCallbackMessage = 0x400;

    // The shell version is read here, once. The icon is not added yet.
    // The destructor removes the icon and clears the application's minimize
    // event, so the icon must go before the objects it was given: a main
    // window that implements TrayApplication deletes it in its own
    // destructor rather than leaving it to QObject's deletion of children.
    TNotifyIcon(QObject* owner, NotifyAreaLayer& shell, TrayDesktop& desktop, TrayApplication& application);
    ~TNotifyIcon() override;

    // Where errors go that end the handling of a callback or timer (the
    // application's error box). Without one they are written to the log.
    static void SetApplicationErrorReport(ErrorReport report);

    // Loading the stored settings: between BeginLoad and Loaded the setters
    // store their values but do not add or remove the icon; Loaded then adds
    // it when Visible is set. An error of that add is passed on.
    void BeginLoad();
    void Loaded();
    bool Loading() const { return m_loading; }

    // Published properties.
    TMouseButtons DblClicks() const { return m_dblClicks; }
    void SetDblClicks(TMouseButtons buttons) { m_dblClicks = buttons; }
    bool DblToRestore() const { return m_dblToRestore; }
    void SetDblToRestore(bool on) { m_dblToRestore = on; }
    bool DesignPreview() const { return m_designPreview; }
    void SetDesignPreview(bool on) { m_designPreview = on; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on) { m_enabled = on; }
    // The braced text form, upper case; empty until one is set. A malformed
    // text throws std::invalid_argument and changes nothing.
    QString GUID() const;
    void SetGUID(const QString& text);
    bool Hidden() const;
    void SetHidden(bool on);
    const QIcon& Icon() const { return m_icon; }
    void SetIcon(const QIcon& icon);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    ImageList* Images() const { return m_images; }
    void SetImages(ImageList* images);
    TInfoBalloon& InfoBalloon() { return *m_infoBalloon; }
    const TInfoBalloon& InfoBalloon() const { return *m_infoBalloon; }
    void SetInfoBalloon(const TInfoBalloon& balloon);
    QMenu* LPopupMenu() const { return m_lPopupMenu; }
    void SetLPopupMenu(QMenu* menu);
    bool MinimizeTo() const { return m_minimizeTo; }
    void SetMinimizeTo(bool on);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu);
    bool Shared() const;
    void SetShared(bool on);
    const QString& Title() const { return m_title; }
    void SetTitle(const QString& title);
    bool Visible() const { return m_visible; }
    void SetVisible(bool on);

    // Published events.
    void SetOnBalloonClick(TNotifyEvent handler) { m_onBalloonClick = std::move(handler); }
    void SetOnBalloonDismiss(TNotifyEvent handler) { m_onBalloonDismiss = std::move(handler); }
    void SetOnBalloonHide(TNotifyEvent handler) { m_onBalloonHide = std::move(handler); }
    void SetOnBalloonShow(TNotifyEvent handler) { m_onBalloonShow = std::move(handler); }
    void SetOnClick(TNotifyEvent handler) { m_onClick = std::move(handler); }
    void SetOnContextPopup(TContextPopupEvent handler) { m_onContextPopup = std::move(handler); }
    void SetOnDblClick(TNotifyEvent handler) { m_onDblClick = std::move(handler); }
    void SetOnKeySelect(TNotifyEvent handler) { m_onKeySelect = std::move(handler); }
    void SetOnMouseDown(TMouseEvent handler) { m_onMouseDown = std::move(handler); }
    void SetOnMouseMove(TMouseMoveEvent handler) { m_onMouseMove = std::move(handler); }
    void SetOnMouseUp(TMouseEvent handler) { m_onMouseUp = std::move(handler); }
    void SetOnSelect(TNotifyEvent handler) { m_onSelect = std::move(handler); }
    void SetOnTimer(TTimerEvent handler) { m_onTimer = std::move(handler); }

    // Below 0 stops timer timerId of the hidden window, else (re)starts it.
    // Ids other than the two own ones raise OnTimer when they fire.
    void ScheduleTimer(uint32_t timerId, int interval);

    // The application's minimize event while MinimizeTo is set: takes the
    // program out of the taskbar and makes sure the icon is there. Where the
    // desktop has no notification area the program stays in the taskbar, so
    // it can still be brought back; the icon waits for an area to appear.
    void AppMinimize();
    // Shows and restores the program when it is not on the screen, and
    // removes the icon.
    void RestoreApp();
    // Whether the desktop has a notification area now.
    bool TrayAvailable() const;

    // State, for the window and for tests.
    bool Added() const { return m_added; }
    uint32_t ShellVersion() const { return m_shellVersion; }
    uint8_t States() const { return m_states; }
    uint8_t StateMask() const { return m_stateMask; }
    uint8_t PendingFlags() const { return m_pendingFlags; }
    TMouseButtons ButtonsDown() const { return m_buttonsDown; }
    uint32_t LastDownTick() const { return m_lastDownTick; }
    QPoint CursorPos() const { return m_cursorPos; }
    QMenu* PendingMenu() const { return m_pendingMenu; }
    TrayMessageWindow& MessageWindow() { return *m_messageWindow; }

protected:
    virtual void DoBalloonClick();
    virtual void DoBalloonDismiss();
    virtual void DoBalloonHide();
    virtual void DoBalloonShow();
    virtual void DoClick();
    virtual void DoContextPopup(QPoint mousePos, bool& handled);
    virtual void DoDblClick();
    virtual void DoKeySelect();
    virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseMove(TShiftState shift, int x, int y);
    virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoSelect();

    // A component the icon refers to is going away.
    void Notification(QObject* removed);

private:
    friend class TInfoBalloon;

    enum StateBit : uint8_t { kHiddenState = 1, kSharedState = 2 };

    void WndProc(TMessage& message);
    void Dispatch(TMessage& message);
    void DefaultHandler(TMessage& message);
    void HandleCallback(uint32_t code);
    void HandleButton(uint32_t code, TShiftState shift, QPoint cursor);
    void HandleButtonUp(TMouseButton button, TShiftState shift, QPoint cursor);
    void HandleTimer(TMessage& message);

    void NotifyShell(uint32_t command, uint8_t flags);
    void AddIcon();
    void ShareMenu();
    void SetAdded(bool value);
    void UpdateIcon(uint8_t flags);
    void SetState(StateBit which, bool value);
    void IconChanged();
    void UpdateImageIcon();
    TShiftState GetShiftState() const;
    void ShowMenu(TMouseButton button);
    void DelayedPopup(QMenu* menu);
    void PopupAtCursor(QMenu* menu);
    bool ClickDefaultItem(QMenu* menu);
    void WatchRemoval(QObject* component);

    NotifyAreaLayer& m_shell;
    TrayDesktop& m_desktop;
    TrayApplication& m_application;
    uint32_t m_shellVersion;
    std::unique_ptr<TrayMessageWindow> m_messageWindow;
    // Tells the application's minimize event whether this icon still exists.
    std::shared_ptr<TNotifyIcon*> m_self;

    TMouseButtons m_dblClicks{mbLeft};
    bool m_dblToRestore = false;
    bool m_designPreview = false;
    bool m_enabled = true;
    QIcon m_icon;
    int m_imageIndex = -1;
    ImageList* m_images = nullptr;
    std::unique_ptr<TInfoBalloon> m_infoBalloon;
    QMenu* m_lPopupMenu = nullptr;
    bool m_minimizeTo = false;
    QMenu* m_popupMenu = nullptr;
    QString m_title;
    bool m_visible = false;

    TNotifyEvent m_onBalloonClick;
    TNotifyEvent m_onBalloonDismiss;
    TNotifyEvent m_onBalloonHide;
    TNotifyEvent m_onBalloonShow;
    TNotifyEvent m_onClick;
    TContextPopupEvent m_onContextPopup;
    TNotifyEvent m_onDblClick;
    TNotifyEvent m_onKeySelect;
    TMouseEvent m_onMouseDown;
    TMouseMoveEvent m_onMouseMove;
    TMouseEvent m_onMouseUp;
    TNotifyEvent m_onSelect;
    TTimerEvent m_onTimer;

    bool m_loading = false;
    bool m_added = false;
    uint8_t m_states = 0;
    uint8_t m_stateMask = 0;
    std::optional<std::array<uint8_t, 16>> m_guid;
    uint8_t m_pendingFlags = 0;
    bool m_updatingIcon = false;
    TMouseButtons m_buttonsDown;
    uint32_t m_lastDownTick = 0;
    QPoint m_cursorPos;
    QMenu* m_pendingMenu = nullptr;
};
