#pragma once
// What the device search and the archive reading show the user, as a small
// interface of their own: the desktop program implements it with its windows,
// tests with a recorder, a command-line front end with its terminal. Every
// call is made through a HandOver, on the thread that owns the view.

#include <string>

#include "instrument/meash.h"

namespace korsi {

// The main window's commands that a worker takes away and gives back, by
// what they have in common.
enum class CommandGroup {
  // Open, find device and the hidden settings, delete row, clear table: taken
  // while a search runs, given back when it ends.
  Search,
  // The read button and the "Принять данные" menu: only after a found gauge.
  Read,
  // Save button, find device, the read commands, and every command that
  // replaces or changes the archive table (open, delete row, clear table,
  // open a job): taken while a reading runs, given back when it ends.
  Reading,
};

enum class MessageIcon { None, Error };

class WorkerView {
 public:
  virtual ~WorkerView() = default;

  // The progress window: show (not modal), set its gauge (clamped to 0-100),
  // close it when it is showing.
  virtual void showProgress() = 0;
  virtual void setProgress(int percent) = 0;
  virtual void closeProgress() = 0;

  virtual void setCommandsEnabled(CommandGroup group, bool enabled) = 0;
  // Panel 0 of the status bar.
  virtual void setStatusText(const std::string& text) = 0;
  // The main window's title.
  virtual void setCaption(const std::string& text) = 0;
  // A reading begins: the rows of an earlier one go.
  virtual void clearRows() = 0;
  // A measurement read from the gauge becomes a row of the archive table.
  virtual void addRow(const Meash& meash) = 0;
  // Shows a message and returns when the user has closed it.
  virtual void showMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
  // Ends the whole program with this exit status through its normal shutdown.
  virtual void endProgram(int exitStatus) = 0;
};

}  // namespace korsi
