#pragma once
// Waiting for workers on the user-interface thread. A worker may itself be
// waiting for this thread (a message box it asked for, a step handed over),
// so the thread goes on delivering events while it waits: the windows keep
// painting and the worker's steps run. The user's input, though, reaches
// only the window named to keep answering (the progress window, for Cancel)
// and a modal box opened during the wait; a click or a key on any other
// window is dropped, so no command starts in the middle of another one.

class QWidget;

namespace korsi {

class CurrentWorkers;

// Before a command uses the port or the master: waits until every worker
// that Cancel stopped (or a newer one replaced) has left its exchange.
void waitForStoppedWorkers(CurrentWorkers& workers, const QWidget* answering = nullptr);

// Before a command uses the port or the master: waits until no worker runs
// at all, stopped or current, then lets the stopped ones go. A search that
// has given the read commands back still asks the archive size before it
// ends, so a read chosen at once must wait for it.
void waitForIdleWorkers(CurrentWorkers& workers, const QWidget* answering = nullptr);

// At the end of the program: stops every worker and waits for all of them.
void finishWorkers(CurrentWorkers& workers);

}  // namespace korsi
