#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message and question box of the program goes through here, so that
// tests can answer them in advance and notice one that should not appear.
namespace MessageBoxes {

enum class Kind { Confirm, Information, Question, Error };
enum class Answer { Ok, Cancel, Yes, No };

// Confirmation: caption "Confirm", question icon, OK and Cancel; details,
// when there are any, behind "Show Details…".
Answer Confirm(QWidget* parent, const QString& text, const QString& details = {});
// Plain message: caption "Folderly", OK.
void Information(QWidget* parent, const QString& text);
// Yes/No question: caption "Confirm", question icon.
Answer Question(QWidget* parent, const QString& text);
// Error box of the application's error handler: error icon, OK, caption
// "Folderly", a full stop added when the text has none.
void Error(QWidget* parent, const QString& text);

// The text an error box shows for a message: a full stop added when missing.
QString WithFullStop(const QString& text);

// Tests: when set, no box is shown; the responder is told the kind and text
// and gives the answer (ignored for Information and Error).
using Responder = std::function<Answer(Kind, const QString& text)>;
void SetResponder(Responder responder);

}  // namespace MessageBoxes
