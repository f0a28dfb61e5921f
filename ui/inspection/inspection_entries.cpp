#include "ui/inspection/inspection_window.h"

// The window's entries: the rows, the unit, the rule and its limits, the
// set-up; the same thickness kept exact across a change of unit; and the
// entries as a job's header, both ways.

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <cmath>
#include <limits>
#include <set>

#include "storage/archive/archive_store.h"
#include "ui/main_window/archive_grid_view.h"
#include "ui/inspection/typed_number.h"
#include "ui/main_window/main_window.h"

namespace korsi {

namespace {

using inspection::Unit;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A number as typed, with a comma or a point; NaN when it is none (the
// entry is then refused by name, see entriesProblem).
double typedNumber(const QString& typed) {
  return readTypedNumber(typed).value.value_or(std::numeric_limits<double>::quiet_NaN());
}

// A length converted to another unit: exact enough that converting back
// gives the same nanometre.
QString convertedText(double value, Unit from, Unit to) {
  const auto nm = inspection::nanometresFrom(value, from);
  if (!nm) return {};
  return text(inspection::exactText(static_cast<double>(*nm), to));
}

}  // namespace

QGroupBox* InspectionWindow::buildEntries() {
  AllRowsButton->setObjectName(QStringLiteral("AllRowsButton"));
  SelectedRowsButton->setObjectName(QStringLiteral("SelectedRowsButton"));
  AllRowsButton->setChecked(true);
  auto* rows = new QHBoxLayout;
  rows->addWidget(AllRowsButton);
  rows->addWidget(SelectedRowsButton);
  rows->addStretch();

  UnitBox->setObjectName(QStringLiteral("UnitBox"));
  UnitBox->addItem(QStringLiteral("мкм"), static_cast<int>(Unit::Micrometre));
  UnitBox->addItem(QStringLiteral("мил (25,4 мкм)"), static_cast<int>(Unit::Mil));
  RuleBox->setObjectName(QStringLiteral("RuleBox"));
  RuleBox->addItem(QStringLiteral("ISO 19840"), static_cast<int>(inspection::Rule::Iso19840));
  RuleBox->addItem(QStringLiteral("IMO PSPC 90/10"), static_cast<int>(inspection::Rule::Pspc9010));
  RuleBox->addItem(QStringLiteral("SSPC-PA 2"), static_cast<int>(inspection::Rule::SspcPa2));
  LevelBox->setObjectName(QStringLiteral("LevelBox"));
  for (const inspection::SspcLevel& level : inspection::kSspcLevels) {
    const QString upper = level.spotMaximumPercent ? QStringLiteral("%1 %").arg(*level.spotMaximumPercent)
                                                   : QStringLiteral("без предела");
    LevelBox->addItem(QStringLiteral("%1 (пятна: %2 % минимума – %3 максимума)")
                          .arg(level.level)
                          .arg(level.spotMinimumPercent)
                          .arg(upper),
                      level.level);
  }
  LevelBox->setCurrentIndex(LevelBox->findData(inspection::kDefaultSspcLevel));
  SpotSizeBox->setObjectName(QStringLiteral("SpotSizeBox"));
  SpotSizeBox->setRange(static_cast<int>(inspection::kSmallestSpotSize),
                        static_cast<int>(inspection::kLargestSpotSize));
  SpotSizeBox->setValue(static_cast<int>(inspection::kDefaultSpotSize));
  RoughnessBox->setObjectName(QStringLiteral("RoughnessBox"));
  RoughnessBox->addItem(QStringLiteral("нет"), static_cast<int>(inspection::Roughness::None));
  RoughnessBox->addItem(QStringLiteral("мелкая (10 мкм)"), static_cast<int>(inspection::Roughness::Fine));
  RoughnessBox->addItem(QStringLiteral("средняя (25 мкм)"), static_cast<int>(inspection::Roughness::Medium));
  RoughnessBox->addItem(QStringLiteral("грубая (40 мкм)"), static_cast<int>(inspection::Roughness::Coarse));
  RoughnessBox->addItem(QStringLiteral("профиль неизвестен (25 мкм)"),
                        static_cast<int>(inspection::Roughness::UnknownProfile));
  RoughnessBox->addItem(QStringLiteral("измеренная поправка"), kMeasuredCorrection);
  CorrectionEdit->setObjectName(QStringLiteral("CorrectionEdit"));
  CorrectionEdit->setPlaceholderText(QStringLiteral("например, 18"));
  correctionUnit_ = new QLabel(this);
  NdftEdit->setObjectName(QStringLiteral("NdftEdit"));
  NdftEdit->setPlaceholderText(QStringLiteral("например, 120"));
  MaximumEdit->setObjectName(QStringLiteral("MaximumEdit"));
  MaximumEdit->setPlaceholderText(QStringLiteral("не задан"));
  ndftUnit_ = new QLabel(this);
  maximumUnit_ = new QLabel(this);
  const auto withUnit = [this](QLineEdit* edit, QLabel* unit) {
    auto* line = new QHBoxLayout;
    line->addWidget(edit, 1);
    line->addWidget(unit);
    unit->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("мкм")) + 4);
    return line;
  };

