#pragma once
// The company archive in the desktop program, where kestro.conf has the line
// "company_archive <URI>" (without it nothing of it appears): the item
// Файл › "Опубликовать в архив компании", the item Сервис › "Архив
// компании…" that opens its window, the count of jobs waiting to be sent in
// the status bar, and the sending of what waits when the program starts. A
// build without the archive (Windows, for now) shows the items with a box
// that says so.

#include <functional>
#include <memory>
#include <optional>

#include "inspection/inspection_job.h"

class QLabel;
class QWidget;

namespace korsi {

class Config;
class TMainForm;

inline constexpr const char* kPublishJobText = "Опубликовать в архив компании";
inline constexpr const char* kCompanyArchiveTitle = "Архив компании";

class CompanyArchiveCommands {
 public:
  // The job to publish: the inspection window's, with its identity given if
  // it had none; nothing when there is no job.
  using CurrentJob = std::function<std::optional<job::InspectionJob>()>;

  virtual ~CompanyArchiveCommands() = default;
  // The window "Архив компании", made the first time; nullptr without the archive.
  virtual QWidget* showWindow() = 0;
  // Publishes the current job through the outbox, in the background; the
  // result is shown in a box when it is done.
  virtual void publishCurrentJob() = 0;
  // The status bar's "Ожидают отправки в архив компании: N" (hidden at 0).
  virtual QLabel* waitingLabel() = 0;
  // Whether work for the server is under way (tests wait for it).
  virtual bool busy() const = 0;
};

// Nothing when the configuration names no company archive.
std::unique_ptr<CompanyArchiveCommands> makeCompanyArchiveCommands(const Config& config, TMainForm& window,
                                                                   CompanyArchiveCommands::CurrentJob currentJob);

}  // namespace korsi
