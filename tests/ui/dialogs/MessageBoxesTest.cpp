// The confirmation as a user meets it: the real modal box, driven from
// inside its event loop.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "QtTestUtil.h"
#include "ui/dialogs/MessageBoxes.h"

namespace {

QAbstractButton* DetailsButton(QMessageBox* box)
{
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QMessageBox::ActionRole)
            return button;
    }
    return nullptr;
}

// Title, icon, OK by default, and the details behind "Show Details…",
// whose text stays with its ellipsis once clicked; no details, no button.
TEST(MessageBoxes, TheConfirmationShowsItsDetailsOnRequest)
{
    struct Case {
        QString details;
        QString before, after;  // the details button's text, before and after a click
    };
    const Case cases[] = {
        {QStringLiteral("/a/f \u2192 /b (List 1 \u2192 List 2, new)"), QStringLiteral("Show Details\u2026"),
         QStringLiteral("Hide Details\u2026")},
        {QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.details.toStdString());
        MessageBoxes::SetResponder({});
        bool driven = false;
        QString title, before, after, shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            driven = true;
            title = box->windowTitle();
            icon = box->icon();
            EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Ok));
            if (QAbstractButton* details = DetailsButton(box)) {
                // What is drawn: the text at the time the button paints.
                details->grab();
                before = details->text();
                details->click();
                details->grab();
                after = details->text();
                if (auto* text = box->findChild<QTextEdit*>())
                    shown = text->isVisible() ? text->toPlainText() : QString();
            }
            box->button(QMessageBox::Cancel)->click();
        });
        const ModalGuard guard;

        const MessageBoxes::Answer answer = MessageBoxes::Confirm(nullptr, QStringLiteral("2 file(s) will be updated"),
                                                                  c.details);
        ASSERT_TRUE(driven);
        EXPECT_EQ(answer, MessageBoxes::Answer::Cancel);
        EXPECT_EQ(title, QStringLiteral("Confirm"));
        EXPECT_EQ(icon, QMessageBox::Question);
        EXPECT_EQ(before, c.before);
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(shown, c.details);
    }
}

}  // namespace
