#pragma once
// The company archive's place in the main window: Файл › "Опубликовать в
// архив компании" (PublishJobItem) after "Сохранить проверку…", Сервис ›
// "Архив компании…" (CompanyArchiveItem) after "Статистика и приёмка…", and
// a label in the status bar for the jobs waiting to be sent.

class QAction;
class QLabel;

namespace korsi {

class TMainForm;

struct CompanyArchiveMenu {
  QAction* publish;
  QAction* open;
  QLabel* waiting;
};

CompanyArchiveMenu addCompanyArchiveMenu(TMainForm& window);

}  // namespace korsi
