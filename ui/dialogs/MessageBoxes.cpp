#include "ui/dialogs/MessageBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace MessageBoxes {
namespace {

Responder& TheResponder()
{
    static Responder responder;
    return responder;
}

const QString kApplicationTitle = QStringLiteral("Folderly");

// The box's details button says "Show Details..." and "Hide Details..." by
// turns; ours end with an ellipsis, also once it is clicked.
void ShowEllipsis(QMessageBox& box)
{
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) != QMessageBox::ActionRole)
            continue;
        const auto withEllipsis = [button] {
            button->setText(button->text().replace(QStringLiteral("..."), QStringLiteral("\u2026")));
        };
        withEllipsis();
        // The box sets the text anew on each click, after this is told: the
        // ellipsis follows once the click is handled.
        QObject::connect(button, &QAbstractButton::clicked, button, withEllipsis, Qt::QueuedConnection);
    }
}

}  // namespace

void SetResponder(Responder responder)
{
    TheResponder() = std::move(responder);
}

QString WithFullStop(const QString& text)
{
    if (text.endsWith(QLatin1Char('.')))
        return text;
    return text + QLatin1Char('.');
}

Answer Confirm(QWidget* parent, const QString& text, const QString& details)
{
    if (TheResponder())
        return TheResponder()(Kind::Confirm, text);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
        ShowEllipsis(box);
    }
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void Information(QWidget* parent, const QString& text)
{
    if (TheResponder()) {
        TheResponder()(Kind::Information, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

Answer Question(QWidget* parent, const QString& text)
{
    if (TheResponder())
        return TheResponder()(Kind::Question, text);
    const auto button = QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void Error(QWidget* parent, const QString& text)
{
    const QString shown = WithFullStop(text);
    if (TheResponder()) {
        TheResponder()(Kind::Error, shown);
        return;
    }
    QMessageBox::critical(parent, kApplicationTitle, shown, QMessageBox::Ok);
}

}  // namespace MessageBoxes
