#pragma once

#include "platform/desktop/CommandGate.h"

#include <exception>
#include <functional>
#include <utility>

// The application's one error handler: the exception that ends a command is
// shown in an error box (error icon, OK, caption "Folderly", a full stop
// added) and the program goes on.
void ReportException(const std::exception& error);

// Wraps a command so that an exception ending it reaches ReportException.
// Whatever the signal carries (a button's checked state) is not passed on.
//
// Every handler that a signal, a timer or a menu calls goes through here:
// an exception must not cross Qt's signal code, which is not written to be
// unwound, and the handler's own frame is where its failure is shown.
// FolderlyApplication::notify catches what is left: an exception from an
// event handler (closeEvent, a paint, a key) that no command wraps.
//
// A command that arrives while a run works acts after the run (CommandGate).
template <typename Command> auto Guarded(Command command)
{
    return [command = std::move(command)](auto&&...) {
        CommandGate::Pass([command] {
            try {
                command();
            } catch (const std::exception& error) {
                ReportException(error);
            }
        });
    };
}
