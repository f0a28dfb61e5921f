// The serial device on Windows. The handle is opened for overlapped I/O and
// the read time-outs make ReadFile return at once with what the driver holds,
// so no call hangs the port's threads: the reader waits for bytes in
// WaitCommEvent (woken by the driver or by wakeReader), and a write is left
// with the driver and finished later, as a non-blocking write would be.

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "link/serial_device.h"
#include "link/wait_failure_back_off.h"
#include "services/utf16.h"

namespace korsi::serial {

namespace {

struct ErrorName {
  DWORD code;
  const char* name;
  const char* text;
};

// The errors a serial port meets, named as the system headers name them so
// that a log line can be looked up; other codes are given by number.
constexpr std::array<ErrorName, 15> kErrorNames{{
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND", "No such device"},
    {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND", "No such device"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED", "Access denied"},
    {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION", "The device is open elsewhere"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE", "Invalid handle"},
    {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER", "Invalid parameter"},
    {ERROR_INVALID_FUNCTION, "ERROR_INVALID_FUNCTION", "Not a serial device"},
    {ERROR_NOT_SUPPORTED, "ERROR_NOT_SUPPORTED", "Not supported"},
    {ERROR_NOT_READY, "ERROR_NOT_READY", "The device is not ready"},
    {ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE", "The device has failed"},
    {ERROR_BAD_COMMAND, "ERROR_BAD_COMMAND", "The device does not recognise the command"},
    {ERROR_DEV_NOT_EXIST, "ERROR_DEV_NOT_EXIST", "The device no longer exists"},
    {ERROR_DEVICE_NOT_CONNECTED, "ERROR_DEVICE_NOT_CONNECTED", "The device is not connected"},
    {ERROR_OPERATION_ABORTED, "ERROR_OPERATION_ABORTED", "The operation was aborted"},
    {ERROR_SEM_TIMEOUT, "ERROR_SEM_TIMEOUT", "Timed out"},
}};

// A receive queue of this size holds a whole archive reply many times over;
// the limits of software flow control must fit inside it.
constexpr DWORD kInQueue = 16384;
constexpr DWORD kOutQueue = 4096;

bool missingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DEV_NOT_EXIST ||
         error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_NOT_READY || error == ERROR_BAD_UNIT;
}

// Windows opens a port for one handle only: a second open, from this process
// or another, is refused with ERROR_ACCESS_DENIED (ERROR_SHARING_VIOLATION on
// some drivers). Windows has no group that grants a port, so such a refusal
// is the port being in use.
bool busyError(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

class Win32SerialDevice final : public SerialDevice {
 public:
  explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {
    readEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    commEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wakeEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }

  bool usable() const {
    return readEvent_ != nullptr && writeEvent_ != nullptr && commEvent_ != nullptr && wakeEvent_ != nullptr;
  }

  ~Win32SerialDevice() override {
    // Every operation still with the driver ends before its buffer and event go.
    ::CancelIoEx(handle_, nullptr);
    DWORD ignored = 0;
    if (commPending_) ::GetOverlappedResult(handle_, &commOverlapped_, &ignored, TRUE);
    if (writePending_) ::GetOverlappedResult(handle_, &writeOverlapped_, &ignored, TRUE);
    ::CloseHandle(handle_);
    for (HANDLE event : {readEvent_, writeEvent_, commEvent_, wakeEvent_}) {
      if (event != nullptr) ::CloseHandle(event);
    }
  }

  bool getState(LineState& state) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) return false;
    state = applied_;
    state.baudRate = dcb.BaudRate;
    state.parity = dcb.Parity;
    state.stopBits = dcb.StopBits;
    state.byteSize = dcb.ByteSize;
    state.flags = flagsOf(dcb);
    state.xonLimit = dcb.XonLim;
    state.xoffLimit = dcb.XoffLim;
    state.xonChar = static_cast<std::uint8_t>(dcb.XonChar);
    state.xoffChar = static_cast<std::uint8_t>(dcb.XoffChar);
    state.eventChar = static_cast<std::uint8_t>(dcb.EvtChar);
    return true;
  }

  bool setState(const LineState& state) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = state.baudRate;
    dcb.Parity = state.parity;
    dcb.StopBits = state.stopBits;
    dcb.ByteSize = state.byteSize;
    const std::uint32_t f = state.flags;
    dcb.fBinary = TRUE;  // Windows supports nothing else
    dcb.fParity = (f >> 1) & 1;
    dcb.fOutxCtsFlow = (f >> 2) & 1;
    dcb.fOutxDsrFlow = (f >> 3) & 1;
    dcb.fDtrControl = (f >> 4) & 3;
    dcb.fDsrSensitivity = (f >> 6) & 1;
    dcb.fTXContinueOnXoff = (f >> 7) & 1;
    dcb.fOutX = (f >> 8) & 1;
    dcb.fInX = (f >> 9) & 1;
    dcb.fErrorChar = (f >> 10) & 1;
    dcb.fNull = (f >> 11) & 1;
    dcb.fRtsControl = (f >> 12) & 3;
    // Aborting every read after a framing error until ClearCommError would
    // stall the reader for nothing: a broken byte is the master's to judge.
    dcb.fAbortOnError = FALSE;
    // The driver refuses limits beyond its queue.
    dcb.XonLim = static_cast<WORD>(std::min<DWORD>(state.xonLimit, kInQueue / 2));
    dcb.XoffLim = static_cast<WORD>(std::min<DWORD>(state.xoffLimit, kInQueue / 2));
    dcb.XonChar = static_cast<char>(state.xonChar);
    dcb.XoffChar = static_cast<char>(state.xoffChar);
    dcb.EvtChar = static_cast<char>(state.eventChar);
    if (!::SetCommState(handle_, &dcb)) return false;
    applied_ = state;
    return true;
  }

