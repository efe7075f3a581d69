#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>
#include <vector>

#include "platform/desktop/NotifyArea.h"

// The real notification area: one QSystemTrayIcon per added icon. Without a
// notification area an add is still accepted; the icon waits and is shown as
// soon as an area appears, and balloons meanwhile are dropped.
//
// Two kinds of area exist. An X11 tray (XEmbed) shows the icon as a small
// window: clicks come as they are, Qt draws the balloons, and the icon opens
// its own menu. A status-notifier host (KDE, GNOME with AppIndicator, XFCE,
// and every tray under Wayland) is reached over D-Bus: it draws the icon's
// menu itself, knows no double-click but an activation, and balloons become
// desktop notifications, which need a notification service.
class SystemTrayNotifyArea : public QObject, public NotifyAreaLayer {
    Q_OBJECT

public:
    // pollMs: how often to look for a notification area while an icon waits.
    explicit SystemTrayNotifyArea(QObject* parent = nullptr, int pollMs = 2000);
    ~SystemTrayNotifyArea() override;

    bool Shell_NotifyIconA(uint32_t command, const NOTIFYICONDATA& data) override;
    // What the area can show: 6.0 with balloons, 4.0 without (the icon then
    // sends none), 0 when there is no area at all.
    uint32_t ShellVersion() const override;
    bool IsTrayAvailable() const override;
    void SetIconMenu(const QObject* window, uint32_t id, QMenu* menu) override;

    // Whether the area is a status-notifier host, which draws menus itself.
    virtual bool IsStatusNotifierHost() const;
    // Whether a balloon would reach the user: Qt draws them on an X11 tray;
    // a status-notifier host needs the desktop's notification service.
    virtual bool CanShowBalloons() const;

    // The Qt icon behind an added icon, or null.
    QSystemTrayIcon* TrayIcon(const QObject* window, uint32_t id) const;

protected:
    virtual void ShowMessage(QSystemTrayIcon& tray, const QString& title, const QString& text, uint32_t infoFlags,
                             const QIcon& userIcon, int milliseconds);

private:
    struct Entry;

    Entry* Find(const QObject* window, uint32_t id) const;
    void Apply(Entry& entry, const NOTIFYICONDATA& data);
    void UpdateVisibility(Entry& entry);
    void UpdateMenu(Entry& entry);
    void Activated(Entry& entry, QSystemTrayIcon::ActivationReason reason);
    void Notify(Entry& entry, uint32_t code);
    void PollTray();

    std::vector<std::unique_ptr<Entry>> m_entries;
    QTimer m_poll;
};
