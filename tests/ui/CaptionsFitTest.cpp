#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <optional>

#include "TempDir.h"
#include "core/Program.h"
#include "ui/FittingFont.h"
#include "ui/Unit1.h"
#include "ui/options/OptionsPanel.h"

namespace {

// A caption's size as drawn, and the room its control gives it.
struct Caption {
    QString text;
    QSize need;
    QRect room;
};

// Measured as the style draws each kind of control: a check box's or radio
// item's text in its contents rect, a button's picture, the 4 pixels Qt
// leaves after it and its text in the button's contents rect, a frame's
// caption inside the frame, a label's text in its contents rect.
std::optional<Caption> CaptionOf(const QWidget* control)
{
    const QFontMetrics metrics = control->fontMetrics();
    const auto textSize = [&metrics](const QString& text) {
        return QSize(metrics.horizontalAdvance(text), metrics.height());
    };
    const QStyle* style = control->style();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        if (qobject_cast<const QPushButton*>(button)) {
            QSize need = option.text.isEmpty() ? QSize(0, 0) : textSize(option.text);
            if (!option.icon.isNull())
                need = QSize(option.iconSize.width() + (need.width() ? 4 + need.width() : 0),
                             std::max(option.iconSize.height(), need.height()));
            if (need.isEmpty())
                return std::nullopt;
            return Caption{option.text, need, style->subElementRect(QStyle::SE_PushButtonContents, &option, button)};
        }
        const auto element = qobject_cast<const QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                                       : QStyle::SE_CheckBoxContents;
        return Caption{option.text, textSize(option.text), style->subElementRect(element, &option, button)};
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.textAlignment = box->alignment();
        option.lineWidth = 1;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect label = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        // The caption's rect reaches from the frame's corner: it must end inside the frame.
        return Caption{option.text, QSize(label.right() + 1, label.bottom() + 1), box->rect()};
    }
    if (const auto* label = qobject_cast<const QLabel*>(control); label && !label->text().isEmpty())
        return Caption{label->text(), textSize(label->text()), label->contentsRect()};
    return std::nullopt;
}

// Every caption under the window, the panel's included, that does not fit
// its control whole.
QStringList CutCaptions(const QWidget& window)
{
    QStringList cut;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const std::optional<Caption> caption = CaptionOf(control);
        if (!caption)
            continue;
        const QSize room = caption->room.size();
        if (caption->need.width() > room.width() || caption->need.height() > room.height())
            cut << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                       .arg(control->objectName(), caption->text.trimmed())
                       .arg(caption->need.width())
                       .arg(caption->need.height())
                       .arg(room.width())
                       .arg(room.height());
    }
    return cut;
}

// The desktops' own fonts: LXQt asks for "Sans", which fontconfig may
// resolve to either family.
struct DesktopFont {
    const char* desktop;
    const char* family;
    int points;
};
constexpr DesktopFont kDesktopFonts[] = {
    {"GNOME", "Cantarell", 11},  {"KDE Plasma", "Noto Sans", 10}, {"XFCE", "DejaVu Sans", 10},
    {"LXQt", "DejaVu Sans", 11}, {"LXQt", "Noto Sans", 11},
};

TEST(MainWindowCaptions, EveryCaptionFitsItsControlUnderEachDesktopsFont)
{
    const QFont applicationFont = QApplication::font();
    for (const DesktopFont& desktop : kDesktopFonts) {
        const QString family = QString::fromLatin1(desktop.family);
        const std::string name = std::string(desktop.desktop) + ", " + desktop.family + " "
            + std::to_string(desktop.points);
        SCOPED_TRACE(name);
        const QFont font(family, desktop.points);
        // A missing font package would otherwise measure a stand-in.
        ASSERT_EQ(QFontInfo(font).family(), family) << "font not installed";
        QApplication::setFont(font);
        {
            TempDir home;
            Program program(home.Path() + "/");
            TForm1 form(program);
            form.show();
            form.BitBtn5Click();
            ASSERT_TRUE(form.GroupBox1->isVisible());
            EXPECT_EQ(QFontInfo(form.font()).family().toStdString(), desktop.family);
            EXPECT_LE(form.font().pointSizeF(), desktop.points);
            EXPECT_GE(form.font().pointSizeF(), FittingFont::kFloorPoints);
            const QStringList cut = CutCaptions(form);
            EXPECT_TRUE(cut.isEmpty()) << "at " << form.font().pointSizeF() << " pt:\n  "
                                       << cut.join(QStringLiteral("\n  ")).toStdString();
        }
        QApplication::setFont(applicationFont);
    }
}

}  // namespace
