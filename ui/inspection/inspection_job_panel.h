#pragma once
// "Зоны проверки" in the inspection window: the job's areas by measurement
// numbers (add, edit, remove), each area's verdict and the job's, and the
// job file (open, save). The rule, the limits, the unit and the set-up are
// the window's entries; the panel asks for them through a hook each time it
// judges, and hands a job's own to the window when one is opened.
//
// An area takes a copy of its readings when it is added or changed: the
// job's own copies first, the table's for numbers the job does not hold yet.
// "Взять замеры из таблицы" replaces every copy by the table's, after asking
// when that would change or drop a copy. Opening another job, or closing the
// window, with changes not saved asks first: "Сохранить", "Не сохранять",
// "Отмена".

#include <QWidget>
#include <QString>
#include <functional>
#include <vector>

#include "inspection/job_verdict.h"
#include "inspection/inspection_job.h"
#include "ui/report/job_report.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace korsi {

inline constexpr const char* kSaveJobText = "Сохранить проверку…";
inline constexpr const char* kOpenJobText = "Открыть проверку…";

class InspectionJobPanel : public QWidget {
  Q_OBJECT

 public:
  struct Hooks {
    // The table's readings (rows with a number and a thickness).
    std::function<std::vector<job::JobReading>()> tableReadings;
    // The window's entries as a header's rule, limits, unit and set-up.
    std::function<void(job::JobHeader&)> entriesInto;
    // Puts an opened job's rule, limits, unit and set-up into the window's entries.
    std::function<void(const job::JobHeader&)> entriesFrom;
    // Why the window's entries cannot go into a job (a field holds no
    // number, named); empty when they can.
    std::function<QString()> entriesProblem;
    // The job file to save to or open (an empty text: cancelled); by default
    // the file dialog.
    std::function<QString(bool save, const QString& suggested)> askJobFile;
  };
  InspectionJobPanel(Hooks hooks, QWidget* parent = nullptr);

  const job::InspectionJob& job() const noexcept { return job_; }
  const inspection::JobVerdict& verdict() const noexcept { return verdict_; }
  // The job as it would be saved now: the window's entries in its header.
  job::InspectionJob currentJob() const;
  // The job as it is published now: it gets its identity here when it has
  // none, and keeps it for its later saves and publications.
  job::InspectionJob jobForPublishing();

  // Adds or replaces (at `index`) an area; refused with the reason when it
  // does not stand with the others. Its readings are copied as said above.
  QString addArea(const job::JobArea& area);
  QString replaceArea(std::size_t index, const job::JobArea& area);
  void removeArea(std::size_t index);
  // Asks first when the table's readings would change or drop a copy;
  // returns whether the copies were taken.
  bool takeReadingsFromTable();
  void setHeaderTexts(const job::JobHeader& texts);

  // The job file: an empty text on success, else the message shown in the box.
  QString saveJobTo(const QString& path);
  QString openJobFrom(const QString& path);
  // Asks for the file, then saves or opens it; a failure shows "Ошибка".
  // Saving returns whether the job was saved.
  bool askAndSaveJob();
  void askAndOpenJob();

  // Whether the job differs from what was last saved or opened (a job with
  // no area and no header text has nothing to lose).
  bool hasUnsavedChanges() const;
  // With changes not saved asks "Сохранить", "Не сохранять" or "Отмена";
  // true when the job may go now (saved, or not to be saved).
  bool mayDropJob();
  // An empty job in place of this one, with nothing left to save.
  void startNewJob();

  // The job's report as of now; written to a PDF file (an empty text on
  // success, else why not).
  report::JobReport jobReport() const;
  QString saveReportPdf(const QString& path) const;

  // Judges the areas again by the window's entries now.
  void rejudge();
  // Who chooses the job file from now on (tests answer in place of the dialog).
  void setAskJobFile(std::function<QString(bool save, const QString& suggested)> ask) {
    hooks_.askJobFile = std::move(ask);
  }

  QTableWidget* const AreasTable;
  QLabel* const JobVerdictLabel;
  QPushButton* const AddAreaButton;
  QPushButton* const EditAreaButton;
  QPushButton* const RemoveAreaButton;
  QPushButton* const TakeReadingsButton;
  QPushButton* const HeaderButton;
  QPushButton* const OpenJobButton;
  QPushButton* const SaveJobButton;
  QPushButton* const PreviewReportButton;
  QPushButton* const PrintReportButton;
  QPushButton* const PdfReportButton;

 signals:
  void jobChanged();

 private:
  void editArea(int row);
  void editHeader();
  void copyReadings();
  void showAreas();

  QString askFile(bool save, const QString& suggested);
  void markSaved();

  Hooks hooks_;
  job::InspectionJob job_;
  // The job as last saved, opened or started, to tell unsaved changes.
  job::InspectionJob saved_;
  inspection::JobVerdict verdict_;
};

}  // namespace korsi
