#include "ui/dialogs/MessageBoxes.h"

#include <QMessageBox>

namespace MessageBoxes {
namespace {

Responder& TheResponder()
{
    static Responder responder;
    return responder;
}

const QString kApplicationTitle = QStringLiteral("Folderly");

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

Answer Confirm(QWidget* parent, const QString& text)
{
    if (TheResponder())
        return TheResponder()(Kind::Confirm, text);
    const auto button = QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    return button == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
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
