#pragma once
// "Статистика и приёмка": a window of its own beside the main one, where the
// inspector judges the coat from the grid's readings. Entries: the rows (all
// or the grid's selection), the unit (µm or mils), the rule (ISO 19840 or IMO
// PSPC 90/10), NDFT, an optional maximum and the roughness correction. It
// shows the statistics, a histogram with the limit lines, the verdict in
// words and colour with every criterion, and marks the readings that fail in
// the grid (red; yellow for those under NDFT that the rule tolerates in
// number). Below, the job's areas by measurement numbers with each area's
// verdict and the job's, and the job file (inspection_job_panel.h). It
// follows every change of the entries, the table and, when the
// selection is inspected, the selection; the marks go when it is closed.
// Before NDFT is entered it shows the statistics and the histogram, without
// limit lines or verdict. A number entry that holds no number is marked
// where it is typed and named, and no verdict or job file is made of it.
// Closing the window with a job not saved asks first.
//
// The thicknesses stay as stored; the window only reads the table.

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

#include "inspection/acceptance.h"
#include "inspection/inspection_job.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QFormLayout;
class QLayout;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTabWidget;
class QTimer;

namespace korsi {

namespace archive {
class ArchiveStore;
}

class InspectionJobPanel;
class TMainForm;
class ThicknessHistogram;

inline constexpr const char* kInspectionTitle = "Статистика и приёмка";
// The RoughnessBox choice of a measured correction.
inline constexpr int kMeasuredCorrection = 100;

// What one inspection took in and gave: the rows, the entries and the outcome.
struct Inspection {
  inspection::Entries entries;
  std::vector<int> rows;         // grid rows of the readings, in table order
  int rowsWithoutThickness = 0;  // chosen rows left out for an empty thickness
  inspection::Assessment assessment;
  // The corrected readings and their statistics, also without a verdict.
  inspection::CorrectedReadings corrected;
  bool selectionOnly = false;
};

class InspectionWindow : public QDialog {
  Q_OBJECT

 public:
  // The table and the main window must outlive this window.
  InspectionWindow(const archive::ArchiveStore& table, TMainForm& window, QWidget* parent = nullptr);
  ~InspectionWindow() override;

  // Shows the window (taking the grid's selection when several rows are
  // selected), or brings it forward.
  void showInspection();
  // Judges now; changes otherwise are taken in together after a short pause.
  void updateNow();
  const Inspection& current() const noexcept { return current_; }

  QRadioButton* const AllRowsButton;
  QRadioButton* const SelectedRowsButton;
  QComboBox* const UnitBox;
  QComboBox* const RuleBox;
  QLineEdit* const NdftEdit;
  QLineEdit* const MaximumEdit;
  // SSPC-PA 2 only: the restriction level and the readings to a spot.
  QComboBox* const LevelBox;
  QSpinBox* const SpotSizeBox;
  QComboBox* const RoughnessBox;
  // The correction measured on the blasted surface, when RoughnessBox says so.
  QLineEdit* const CorrectionEdit;
  // Under the entries: which field holds no number, by its caption.
  QLabel* const EntriesProblemLabel;
  QLabel* const StatisticsLabel;
  ThicknessHistogram* const Histogram;
  QLabel* const VerdictLabel;
  QTableWidget* const CriteriaTable;
  QLabel* const NotesLabel;
  // The printed record: preview, print, PDF; available with a verdict.
  QPushButton* const PreviewRecordButton;
  QPushButton* const PrintRecordButton;
  QPushButton* const PdfRecordButton;
  QPushButton* const CloseButton;
  // "Замеры" (the rows as one set, above) and "Зоны проверки" (the job).
  QTabWidget* const Pages;
  // The job: its areas, their verdicts and the job file.
  InspectionJobPanel* const JobPanel;

  // The printed record of the inspection on show, as of now (a verdict is needed).
  bool hasRecord() const { return current_.assessment.ok(); }
  // Writes the record to a PDF file; returns why it failed, or an empty text.
  QString saveRecordPdf(const QString& path) const;
  // The first number entry that holds no number, named ("Максимальная
  // толщина: «abc» — не число; ..."); empty when every one holds a number
  // or nothing. Each such entry is marked.
  QString entriesProblem() const;

 signals:
  // A new inspection is on show.
  void updated();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Closing (the window's button, its frame, Esc) with a job not saved asks first.
  void reject() override;

 private:
  void buildLayout();
  QGroupBox* buildEntries();
  void connectEntries();
  void scheduleUpdate();
  void unitChanged();
  inspection::Entries entries() const;
  // The entries as a job's header and back (the rule, limits, unit and set-up).
  void entriesInto(job::JobHeader& header) const;
  void entriesFrom(const job::JobHeader& header);
  std::vector<job::JobReading> tableReadings() const;
  std::vector<int> chosenRows() const;
  void showStatistics();
  void showVerdict();
  void fitCriteriaTable();
  void markGrid();
  void previewRecord();
  void printRecord();
  void askAndSavePdf();

  const archive::ArchiveStore& table_;
  TMainForm& window_;
  QTimer* const updateTimer_;
  void ruleChanged();
  QFormLayout* form_ = nullptr;
  QLabel* ndftLabel_ = nullptr;
  QLabel* ndftUnit_ = nullptr;
  QLabel* maximumUnit_ = nullptr;
  QLabel* correctionUnit_ = nullptr;
  QLayout* correctionRow_ = nullptr;
  void setUpChanged();
  inspection::Unit shownUnit_ = inspection::Unit::Micrometre;
  // A length converted to another unit: its text as shown and its exact value.
  struct TypedLength {
    QString text;
    double value = 0.0;
  };
  std::optional<TypedLength> convertedNdft_;
  std::optional<TypedLength> convertedMaximum_;
  std::optional<TypedLength> convertedCorrection_;
  Inspection current_;
};

}  // namespace korsi
