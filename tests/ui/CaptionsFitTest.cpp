#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <optional>

#include "TempDir.h"
#include "core/Program.h"
#include "ui/FittingFont.h"
#include "ui/Unit1.h"
#include "ui/options/OptionsPanel.h"

namespace {

// Every caption under the window, the panel's included, that does not fit
// its control whole, measured as the style draws each kind of control.
QStringList CutCaptions(const QWidget& window)
{
    QStringList cut;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const std::optional<QSize> lack = FittingFont::Shortfall(*control);
        if (lack && !lack->isNull())
            cut << QStringLiteral("%1 lacks %2x%3").arg(control->objectName()).arg(lack->width()).arg(lack->height());
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
