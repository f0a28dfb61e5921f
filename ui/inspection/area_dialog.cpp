#include "ui/inspection/area_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "inspection/thickness_units.h"

namespace korsi {

namespace {

// A number as typed, with a comma or a point; nothing for an empty text, NaN for no number.
std::optional<double> typed(const QLineEdit* edit) {
  QString t = edit->text().trimmed();
  if (t.isEmpty()) return std::nullopt;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double value = t.toDouble(&ok);
  return ok && std::isfinite(value) ? value : std::nan("");
}

QString numberText(std::optional<double> value) {
  if (!value) return {};
  return QString::number(*value, 'g', 12).replace(QLatin1Char('.'), QLatin1Char(','));
}

}  // namespace

AreaDialog::AreaDialog(const job::JobArea& area, std::vector<job::JobArea> others, QWidget* parent)
    : QDialog(parent),
      NameEdit(new QLineEdit(QString::fromStdString(area.name), this)),
      NumbersEdit(new QLineEdit(QString::fromStdString(job::rangesText(area.numbers)), this)),
      SurfaceEdit(new QLineEdit(numberText(area.surfaceM2), this)),
      RuleBox(new QComboBox(this)),
      NominalEdit(new QLineEdit(numberText(area.overrides.nominal), this)),
      MaximumEdit(new QLineEdit(numberText(area.overrides.maximum), this)),
      ProblemLabel(new QLabel(this)),
      others_(std::move(others)) {
  setObjectName(QStringLiteral("AreaDialog"));
  setWindowTitle(QString::fromUtf8(kAreaDialogTitle));
  NameEdit->setObjectName(QStringLiteral("NameEdit"));
  NumbersEdit->setObjectName(QStringLiteral("NumbersEdit"));
  NumbersEdit->setPlaceholderText(QStringLiteral("например, 1-30, 45-60"));
  SurfaceEdit->setObjectName(QStringLiteral("SurfaceEdit"));
  SurfaceEdit->setPlaceholderText(QStringLiteral("не задана"));
  RuleBox->setObjectName(QStringLiteral("AreaRuleBox"));
  RuleBox->addItem(QStringLiteral("как в проверке"), -1);
  RuleBox->addItem(QStringLiteral("ISO 19840"), static_cast<int>(job::JobRule::Iso19840));
  RuleBox->addItem(QStringLiteral("IMO PSPC 90/10"), static_cast<int>(job::JobRule::Pspc9010));
  RuleBox->addItem(QStringLiteral("SSPC-PA 2"), static_cast<int>(job::JobRule::SspcPa2));
  if (area.overrides.rule) RuleBox->setCurrentIndex(RuleBox->findData(static_cast<int>(*area.overrides.rule)));
  NominalEdit->setObjectName(QStringLiteral("AreaNominalEdit"));
  NominalEdit->setPlaceholderText(QStringLiteral("как в проверке"));
  MaximumEdit->setObjectName(QStringLiteral("AreaMaximumEdit"));
  MaximumEdit->setPlaceholderText(QStringLiteral("как в проверке"));
  ProblemLabel->setObjectName(QStringLiteral("ProblemLabel"));
  ProblemLabel->setWordWrap(true);
  ProblemLabel->setStyleSheet(QStringLiteral("color: #c62828"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Название:"), NameEdit);
  form->addRow(QStringLiteral("Номера замеров:"), NumbersEdit);
  form->addRow(QStringLiteral("Площадь, м²:"), SurfaceEdit);
  form->addRow(QStringLiteral("Правило зоны:"), RuleBox);
  form->addRow(QStringLiteral("NDFT или минимум зоны:"), NominalEdit);
  form->addRow(QStringLiteral("Максимум зоны:"), MaximumEdit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &AreaDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(ProblemLabel);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

job::JobArea AreaDialog::area() const {
  job::JobArea a;
  a.name = NameEdit->text().trimmed().toStdString();
  a.numbers = job::parseNumberRanges(NumbersEdit->text().toStdString()).ranges;
  a.surfaceM2 = typed(SurfaceEdit);
  if (const int rule = RuleBox->currentData().toInt(); rule >= 0) a.overrides.rule = static_cast<job::JobRule>(rule);
  a.overrides.nominal = typed(NominalEdit);
  a.overrides.maximum = typed(MaximumEdit);
  return a;
}

QString AreaDialog::problem() const {
  if (NameEdit->text().trimmed().isEmpty()) return QStringLiteral("Введите название зоны");
  const job::ParsedRanges numbers = job::parseNumberRanges(NumbersEdit->text().toStdString());
  if (!numbers.ok()) return QString::fromStdString(numbers.error);
  const job::JobArea a = area();
  const auto positive = [](std::optional<double> v) { return !v || (std::isfinite(*v) && *v > 0.0); };
  if (!positive(a.surfaceM2)) return QStringLiteral("Площадь должна быть числом больше нуля");
  if (!positive(a.overrides.nominal) || !positive(a.overrides.maximum)) {
    return QStringLiteral("Толщина зоны должна быть числом больше нуля");
  }
  std::vector<job::JobArea> all = others_;
  all.push_back(a);
  return QString::fromStdString(job::areasProblem(all));
}

void AreaDialog::accept() {
  const QString why = problem();
  ProblemLabel->setText(why);
  if (why.isEmpty()) QDialog::accept();
}

}  // namespace korsi
