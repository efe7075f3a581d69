#include "platform/desktop/SystemTrayNotifyArea.h"

#include "platform/desktop/CommandGate.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <climits>

using namespace NotifyArea;

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kNotificationService = QStringLiteral("org.freedesktop.Notifications");

bool HostRegisteredWithWatcher()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface watcher(kWatcherService, kWatcherPath, kWatcherService, bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

// A notification service that runs, or that the bus starts when asked.
bool NotificationServiceThere()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names)
        return false;
    return names->isServiceRegistered(kNotificationService).value()
        || names->activatableServiceNames().value().contains(kNotificationService);
}

}  // namespace

struct SystemTrayNotifyArea::Entry {
    const QObject* key = nullptr;
    QPointer<QObject> window;
    uint32_t id = 0;
    uint32_t callbackMessage = 0;
    bool versionSet = false;
    bool hidden = false;
    // Shown by a status-notifier host: its activation is the icon's main command.
    bool statusNotifier = false;
    QPointer<QMenu> menu;
    std::unique_ptr<QSystemTrayIcon> tray;
};

SystemTrayNotifyArea::SystemTrayNotifyArea(QObject* parent, int pollMs) : QObject(parent)
{
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &SystemTrayNotifyArea::PollTray);
}

SystemTrayNotifyArea::~SystemTrayNotifyArea() = default;

uint32_t SystemTrayNotifyArea::ShellVersion() const
{
    if (!IsTrayAvailable())
        return 0;
    return CanShowBalloons() ? kShellVersion6 : kShellVersion4;
}

bool SystemTrayNotifyArea::IsTrayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTrayNotifyArea::IsStatusNotifierHost() const
{
    if (!IsTrayAvailable())
        return false;
    // The rule by which Qt chooses its D-Bus tray: on X11 only when a host has
    // registered with the watcher, elsewhere it is the only tray there is.
    return QGuiApplication::platformName() != QLatin1String("xcb") || HostRegisteredWithWatcher();
}

bool SystemTrayNotifyArea::CanShowBalloons() const
{
    return !IsStatusNotifierHost() || NotificationServiceThere();
}

void SystemTrayNotifyArea::SetIconMenu(const QObject* window, uint32_t id, QMenu* menu)
{
    if (Entry* entry = Find(window, id)) {
        entry->menu = menu;
        UpdateMenu(*entry);
    }
}

void SystemTrayNotifyArea::UpdateMenu(Entry& entry)
{
    entry.statusNotifier = entry.tray->isVisible() && IsStatusNotifierHost();
    // An X11 tray would open a menu given to Qt by itself, beside the one
    // the icon opens on the same click.
    entry.tray->setContextMenu(entry.statusNotifier ? entry.menu.data() : nullptr);
}

QSystemTrayIcon* SystemTrayNotifyArea::TrayIcon(const QObject* window, uint32_t id) const
{
    Entry* entry = Find(window, id);
    return entry ? entry->tray.get() : nullptr;
}

SystemTrayNotifyArea::Entry* SystemTrayNotifyArea::Find(const QObject* window, uint32_t id) const
{
    for (const auto& entry : m_entries)
        if (entry->key == window && entry->id == id)
            return entry.get();
    return nullptr;
}

bool SystemTrayNotifyArea::Shell_NotifyIconA(uint32_t command, const NOTIFYICONDATA& data)
{
    Entry* entry = Find(data.window, data.id);
    switch (command) {
    case NIM_ADD: {
        if (entry || !data.window)
            return false;
        auto created = std::make_unique<Entry>();
        created->key = data.window;
        created->window = data.window;
        created->id = data.id;
        created->tray = std::make_unique<QSystemTrayIcon>();
        Entry* added = created.get();
        // Clicks that come over D-Bus while a run works act after it.
        connect(created->tray.get(), &QSystemTrayIcon::activated, this,
                [this, key = created->key, id = created->id](QSystemTrayIcon::ActivationReason reason) {
                    CommandGate::Pass([this, key, id, reason] {
                        if (Entry* clicked = Find(key, id))
                            Activated(*clicked, reason);
                    });
                });
        connect(created->tray.get(), &QSystemTrayIcon::messageClicked, this,
                [this, key = created->key, id = created->id] {
                    CommandGate::Pass([this, key, id] {
                        if (Entry* clicked = Find(key, id))
                            Notify(*clicked, NIN_BALLOONUSERCLICK);
                    });
                });
        // An icon whose window goes away goes with it, as the area would
        // otherwise keep an icon nobody answers for.
        connect(data.window, &QObject::destroyed, created->tray.get(), [this, key = created->key] {
            std::erase_if(m_entries, [key](const auto& e) { return e->key == key; });
        });
        m_entries.push_back(std::move(created));
        Apply(*added, data);
        return true;
    }
    case NIM_MODIFY:
        if (!entry)
            return false;
        Apply(*entry, data);
        return true;
    case NIM_DELETE:
        if (!entry)
            return false;
        entry->tray->hide();
        std::erase_if(m_entries, [entry](const auto& e) { return e.get() == entry; });
        return true;
    case NIM_SETFOCUS: return entry != nullptr;
    case NIM_SETVERSION:
        if (!entry)
            return false;
        entry->versionSet = data.timeoutOrVersion >= NOTIFYICON_VERSION;
        return true;
    default: return false;
    }
}

