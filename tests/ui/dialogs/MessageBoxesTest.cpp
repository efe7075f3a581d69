// The confirmation as a user meets it: the real modal box, driven from
// inside its event loop.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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

// The details behind "Show Details…", whose text keeps its ellipsis once
// clicked (the box sets its own text anew on each click).
TEST(MessageBoxes, TheConfirmationShowsItsDetailsOnRequest)
{
    const QString details = QStringLiteral("/a/f \u2192 /b (List 1 \u2192 List 2, new)");
    MessageBoxes::SetResponder({});
    QString title, before, after, shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        if (QAbstractButton* button = DetailsButton(box)) {
            // What is drawn: the text at the time the button paints.
            button->grab();
            before = button->text();
            button->click();
            button->grab();
            after = button->text();
            shown = box->findChild<QTextEdit*>()->toPlainText();
        }
        box->button(QMessageBox::Cancel)->click();
    });
    const ModalGuard guard;
    EXPECT_EQ(MessageBoxes::Confirm(nullptr, QStringLiteral("2 file(s) will be updated"), details),
              MessageBoxes::Answer::Cancel);
    EXPECT_EQ(title, QStringLiteral("Confirm"));
    EXPECT_EQ(before, QStringLiteral("Show Details\u2026"));
    EXPECT_EQ(after, QStringLiteral("Hide Details\u2026"));
    EXPECT_EQ(shown, details);
}

}  // namespace
