#pragma once
// The window "Архив компании": the jobs of the company archive (the current
// revision of each) in a table filtered by object, client, inspector,
// publication dates and verdict, the verdicts in the inspection window's
// colours; a job opened read-only as its report; the current revision
// approved (the server allows it to reviewers only); the jobs waiting in
// the outbox counted and sent. Every call to the server runs in the
// background; its refusals are shown under the table in Russian.

#include <QWidget>
#include <vector>

#include "company_archive/archive_browse.h"
#include "company_archive/company_archive.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace korsi {

class BackgroundCall;

class CompanyArchiveWindow : public QWidget {
  Q_OBJECT

 public:
  CompanyArchiveWindow(company::ArchivePlace place, QWidget* parent = nullptr);

  // Shows the window and fetches the list anew.
  void showArchive();
  // Fetches the list by the filters (in the background).
  void refresh();
  void openSelected();
  void approveSelected();
  void sendWaiting();
  // Counts the outbox again.
  void showWaiting();
  bool busy() const;
  // The job of the selected row; without one the window asks for it and
  // gives nothing.
  const company::ListedJob* selectedJob();
  const std::vector<company::ListedJob>& jobs() const noexcept { return jobs_; }

  QLineEdit* const ObjectEdit;
  QLineEdit* const ClientEdit;
  QLineEdit* const InspectorEdit;
  QLineEdit* const SinceEdit;
  QLineEdit* const UntilEdit;
  QComboBox* const VerdictBox;
  QPushButton* const FindButton;
  QTableWidget* const JobsTable;
  QPushButton* const OpenButton;
  QPushButton* const ApproveButton;
  QPushButton* const SendButton;
  QLabel* const WaitingLabel;
  QLabel* const MessageLabel;

 signals:
  // The list or the outbox has changed (the main window counts again).
  void outboxChanged();

 private:
  void showJobs(const company::JobList& list);
  void say(const QString& text, bool failure);

  company::ArchivePlace place_;
  BackgroundCall* call_;
  std::vector<company::ListedJob> jobs_;
};

}  // namespace korsi