  bool setModemLine(ModemLine line, bool on) override {
    const DWORD function = line == ModemLine::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
    return ::EscapeCommFunction(handle_, function) != FALSE;
  }

  std::size_t waiting() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle_, &errors, &status)) return 0;
    return status.cbInQue;
  }

  IoResult read(unsigned char* dst, std::size_t count) override {
    OVERLAPPED overlapped{};
    overlapped.hEvent = readEvent_;
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
    if (!::ReadFile(handle_, dst, ask, &got, &overlapped)) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_IO_PENDING) return failure(error);
      // The time-outs make the read complete at once; this only collects it.
      if (!::GetOverlappedResult(handle_, &overlapped, &got, TRUE)) return failure(::GetLastError());
    }
    return {got, IoStatus::Done, 0};
  }

  void waitReadable(std::chrono::milliseconds limit) override {
    if (!commPending_) {
      commMask_ = 0;
      commOverlapped_ = OVERLAPPED{};
      commOverlapped_.hEvent = commEvent_;
      if (::WaitCommEvent(handle_, &commMask_, &commOverlapped_)) {
        waitFailures_.succeeded();
        return;  // already happened
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_IO_PENDING) {
        waitFailed(error, limit);
        return;
      }
      commPending_ = true;
    }
    // Bytes that came before the wait began raise no event of their own.
    if (waiting() != 0) return;
    const HANDLE events[] = {commEvent_, wakeEvent_};
    const DWORD woke = ::WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(limit.count()));
    if (woke != WAIT_OBJECT_0) return;  // time is up or a wake: the wait stays with the driver
    DWORD ignored = 0;
    commPending_ = false;
    if (!::GetOverlappedResult(handle_, &commOverlapped_, &ignored, FALSE)) {
      waitFailed(::GetLastError(), limit);
    } else {
      waitFailures_.succeeded();
    }
  }

  void wakeReader() noexcept override { ::SetEvent(wakeEvent_); }

  bool hungUp() override {
    if (gone_) {
      // A device that answers again (plugged back in) is usable again.
      DWORD errors = 0;
      COMSTAT status{};
      if (::ClearCommError(handle_, &errors, &status)) gone_ = false;
    }
    return gone_;
  }

  IoResult write(const unsigned char* src, std::size_t count) override {
    if (writePending_) {
      DWORD done = 0;
      if (!::GetOverlappedResult(handle_, &writeOverlapped_, &done, FALSE)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_INCOMPLETE) return {0, IoStatus::WouldBlock, 0};
        writePending_ = false;
        return failure(error);
      }
      writePending_ = false;
    }
    if (count == 0) return {};
    // The driver works from this copy while the caller's ring moves on.
    writeBuffer_.assign(src, src + std::min<std::size_t>(count, kOutQueue));
    writeOverlapped_ = OVERLAPPED{};
    writeOverlapped_.hEvent = writeEvent_;
    DWORD put = 0;
    if (::WriteFile(handle_, writeBuffer_.data(), static_cast<DWORD>(writeBuffer_.size()), &put, &writeOverlapped_)) {
      return {put, IoStatus::Done, 0};
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) return failure(error);
    writePending_ = true;
    return {writeBuffer_.size(), IoStatus::Done, 0};
  }

  void waitWritable(std::chrono::milliseconds limit) override {
    if (writePending_) ::WaitForSingleObject(writeEvent_, static_cast<DWORD>(limit.count()));
  }

  std::size_t outputWaiting() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle_, &errors, &status)) return 0;
    return status.cbOutQue;
  }

  void purgeInput() override { ::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_RXABORT); }

  void purgeOutput() override {
    // The bytes of a write still with the driver are dropped too, as
    // tcflush drops what the tty holds.
    ::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_TXABORT);
  }

 private:
  static std::uint32_t flagsOf(const DCB& dcb) {
    std::uint32_t f = 0;
    f |= static_cast<std::uint32_t>(dcb.fBinary) << 0;
    f |= static_cast<std::uint32_t>(dcb.fParity) << 1;
    f |= static_cast<std::uint32_t>(dcb.fOutxCtsFlow) << 2;
    f |= static_cast<std::uint32_t>(dcb.fOutxDsrFlow) << 3;
    f |= static_cast<std::uint32_t>(dcb.fDtrControl) << 4;
    f |= static_cast<std::uint32_t>(dcb.fDsrSensitivity) << 6;
    f |= static_cast<std::uint32_t>(dcb.fTXContinueOnXoff) << 7;
    f |= static_cast<std::uint32_t>(dcb.fOutX) << 8;
    f |= static_cast<std::uint32_t>(dcb.fInX) << 9;
    f |= static_cast<std::uint32_t>(dcb.fErrorChar) << 10;
    f |= static_cast<std::uint32_t>(dcb.fNull) << 11;
    f |= static_cast<std::uint32_t>(dcb.fRtsControl) << 12;
    return f;
  }

  // A failed wait leaves the device usable when it was only cut short.
  static bool usableAfter(DWORD error) { return error == ERROR_OPERATION_ABORTED || error == ERROR_IO_INCOMPLETE; }

  // A wait that failed at once, on the reader's thread: the reader pauses
  // (woken at once by a closing port) instead of spinning. A failure that
  // was not a cut-short wait marks the device as gone until the driver
  // tells the port's state again (hungUp).
  void waitFailed(DWORD error, std::chrono::milliseconds limit) {
    if (!usableAfter(error)) gone_ = true;
    ::WaitForSingleObject(wakeEvent_, static_cast<DWORD>(waitFailures_.failed(limit).count()));
  }

  IoResult failure(DWORD error) {
    if (error == ERROR_OPERATION_ABORTED) return {0, IoStatus::WouldBlock, static_cast<int>(error)};
    gone_ = true;
    return {0, IoStatus::Gone, static_cast<int>(error)};
  }

  HANDLE handle_;
  HANDLE readEvent_ = nullptr;
  HANDLE writeEvent_ = nullptr;
  HANDLE commEvent_ = nullptr;
  HANDLE wakeEvent_ = nullptr;
  OVERLAPPED commOverlapped_{};
  DWORD commMask_ = 0;
  bool commPending_ = false;
  OVERLAPPED writeOverlapped_{};
  std::vector<unsigned char> writeBuffer_;
  bool writePending_ = false;
  // Written by the reader's thread (a failed wait or read) and the writer's
  // (a failed write).
  std::atomic<bool> gone_{false};
  WaitFailureBackOff waitFailures_;  // the reader's thread only
  LineState applied_;
};

}  // namespace

