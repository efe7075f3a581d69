#pragma once

class QMenu;
class QObject;

// What the tray icon reads and sets on a popup menu beyond what QMenu has.
// The default item is QMenu::defaultAction(), shown in bold.
namespace MenuProperties {

// Whether the menu opens by itself when its button is clicked (on unless
// switched off).
bool AutoPopup(const QMenu& menu);
void SetAutoPopup(QMenu& menu, bool on);

// The component that opened the menu last, so a command can tell where it
// was chosen.
QObject* PopupComponent(const QMenu& menu);
void SetPopupComponent(QMenu& menu, QObject* component);

}  // namespace MenuProperties