  auto* entries = new QGroupBox(QStringLiteral("Условия"), this);
  auto* form = new QFormLayout(entries);
  form_ = form;
  ndftLabel_ = new QLabel(this);
  form->addRow(QStringLiteral("Замеры:"), rows);
  form->addRow(QStringLiteral("Единицы:"), UnitBox);
  form->addRow(QStringLiteral("Правило:"), RuleBox);
  form->addRow(ndftLabel_, withUnit(NdftEdit, ndftUnit_));
  form->addRow(QStringLiteral("Максимальная толщина:"), withUnit(MaximumEdit, maximumUnit_));
  form->addRow(QStringLiteral("Уровень:"), LevelBox);
  form->addRow(QStringLiteral("Замеров в пятне:"), SpotSizeBox);
  form->addRow(QStringLiteral("Шероховатость (поправка):"), RoughnessBox);
  correctionRow_ = withUnit(CorrectionEdit, correctionUnit_);
  form->addRow(QStringLiteral("Измеренная поправка:"), correctionRow_);
  EntriesProblemLabel->setObjectName(QStringLiteral("EntriesProblemLabel"));
  EntriesProblemLabel->setWordWrap(true);
  EntriesProblemLabel->setStyleSheet(QStringLiteral("color: #c62828"));
  EntriesProblemLabel->hide();
  form->addRow(EntriesProblemLabel);
  return entries;
}

QString InspectionWindow::entriesProblem() const {
  struct Field {
    QLineEdit* edit;
    QString caption;
    const char* example;
    bool shown;
  };
  const bool measured = RoughnessBox->currentData().toInt() == kMeasuredCorrection;
  const Field fields[] = {
      {NdftEdit, ndftLabel_->text().chopped(1), "120", true},
      {MaximumEdit, QStringLiteral("Максимальная толщина"), "360", true},
      {CorrectionEdit, QStringLiteral("Измеренная поправка"), "18", measured},
  };
  QString first;
  for (const Field& f : fields) {
    // A hidden entry is not used, whatever it holds.
    const QString problem = f.shown ? typedNumberProblem(f.caption, f.edit->text(), QString::fromUtf8(f.example)) : QString();
    markTypedNumber(f.edit, problem);
    if (first.isEmpty()) first = problem;
  }
  return first;
}

void InspectionWindow::ruleChanged() {
  const bool sspc = static_cast<inspection::Rule>(RuleBox->currentData().toInt()) == inspection::Rule::SspcPa2;
  ndftLabel_->setText(sspc ? QStringLiteral("Минимальная толщина:") : QStringLiteral("Номинальная толщина NDFT:"));
  form_->setRowVisible(LevelBox, sspc);
  form_->setRowVisible(SpotSizeBox, sspc);
  scheduleUpdate();
}