FineTimer::FineTimer() : held_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimer::~FineTimer() {
  if (held_) ::timeEndPeriod(1);
}

std::string errorText(int error) {
  const DWORD code = static_cast<DWORD>(error);
  for (const ErrorName& e : kErrorNames) {
    if (e.code == code) return std::string(e.text) + " (" + e.name + ")";
  }
  return "Windows error " + std::to_string(code);
}

OpenResult openSerialDevice(const std::string& path) {
  // No sharing: the port is held against every other open, this process's too.
  const HANDLE handle = ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A folder refuses a plain open with the same code as a port in use.
    const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return {nullptr, "Is a folder (" + std::string(error == ERROR_ACCESS_DENIED ? "ERROR_ACCESS_DENIED" : "") + ")"};
    }
    if (busyError(error)) {
      return {nullptr, "the device is in use: another program or port holds it (" +
                           std::string(error == ERROR_ACCESS_DENIED ? "ERROR_ACCESS_DENIED" : "ERROR_SHARING_VIOLATION") +
                           ")"};
    }
    return {nullptr, errorText(static_cast<int>(error)), missingError(error)};
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(handle, &dcb)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    return {nullptr, "not a serial device: " + errorText(static_cast<int>(error))};
  }
  ::SetupComm(handle, kInQueue, kOutQueue);
  // A read returns at once with what the driver holds, even nothing; writes
  // have no time-out of their own (the writer thread bounds its stalls).
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  ::SetCommTimeouts(handle, &timeouts);
  ::SetCommMask(handle, EV_RXCHAR);
  ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
  auto device = std::make_unique<Win32SerialDevice>(handle);
  if (!device->usable()) {
    return {nullptr, "the device cannot be used: " + errorText(static_cast<int>(::GetLastError()))};
  }
  // 115200 bit/s 8N1, no flow control, DTR and RTS off until the port says otherwise.
  LineState line;
  line.baudRate = 115200;
  line.flags = kFlagBinary;
  device->setState(line);
  return {std::move(device), {}};
}

}  // namespace korsi::serial
