#include "ui/FittingFont.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace FittingFont {

namespace {

// Qt leaves this much between a button's picture and its text.
constexpr int kPictureSpacing = 4;

QSize Lack(QSize need, QSize room)
{
    return {std::max(0, need.width() - room.width()), std::max(0, need.height() - room.height())};
}

std::optional<QSize> ButtonShortfall(const QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    const QFontMetrics metrics = button.fontMetrics();
    const bool hasText = !option.text.isEmpty();
    QSize need = hasText ? QSize(metrics.horizontalAdvance(option.text), metrics.height()) : QSize(0, 0);
    QStyle::SubElement contents = QStyle::SE_CheckBoxContents;
    if (qobject_cast<const QRadioButton*>(&button)) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (qobject_cast<const QPushButton*>(&button)) {
        contents = QStyle::SE_PushButtonContents;
        // A button draws its picture and text side by side, centred.
        if (!option.icon.isNull())
            need = QSize(option.iconSize.width() + (hasText ? kPictureSpacing + need.width() : 0),
                         std::max(option.iconSize.height(), need.height()));
    }
    if (need.isEmpty())
        return std::nullopt;
    return Lack(need, button.style()->subElementRect(contents, &option, &button).size());
}

std::optional<QSize> FrameShortfall(const QGroupBox& frame)
{
    if (frame.title().isEmpty())
        return std::nullopt;
    QStyleOptionGroupBox option;
    option.initFrom(&frame);
    option.text = frame.title();
    option.textAlignment = frame.alignment();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (frame.isFlat())
        option.features |= QStyleOptionFrame::Flat;
    // The caption's rect is placed from the frame's corner and must end inside it.
    const QRect caption = frame.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame);
    return Lack({caption.right() + 1, caption.bottom() + 1}, frame.size());
}

std::optional<QSize> LabelShortfall(const QLabel& label)
{
    if (label.text().isEmpty())
        return std::nullopt;  // a picture
    const QFontMetrics metrics = label.fontMetrics();
    return Lack({metrics.horizontalAdvance(label.text()), metrics.height()}, label.contentsRect().size());
}

bool Fits(const QWidget& control)
{
    const std::optional<QSize> lack = Shortfall(control);
    return !lack || lack->isNull();
}

// Grows each control by what it lacks; false, with every geometry as it was,
// when one of them has no room for it.
bool GrowAll(const std::vector<QWidget*>& controls)
{
    std::vector<std::pair<QWidget*, QRect>> grown;
    for (QWidget* control : controls) {
        const std::optional<QSize> lack = Shortfall(*control);
        if (!lack || lack->isNull())
            continue;
        const std::optional<QRect> geometry = Grown(*control, *lack);
        if (!geometry) {
            for (const auto& [done, before] : grown)
                done->setGeometry(before);
            return false;
        }
        grown.emplace_back(control, control->geometry());
        control->setGeometry(*geometry);
    }
    return true;
}

}  // namespace

std::optional<QSize> Shortfall(const QWidget& control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control))
        return ButtonShortfall(*button);
    if (const auto* frame = qobject_cast<const QGroupBox*>(&control))
        return FrameShortfall(*frame);
    if (const auto* label = qobject_cast<const QLabel*>(&control))
        return LabelShortfall(*label);
    return std::nullopt;
}

std::optional<QRect> Grown(const QWidget& control, QSize lack)
{
    const QRect before = control.geometry();
    const QRect after = before.adjusted(0, 0, lack.width(), lack.height());
    const QWidget* parent = control.parentWidget();
    if (!parent || after == before)
        return after;
    // A frame's border stays clear; a control already beyond it grows no further.
    const QRect inside = qobject_cast<const QGroupBox*>(parent) ? parent->contentsRect() : parent->rect();
    if (after.right() > std::max(before.right(), inside.right())
        || after.bottom() > std::max(before.bottom(), inside.bottom()))
        return std::nullopt;
    for (const QObject* object : parent->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        // Menus and other windows have no place in the parent.
        if (!sibling || sibling == &control || sibling->isWindow())
            continue;
        if (sibling->geometry().intersects(after) && !sibling->geometry().intersects(before))
            return std::nullopt;
    }
    return after;
}

QFont Apply(QWidget& window, const QFont& desktop)
{
    const QList<QWidget*> found = window.findChildren<QWidget*>();
    const std::vector<QWidget*> controls(found.begin(), found.end());
    // The desktop's font as it asks for it (family, weight, hinting), at a size of our own.
    QFont font = desktop;
    // A size asked for in pixels has its points from the screen's resolution.
    const double desktopPoints = desktop.pointSizeF() > 0 ? desktop.pointSizeF() : QFontInfo(desktop).pointSizeF();
    const double floorPoints = std::min(kFloorPoints, desktopPoints);
    const auto setPoints = [&font, &window](double points) {
        font.setPointSizeF(points);
        window.setFont(font);
    };

    // Captions that do not fit even at the floor make their controls grow,
    // whatever the size; every other caption must fit as it is.
    setPoints(floorPoints);
    std::vector<QWidget*> growing;
    std::copy_if(controls.begin(), controls.end(), std::back_inserter(growing),
                 [](const QWidget* control) { return !Fits(*control); });
    for (double points = desktopPoints; points > floorPoints; points -= kStepPoints) {
        setPoints(points);
        const bool othersFit = std::all_of(controls.begin(), controls.end(), [&growing](const QWidget* control) {
            return Fits(*control) || std::find(growing.begin(), growing.end(), control) != growing.end();
        });
        if (othersFit && GrowAll(growing))
            return font;
    }
    setPoints(floorPoints);
    // Where there is no room even at the floor, the caption stays as it is.
    for (QWidget* control : growing)
        GrowAll({control});
    return font;
}

}  // namespace FittingFont
