#include "ui/dialogs/MessageBoxes.h"

#include <QAbstractButton>
#include <QEvent>
#include <QMessageBox>
#include <QTextEdit>

namespace MessageBoxes {
namespace {

Responder& TheResponder()
{
    static Responder responder;
    return responder;
}

const QString kApplicationTitle = QStringLiteral("Folderly");
// How many characters of the details' lines show at once.
constexpr int kDetailsColumns = 80;

// The box's details button says "Show Details..." and "Hide Details..." by
// turns, set anew whenever the box sees fit (a click, a show, a change of
// language); ours end with an ellipsis, put in just before it is drawn.
class Ellipsis : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            auto* button = static_cast<QAbstractButton*>(watched);
            if (button->text().contains(QStringLiteral("...")))
                button->setText(button->text().replace(QStringLiteral("..."), QStringLiteral("\u2026")));
        }
        return false;
    }
};

void ShowEllipsis(QMessageBox& box)
{
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole)
            button->installEventFilter(new Ellipsis(button));
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
        // A line per file, each whole: wide enough for a path and its way.
        if (auto* shown = box.findChild<QTextEdit*>()) {
            shown->setLineWrapMode(QTextEdit::NoWrap);
            shown->setMinimumWidth(shown->fontMetrics().averageCharWidth() * kDetailsColumns);
        }
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
