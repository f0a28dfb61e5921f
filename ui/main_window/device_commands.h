#pragma once
// The main window's commands that talk to the gauge: "Найти устройство"
// (N2, ToolButton4), the three read commands "Весь архив" (N17, A),
// "Диапазон измерений" (N18, B), "Одно измерение" (N19, C), and the read
// button ToolButton12, which repeats the kind of read last chosen.

#include <QObject>
#include <cstdint>
#include <memory>

#include "ui/main_window/window_view.h"

namespace korsi {

class ArchiveActions;
class ConverterDriver;
class ProcessObjects;
class TMainForm;
class TNumForm1;
class TProgressForm;
class TRangeForm1;

inline constexpr const char* kInputErrorLog = "Ошибка входных данных";

class DeviceCommands : public QObject {
  Q_OBJECT

 public:
  // The kind of the last read command chosen; ToolButton12 repeats it.
  enum class ReadState { WholeArchive = 0, Range = 1, OneMeasurement = 2 };

  struct Windows {
    TMainForm& window;
    TProgressForm& progress;
    TRangeForm1& range;
    TNumForm1& number;
    ArchiveActions& archive;
  };

  // Connects the commands of windows.window. The objects, the windows and the
  // driver must outlive this object; endProgram ends the message loop with
  // an exit status.
  DeviceCommands(ProcessObjects& objects, Windows windows, std::unique_ptr<ConverterDriver> driver,
                 WindowView::EndProgram endProgram);
  ~DeviceCommands() override;

  void findDevice();
  void wholeArchive();
  void range();
  void oneMeasurement();
  void repeatRead();

  // The start of every read: clears the table and starts the reading worker
  // for the numbers from the smaller of a and b up to b.
  void startRead(std::int32_t a, std::int32_t b);

  ReadState readState() const noexcept { return readState_; }

 private:
  // Whether the search, or a read, is available in the window now.
  bool searchAllowed() const;
  bool readAllowed() const;
  // Waits for the workers with the progress window still answering Cancel.
  void waitForWorkers();

  ProcessObjects& objects_;
  Windows windows_;
  std::unique_ptr<ConverterDriver> driver_;
  WindowView view_;
  ReadState readState_ = ReadState::WholeArchive;
};

}  // namespace korsi