void InspectionWindow::unitChanged() {
  const auto unit = static_cast<Unit>(UnitBox->currentData().toInt());
  const QString name = QString::fromUtf8(inspection::unitName(unit));
  ndftUnit_->setText(name);
  maximumUnit_->setText(name);
  correctionUnit_->setText(name);
  if (unit != shownUnit_) {
    // The same thickness in the new unit. The text shown is rounded; while it
    // stands unchanged, the exact value is judged.
    const auto convert = [&](QLineEdit* edit, std::optional<TypedLength>& converted) {
      const double value = converted && edit->text() == converted->text ? converted->value : typedNumber(edit->text());
      if (!std::isfinite(value)) {
        converted.reset();
        return;
      }
      const double factor = static_cast<double>(unit == Unit::Mil ? inspection::kNanometresPerMicrometre
                                                                   : inspection::kNanometresPerMil) /
                            static_cast<double>(unit == Unit::Mil ? inspection::kNanometresPerMil
                                                                  : inspection::kNanometresPerMicrometre);
      const QString shown = convertedText(value, shownUnit_, unit);
      converted = TypedLength{shown, value * factor};
      const QSignalBlocker quiet(edit);
      edit->setText(shown);
    };
    convert(NdftEdit, convertedNdft_);
    convert(MaximumEdit, convertedMaximum_);
    convert(CorrectionEdit, convertedCorrection_);
    shownUnit_ = unit;
  }
  scheduleUpdate();
}

inspection::Entries InspectionWindow::entries() const {
  inspection::Entries e;
  e.rule = static_cast<inspection::Rule>(RuleBox->currentData().toInt());
  e.unit = static_cast<Unit>(UnitBox->currentData().toInt());
  const int roughness = RoughnessBox->currentData().toInt();
  if (roughness == kMeasuredCorrection) {
    e.measuredCorrection = CorrectionEdit->text().trimmed().isEmpty()
                               ? 0.0
                               : (convertedCorrection_ && CorrectionEdit->text() == convertedCorrection_->text
                                      ? convertedCorrection_->value
                                      : typedNumber(CorrectionEdit->text()));
  } else {
    e.roughness = static_cast<inspection::Roughness>(roughness);
  }
  const auto length = [](const QLineEdit* edit, const std::optional<TypedLength>& converted) {
    return converted && edit->text() == converted->text ? converted->value : typedNumber(edit->text());
  };
  e.ndft = NdftEdit->text().trimmed().isEmpty() ? 0.0 : length(NdftEdit, convertedNdft_);
  if (!MaximumEdit->text().trimmed().isEmpty()) e.maximum = length(MaximumEdit, convertedMaximum_);
  e.level = LevelBox->currentData().toInt();
  e.spotSize = static_cast<std::size_t>(SpotSizeBox->value());
  return e;
}

std::vector<int> InspectionWindow::chosenRows() const {
  const int stored = static_cast<int>(table_.rowCount());
  std::vector<int> rows;
  if (AllRowsButton->isChecked()) {
    rows.resize(static_cast<std::size_t>(stored));
    for (int r = 0; r < stored; ++r) rows[static_cast<std::size_t>(r)] = r;
    return rows;
  }
  std::set<int> selected;
  for (const QItemSelectionRange& range : window_.grid()->selectionModel()->selection()) {
    for (int r = range.top(); r <= range.bottom(); ++r) {
      if (r < stored) selected.insert(r);  // the unfilled new row holds no reading
    }
  }
  return {selected.begin(), selected.end()};
}

}  // namespace korsi

