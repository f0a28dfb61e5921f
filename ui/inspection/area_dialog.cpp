#include "ui/inspection/area_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "inspection/thickness_units.h"
#include "ui/inspection/typed_number.h"

namespace korsi {

namespace {

namespace in = korsi::inspection;

QString numberText(std::optional<double> value) {
  if (!value) return {};
  return QString::number(*value, 'g', 12).replace(QLatin1Char('.'), QLatin1Char(','));
}

std::optional<double> typed(const QLineEdit* edit) { return readTypedNumber(edit->text()).value; }

// The number fields with their captions as the refusal names them.
struct NumberField {
  QLineEdit* edit;
  const char* caption;
  const char* example;
};

}  // namespace

AreaDialog::AreaDialog(const job::JobArea& area, std::vector<job::JobArea> others, job::JobUnit jobUnit,
                       QWidget* parent)
    : QDialog(parent),
      NameEdit(new QLineEdit(QString::fromStdString(area.name), this)),
      NumbersEdit(new QLineEdit(QString::fromStdString(job::rangesText(area.numbers)), this)),
      SurfaceEdit(new QLineEdit(numberText(area.surface ? std::optional(area.surface->value) : std::nullopt), this)),
      SurfaceUnitBox(new QComboBox(this)),
      KindBox(new QComboBox(this)),
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
  SurfaceUnitBox->setObjectName(QStringLiteral("SurfaceUnitBox"));
  SurfaceUnitBox->addItem(QStringLiteral("м²"), static_cast<int>(in::SurfaceUnit::SquareMetre));
  SurfaceUnitBox->addItem(QStringLiteral("фут²"), static_cast<int>(in::SurfaceUnit::SquareFoot));
  // A surface keeps the unit it was given in; a new one takes the job's system.
  const in::SurfaceUnit unit = area.surface ? area.surface->unit
                               : jobUnit == job::JobUnit::Mil ? in::SurfaceUnit::SquareFoot
                                                              : in::SurfaceUnit::SquareMetre;
  SurfaceUnitBox->setCurrentIndex(SurfaceUnitBox->findData(static_cast<int>(unit)));
  KindBox->setObjectName(QStringLiteral("KindBox"));
  KindBox->addItem(QStringLiteral("не задана"), -1);
  KindBox->addItem(QStringLiteral("ровная (1 замер на 5 м²)"), static_cast<int>(in::SurfaceKind::Flat));
  KindBox->addItem(QStringLiteral("сложная (5 замеров на 1 м²)"), static_cast<int>(in::SurfaceKind::Complex));
  if (area.kind) KindBox->setCurrentIndex(KindBox->findData(static_cast<int>(*area.kind)));
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

  auto* surface = new QHBoxLayout;
  surface->addWidget(SurfaceEdit, 1);
  surface->addWidget(SurfaceUnitBox);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Название:"), NameEdit);
  form->addRow(QStringLiteral("Номера замеров:"), NumbersEdit);
  form->addRow(QStringLiteral("Площадь:"), surface);
  form->addRow(QStringLiteral("Поверхность (IMO PSPC):"), KindBox);
  form->addRow(QStringLiteral("Правило зоны:"), RuleBox);
  form->addRow(QStringLiteral("NDFT или минимум зоны:"), NominalEdit);
  form->addRow(QStringLiteral("Максимум зоны:"), MaximumEdit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &AreaDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // A field is marked as soon as what it holds is no number.
  for (QLineEdit* edit : {SurfaceEdit, NominalEdit, MaximumEdit}) {
    connect(edit, &QLineEdit::textChanged, this, [this] { ProblemLabel->setText(numbersProblem()); });
  }
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(ProblemLabel);
  layout->addWidget(buttons);
  setMinimumWidth(460);
}

job::JobArea AreaDialog::area() const {
  job::JobArea a;
  a.name = NameEdit->text().trimmed().toStdString();
  a.numbers = job::parseNumberRanges(NumbersEdit->text().toStdString()).ranges;
  if (const auto surface = typed(SurfaceEdit)) {
    a.surface = in::Surface{*surface, static_cast<in::SurfaceUnit>(SurfaceUnitBox->currentData().toInt())};
  }
  if (const int kind = KindBox->currentData().toInt(); kind >= 0) a.kind = static_cast<in::SurfaceKind>(kind);
  if (const int rule = RuleBox->currentData().toInt(); rule >= 0) a.overrides.rule = static_cast<job::JobRule>(rule);
  a.overrides.nominal = typed(NominalEdit);
  a.overrides.maximum = typed(MaximumEdit);
  return a;
}

QString AreaDialog::numbersProblem() const {
  const NumberField fields[] = {{SurfaceEdit, "Площадь", "12,5"},
                                {NominalEdit, "NDFT или минимум зоны", "120"},
                                {MaximumEdit, "Максимум зоны", "360"}};
  QString first;
  for (const NumberField& f : fields) {
    const QString problem = typedNumberProblem(QString::fromUtf8(f.caption), f.edit->text(), QString::fromUtf8(f.example));
    markTypedNumber(f.edit, problem);
    if (first.isEmpty()) first = problem;
  }
  return first;
}

QString AreaDialog::problem() const {
  if (NameEdit->text().trimmed().isEmpty()) return QStringLiteral("Введите название зоны");
  const job::ParsedRanges numbers = job::parseNumberRanges(NumbersEdit->text().toStdString());
  if (!numbers.ok()) return QString::fromStdString(numbers.error);
  if (const QString typedProblem = numbersProblem(); !typedProblem.isEmpty()) return typedProblem;
  const job::JobArea a = area();
  const auto positive = [](std::optional<double> v) { return !v || *v > 0.0; };
  if (a.surface && !(a.surface->value > 0.0)) return QStringLiteral("Площадь должна быть числом больше нуля");
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
