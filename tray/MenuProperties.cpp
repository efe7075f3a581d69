#include "tray/MenuProperties.h"

#include <QMenu>
#include <QVariant>

namespace {
constexpr char kAutoPopup[] = "autoPopup";
constexpr char kPopupComponent[] = "popupComponent";
}  // namespace

namespace MenuProperties {

bool AutoPopup(const QMenu& menu)
{
    const QVariant value = menu.property(kAutoPopup);
    return !value.isValid() || value.toBool();
}

void SetAutoPopup(QMenu& menu, bool on)
{
    menu.setProperty(kAutoPopup, on);
}

QObject* PopupComponent(const QMenu& menu)
{
    return menu.property(kPopupComponent).value<QObject*>();
}

void SetPopupComponent(QMenu& menu, QObject* component)
{
    menu.setProperty(kPopupComponent, QVariant::fromValue(component));
}

}  // namespace MenuProperties
