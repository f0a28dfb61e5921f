#pragma once
// "Зона проверки": the name of an area, the measurement numbers it holds
// ("1-30, 45-60"), its surface (optional) in square metres or square feet
// and, for IMO PSPC, whether it is flat or complex, and, where the area is
// judged otherwise than the job, its own rule, NDFT or minimum and maximum.
// A new area's surface is in the job's unit system (square feet in a job in
// mils); a surface already given keeps its unit. A number field that holds
// no number is marked where it is typed and named in the refusal. OK takes
// the entries only when they stand together with the other areas.

#include <QDialog>
#include <vector>

#include "inspection/inspection_job.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace korsi {

inline constexpr const char* kAreaDialogTitle = "Зона проверки";

class AreaDialog : public QDialog {
  Q_OBJECT

 public:
  // `others`: the job's other areas, which the numbers must not meet.
  AreaDialog(const job::JobArea& area, std::vector<job::JobArea> others, job::JobUnit jobUnit = job::JobUnit::Micrometre,
             QWidget* parent = nullptr);

  // The area as entered, or why it is refused (an empty text when it is not).
  job::JobArea area() const;
  QString problem() const;

  QLineEdit* const NameEdit;
  QLineEdit* const NumbersEdit;
  QLineEdit* const SurfaceEdit;
  QComboBox* const SurfaceUnitBox;  // "м²" or "фут²"
  QComboBox* const KindBox;         // "не задан", "ровная", "сложная"
  QComboBox* const RuleBox;         // "как в проверке" or a rule of the area's own
  QLineEdit* const NominalEdit;
  QLineEdit* const MaximumEdit;
  QLabel* const ProblemLabel;

 private:
  void accept() override;
  // The problems of the number fields, each field marked.
  QString numbersProblem() const;

  std::vector<job::JobArea> others_;
};

}  // namespace korsi