void SystemTrayNotifyArea::Apply(Entry& entry, const NOTIFYICONDATA& data)
{
    if (data.flags & NIF_MESSAGE)
        entry.callbackMessage = data.callbackMessage;
    if (data.flags & NIF_ICON)
        entry.tray->setIcon(data.icon);
    if (data.flags & NIF_TIP)
        entry.tray->setToolTip(data.tip);
    if ((data.flags & NIF_STATE) && (data.stateMask & NIS_HIDDEN))
        entry.hidden = (data.state & NIS_HIDDEN) != 0;
    UpdateVisibility(entry);

    // A balloon for an icon nobody can see is dropped, not kept for later.
    if ((data.flags & NIF_INFO) && !data.info.isEmpty() && entry.tray->isVisible() && IsTrayAvailable()) {
        ShowMessage(*entry.tray, data.infoTitle, data.info, data.infoFlags, entry.tray->icon(),
                    static_cast<int>(std::min<uint32_t>(data.timeoutOrVersion, INT_MAX)));
    }
}

void SystemTrayNotifyArea::UpdateVisibility(Entry& entry)
{
    const bool wanted = !entry.hidden && !entry.tray->icon().isNull();
    const bool available = IsTrayAvailable();
    const bool wasVisible = entry.tray->isVisible();
    entry.tray->setVisible(wanted && available);
    // The kind of area is looked at when the icon appears in one.
    if (entry.tray->isVisible() && !wasVisible)
        UpdateMenu(entry);
    if (wanted && !available && !m_poll.isActive())
        m_poll.start();
}

void SystemTrayNotifyArea::PollTray()
{
    if (!IsTrayAvailable())
        return;
    m_poll.stop();
    for (const auto& entry : m_entries)
        UpdateVisibility(*entry);
}

void SystemTrayNotifyArea::ShowMessage(QSystemTrayIcon& tray, const QString& title, const QString& text,
                                       uint32_t infoFlags, const QIcon& userIcon, int milliseconds)
{
    // The desktop decides about sounds; the no-sound flag has no Qt counterpart.
    switch (infoFlags & NIIF_ICON_MASK) {
    case NIIF_INFO: tray.showMessage(title, text, QSystemTrayIcon::Information, milliseconds); break;
    case NIIF_WARNING: tray.showMessage(title, text, QSystemTrayIcon::Warning, milliseconds); break;
    case NIIF_ERROR: tray.showMessage(title, text, QSystemTrayIcon::Critical, milliseconds); break;
    case NIIF_USER: tray.showMessage(title, text, userIcon, milliseconds); break;
    default: tray.showMessage(title, text, QSystemTrayIcon::NoIcon, milliseconds); break;
    }
}

void SystemTrayNotifyArea::Activated(Entry& entry, QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        // A status-notifier host has no double-click: its activation (a
        // click there) asks for the icon's main command, which is what a
        // double-click gives where clicks come as they are.
        if (entry.statusNotifier) {
            Notify(entry, WM_LBUTTONDBLCLK);
        } else {
            Notify(entry, WM_LBUTTONDOWN);
        }
        Notify(entry, WM_LBUTTONUP);
        break;
    case QSystemTrayIcon::DoubleClick:
        Notify(entry, WM_LBUTTONDBLCLK);
        Notify(entry, WM_LBUTTONUP);
        break;
    case QSystemTrayIcon::Context:
        Notify(entry, WM_RBUTTONDOWN);
        Notify(entry, WM_RBUTTONUP);
        // The context-menu code belongs to the newer protocol only; an icon
        // that did not ask for it opens its menu on the button's release.
        if (entry.versionSet)
            Notify(entry, WM_CONTEXTMENU);
        break;
    case QSystemTrayIcon::MiddleClick:
        Notify(entry, WM_MBUTTONDOWN);
        Notify(entry, WM_MBUTTONUP);
        break;
    case QSystemTrayIcon::Unknown: break;
    }
}

void SystemTrayNotifyArea::Notify(Entry& entry, uint32_t code)
{
    if (entry.callbackMessage != 0)
        PostWindowMessage(entry.window, entry.callbackMessage, entry.id, static_cast<intptr_t>(code));
}

// ---------------------------------------------------------------------------