namespace korsi {

void InspectionWindow::setUpChanged() {
  form_->setRowVisible(correctionRow_, RoughnessBox->currentData().toInt() == kMeasuredCorrection);
  scheduleUpdate();
}

void InspectionWindow::entriesInto(job::JobHeader& h) const {
  const inspection::Entries e = entries();
  h.rule = e.rule == inspection::Rule::SspcPa2    ? job::JobRule::SspcPa2
           : e.rule == inspection::Rule::Pspc9010 ? job::JobRule::Pspc9010
                                                  : job::JobRule::Iso19840;
  h.unit = e.unit == Unit::Mil ? job::JobUnit::Mil : job::JobUnit::Micrometre;
  h.nominal = NdftEdit->text().trimmed().isEmpty() || !std::isfinite(e.ndft) ? std::nullopt : std::optional(e.ndft);
  h.maximum = e.maximum;
  h.level = e.level;
  h.spotSize = e.spotSize;
  h.measuredCorrection.reset();
  if (e.measuredCorrection) {
    h.setUp = job::SetUp::Measured;
    h.measuredCorrection = e.measuredCorrection;
    return;
  }
  switch (e.roughness) {
    case inspection::Roughness::Fine:
      h.setUp = job::SetUp::Fine;
      break;
    case inspection::Roughness::Medium:
      h.setUp = job::SetUp::Medium;
      break;
    case inspection::Roughness::Coarse:
      h.setUp = job::SetUp::Coarse;
      break;
    case inspection::Roughness::UnknownProfile:
      h.setUp = job::SetUp::UnknownProfile;
      break;
    case inspection::Roughness::None:
      h.setUp = job::SetUp::None;
      break;
  }
}

void InspectionWindow::entriesFrom(const job::JobHeader& h) {
  const auto rule = h.rule == job::JobRule::SspcPa2    ? inspection::Rule::SspcPa2
                    : h.rule == job::JobRule::Pspc9010 ? inspection::Rule::Pspc9010
                                                       : inspection::Rule::Iso19840;
  const Unit unit = h.unit == job::JobUnit::Mil ? Unit::Mil : Unit::Micrometre;
  // The job's figures are in its own unit: no conversion of what was typed.
  {
    const QSignalBlocker quiet(UnitBox);
    UnitBox->setCurrentIndex(UnitBox->findData(static_cast<int>(unit)));
  }
  shownUnit_ = unit;
  convertedNdft_.reset();
  convertedMaximum_.reset();
  convertedCorrection_.reset();
  const auto shown = [&](std::optional<double> value) {
    return value ? QString::number(*value, 'g', 12).replace(QLatin1Char('.'), QLatin1Char(',')) : QString();
  };
  NdftEdit->setText(shown(h.nominal));
  MaximumEdit->setText(shown(h.maximum));
  CorrectionEdit->setText(shown(h.measuredCorrection));
  RuleBox->setCurrentIndex(RuleBox->findData(static_cast<int>(rule)));
  if (const int level = LevelBox->findData(h.level); level >= 0) LevelBox->setCurrentIndex(level);
  SpotSizeBox->setValue(static_cast<int>(h.spotSize));
  int setUp = static_cast<int>(inspection::Roughness::None);
  switch (h.setUp) {
    case job::SetUp::Fine:
      setUp = static_cast<int>(inspection::Roughness::Fine);
      break;
    case job::SetUp::Medium:
      setUp = static_cast<int>(inspection::Roughness::Medium);
      break;
    case job::SetUp::Coarse:
      setUp = static_cast<int>(inspection::Roughness::Coarse);
      break;
    case job::SetUp::UnknownProfile:
      setUp = static_cast<int>(inspection::Roughness::UnknownProfile);
      break;
    case job::SetUp::Measured:
      setUp = kMeasuredCorrection;
      break;
    case job::SetUp::None:
      break;
  }
  RoughnessBox->setCurrentIndex(RoughnessBox->findData(setUp));
  unitChanged();
  ruleChanged();
  setUpChanged();
}

std::vector<job::JobReading> InspectionWindow::tableReadings() const {
  std::vector<job::JobReading> readings;
  for (std::size_t r = 0; r < table_.rowCount(); ++r) {
    const ArchiveRow& row = table_.row(r);
    if (!row.num || !row.h || *row.num < 1) continue;
    readings.push_back({*row.num, row.date, *row.h, row.prim});
  }
  return readings;
}

}  // namespace korsi
