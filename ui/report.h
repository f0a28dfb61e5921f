#pragma once
// The report form: holds the report's layout for preview and print; never
// shown as a window itself.

#include <QWidget>

namespace korsi {

class TRepForm : public QWidget {
  Q_OBJECT

 public:
  explicit TRepForm(QWidget* parent = nullptr);
};

}  // namespace korsi
