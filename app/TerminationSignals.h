#pragma once

#include <functional>

class QObject;

// A desktop session that ends without session management sends SIGTERM (or
// SIGHUP; SIGINT from a terminal is taken alike). The request is noted at
// once, so that a run in progress can stop between two copies, and handed
// to the event loop, where the program saves and ends.
namespace TerminationSignals {

// Installs the handlers; onRequest runs in the event loop of context's
// thread once a signal has come. Call once.
void Watch(QObject* context, std::function<void()> onRequest);

// Whether a termination signal has come; safe to ask at any moment.
bool Requested();

}  // namespace TerminationSignals
