#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "link/comm_port.h"
#include "link/uart.h"
#include "tests/support/comm_port_access.h"
#include "tests/support/error_box_recorder.h"
#include "tests/support/link_fixture.h"

namespace {

using korsi::test::Bytes;
using korsi::test::CommPortAccess;
using korsi::test::LinkFixture;
using korsi::test::LogLine;

// ---- settings of a closed port ----------------------------------------------

TEST(CommPortSettings, ByteSizeOutsideFiveToEightBecomesEight) {
  const std::vector<std::pair<std::uint16_t, std::uint16_t>> cases = {
      {9, 8}, {4, 8}, {0, 8}, {65535, 8}, {5, 5}, {6, 6}, {7, 7}, {8, 8},
  };
  korsi::test::ErrorBoxRecorder boxes;
  for (const auto& [given, stored] : cases) {
    TCommPort port;
    port.setByteSize(given);
    EXPECT_EQ(port.getByteSize(), stored) << "setByteSize(" << given << ")";
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

struct FrameFormatCase {
  const char* name;
  std::function<void(TCommPort&)> steps;
  std::vector<std::string> warnings;
  std::uint8_t stopBits;
  std::uint16_t byteSize;
};

TEST(CommPortSettings, FrameFormatCheckWarnsAndKeepsTheSetting) {
  const std::string onePointFive = "Invalid combination (6,7 or 8 data bits with 1.5 stop bits)";
  const std::string fiveWithTwo = "Invalid combination (5 data bits with 2 stop bits)";
  const std::vector<FrameFormatCase> cases = {
      {"1.5 stop bits with 8 data bits", [](TCommPort& p) { p.setStopBits(1); }, {onePointFive}, 1, 8},
      {"5 data bits after 2 stop bits", [](TCommPort& p) { p.setStopBits(2); p.setByteSize(5); },
       {fiveWithTwo}, 2, 5},
      {"2 stop bits after 5 data bits", [](TCommPort& p) { p.setByteSize(5); p.setStopBits(2); },
       {fiveWithTwo}, 2, 5},
      {"1.5 stop bits with 5 data bits", [](TCommPort& p) { p.setByteSize(5); p.setStopBits(1); }, {}, 1, 5},
      {"the gauge's 8N1", [](TCommPort& p) { p.setStopBits(0); p.setByteSize(8); }, {}, 0, 8},
  };
  for (const FrameFormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    korsi::test::ErrorBoxRecorder recorder;
    TCommPort port;
    c.steps(port);
    std::vector<std::string> texts;
    for (const auto& box : recorder.boxes) {
      texts.push_back(box.text);
      EXPECT_EQ(box.caption, "COM port warning");
      EXPECT_EQ(box.icon, korsi::BoxIcon::Warning);
    }
    EXPECT_EQ(texts, c.warnings);
    EXPECT_EQ(port.getStopBitsIndex(), c.stopBits);
    EXPECT_EQ(port.getByteSize(), c.byteSize);
  }
}

TEST(CommPortSettings, XoffLimitIsCappedByTheReceiveQueue) {
  TCommPort port;
  port.setXoffLimit(100);
  EXPECT_EQ(port.getXoffLimit(), 100);
  port.setXoffLimit(65535);
  EXPECT_EQ(port.getXoffLimit(), 4096);  // the receive queue's size before any open
}

TEST(CommPortSettings, ClosedPortStoresModemLinesAndMovesNoBytes) {
  TCommPort port;
  port.setDtr(true);
  port.setRts(true);
  EXPECT_TRUE(port.getDtr());
  EXPECT_TRUE(port.getRts());
  const unsigned char bytes[3] = {1, 2, 3};
  EXPECT_EQ(port.write(bytes, 3), 0u);
  EXPECT_EQ(port.writeByte(7), 0);
  EXPECT_FALSE(port.inputWaiting());
  EXPECT_EQ(port.peek(0), 0);
  port.purgeInput();
  port.purgeOutput();
  EXPECT_FALSE(CommPortAccess::txEventSet(port));
}

// ---- open and close over a pseudo-terminal ----------------------------------

class CommPortOpen : public LinkFixture {
 protected:
  std::vector<LogLine> errors() const {
    std::vector<LogLine> found;
    for (const LogLine& line : logLines()) {
      if (line.level == "ERR") found.push_back(line);
    }
    return found;
  }
};

TEST_F(CommPortOpen, OpensTheGaugeLineAndMovesBytesBothWays) {
  TCommPort port(resolver());
  Uart uart(port);  // selects 115200 bit/s, as at start-up
  port.setPortNumber(kPort);
  port.setActive(true);
  ASSERT_TRUE(port.isActive());
  ASSERT_TRUE(port.isHandleValid());

  const termios line = peer.lineSettings();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B115200));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u);

  putByte(port, 0xA5);
  putByte(port, 0x0D);  // a raw line sends a carriage return unchanged
  EXPECT_EQ(peer.receive(2), (Bytes{0xA5, 0x0D}));
  peer.send({0x0D, 0x0A, 0x03});
  ASSERT_TRUE(waitForWaiting(port, 3));
  EXPECT_EQ(port.readByte(), 0x0D);
  EXPECT_EQ(port.readByte(), 0x0A);
  EXPECT_EQ(port.readByte(), 0x03);
}

TEST_F(CommPortOpen, OpeningAnOpenPortDoesNothing) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  const void* reader = CommPortAccess::readThread(port);
  const void* writer = CommPortAccess::writeThread(port);
  port.setActive(true);  // a second device open would be refused by the port's own lock
  port.open();
  EXPECT_TRUE(port.isActive());
  EXPECT_EQ(CommPortAccess::readThread(port), reader);
  EXPECT_EQ(CommPortAccess::writeThread(port), writer);
  EXPECT_TRUE(errors().empty());
}

TEST_F(CommPortOpen, SetPortNumberClosesAndReleasesTheDevice) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  port.setPortNumber(3);
  EXPECT_FALSE(port.isActive());
  EXPECT_FALSE(port.isHandleValid());
  EXPECT_EQ(port.getPortNumber(), 3);
  EXPECT_EQ(port.writeByte(1), 0);

  TCommPort other(resolver());
  other.setPortNumber(kPort);
  EXPECT_NO_THROW(other.setActive(true));
  EXPECT_TRUE(other.isActive());
}

TEST_F(CommPortOpen, SecondOpenOfTheSameDeviceIsRefused) {
  TCommPort first(resolver());
  first.setPortNumber(kPort);
  first.setActive(true);

  TCommPort second(resolver());
  second.setPortNumber(kPort);
  try {
    second.setActive(true);
    FAIL() << "the device was opened twice";
  } catch (const ComPortException& e) {
    EXPECT_EQ(e.code(), 1);
    EXPECT_STREQ(e.what(), "Can't open port");
  }
  EXPECT_FALSE(second.isActive());
  EXPECT_FALSE(second.isHandleValid());
  EXPECT_EQ(second.writeByte(1), 0);
  const auto logged = errors();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].message, "Can't open port COM7 (" + peer.devicePath() +
                                   "): the device is in use: another program or port holds it (EWOULDBLOCK)");

  // The holder still works, and once it lets go the other may open.
  putByte(first, 0x42);
  EXPECT_EQ(peer.receive(1), Bytes{0x42});
  first.setActive(false);
  EXPECT_NO_THROW(second.setActive(true));
}

TEST_F(CommPortOpen, SecondProcessIsRefused) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    korsi::setProcessLog(nullptr);
    int status = 2;  // opened: the lock did not hold
    try {
      TCommPort other(resolver());
      other.setPortNumber(kPort);
      other.setActive(true);
    } catch (const ComPortException& e) {
      status = e.code() == 1 ? 0 : 3;
    }
    _exit(status);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

struct OpenFailure {
  const char* name;
  std::int32_t port;
  std::string path;  // empty: the number keeps its default (none)
  std::string reason;  // empty: nothing is there, so nothing is logged
};

TEST_F(CommPortOpen, FailedOpenThrowsCodeOneAndLogsWhyWhenADeviceIsThere) {
  korsi::test::writeFile(dir.file("plain-file"), "not a terminal");
  const std::vector<OpenFailure> cases = {
      {"missing device", 9, dir.file("no-such-tty"), ""},
      {"not a terminal", 9, dir.file("plain-file"), "not a serial device: Inappropriate ioctl for device (ENOTTY)"},
      {"directory", 9, dir.path().string(), "Is a directory (EISDIR)"},
      {"number without a device", 0, "", ""},
  };
  for (const OpenFailure& c : cases) {
    SCOPED_TRACE(c.name);
    korsi::PortResolver paths = resolver();
    if (!c.path.empty()) paths.setPath(c.port, c.path);
    TCommPort port(paths);
    port.setPortNumber(c.port);
    const std::size_t before = errors().size();
    try {
      port.setActive(true);
      ADD_FAILURE() << "opened";
    } catch (const ComPortException& e) {
      EXPECT_EQ(e.code(), 1);
      EXPECT_EQ(e.deviceMissing(), c.reason.empty());
    }
    EXPECT_FALSE(port.isActive());
    EXPECT_FALSE(port.isHandleValid());
    const auto logged = errors();
    if (c.reason.empty()) {
      EXPECT_EQ(logged.size(), before);
      continue;
    }
    ASSERT_EQ(logged.size(), before + 1);
    const std::string where = c.path.empty() ? ": " : " (" + c.path + "): ";
    EXPECT_EQ(logged.back().message, "Can't open port COM" + std::to_string(c.port) + where + c.reason);
  }
}

TEST_F(CommPortOpen, RefusedModemLineKeepsTheStoredValue) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setDtr(true);  // closed: only stored, applied by the next open
  EXPECT_TRUE(port.getDtr());
  port.setActive(true);  // a pseudo-terminal has no modem lines: the open still succeeds
  EXPECT_TRUE(port.isActive());
  EXPECT_TRUE(port.getDtr());
  port.setDtr(false);
  port.setRts(true);
  EXPECT_TRUE(port.getDtr());
  EXPECT_FALSE(port.getRts());
}

// ---- the device going away, and lines that never rest -------------------------

TEST_F(CommPortOpen, UnpluggedDeviceDoesNotHangClose) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  peer.hangUp();
  for (int i = 0; i < 100; ++i) putByte(port, static_cast<std::uint8_t>(i));
  port.setActive(false);
  EXPECT_FALSE(port.isActive());

  // The first failed write is reported once, with the system's reason.
  const auto logged = errors();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].message.find("COM port write failed"), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].message.find("(EIO)"), std::string::npos) << logged[0];
}

// CPU time used by every thread of this process but the calling one.
std::chrono::nanoseconds otherThreadsCpu() {
  const auto of = [](clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
  };
  return of(CLOCK_PROCESS_CPUTIME_ID) - of(CLOCK_THREAD_CPUTIME_ID);
}

// After a hang-up every wait for bytes returns at once; the reader must rest
// instead of spinning (it used 1.6-1.9 % of a core), and the port must say so.
TEST_F(CommPortOpen, ReaderRestsWhileTheDeviceIsGone) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  EXPECT_FALSE(port.deviceGone());
  peer.hangUp();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!port.deviceGone() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(port.deviceGone());

  // Only the port's threads run meanwhile; this one sleeps. The share is of
  // the time that really passed, so a slow machine cannot fail it.
  const auto cpuBefore = otherThreadsCpu();
  const auto wallBefore = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const auto cpu = otherThreadsCpu() - cpuBefore;
  const auto wall = std::chrono::steady_clock::now() - wallBefore;
  EXPECT_LT(static_cast<double>(cpu.count()) / static_cast<double>(wall.count()), 0.002)
      << "the reader used " << std::chrono::duration<double, std::milli>(cpu).count() << " ms of CPU in "
      << std::chrono::duration<double, std::milli>(wall).count() << " ms";

  port.setActive(false);  // close still ends the resting reader at once
  EXPECT_FALSE(port.isActive());
  EXPECT_FALSE(port.deviceGone());
}

TEST_F(CommPortOpen, WritesAfterTheDeviceHasGoneAreDroppedWithoutRetrying) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  peer.hangUp();
  // Each request is dropped as the writer meets the dead device; the ring never
  // fills up with bytes that can never leave. The writer may be slow to run on
  // a busy computer: a full ring is given time to empty (a hang guard), and
  // only a ring that never empties fails.
  std::uint32_t accepted = 0;
  const std::vector<unsigned char> request(8, 0x11);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (accepted <= 2 * TCommPort::kTxSize && std::chrono::steady_clock::now() < deadline) {
    const std::uint32_t taken = port.write(request.data(), 8);
    accepted += taken;
    if (taken == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_GT(accepted, 2 * TCommPort::kTxSize);
  port.setActive(false);
}

TEST_F(CommPortOpen, StalledLineDoesNotHangClose) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  // Nobody reads the far end: the terminal's buffer fills, then the ring.
  const std::vector<unsigned char> block(TCommPort::kTxSize, 0x33);
  bool ringFull = false;
  for (int i = 0; i < 100000 && !ringFull; ++i) {
    ringFull = port.write(block.data(), TCommPort::kTxSize) == 0;
    if (!ringFull) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_TRUE(ringFull);
  port.setActive(false);
  EXPECT_FALSE(port.isActive());
}

TEST_F(CommPortOpen, LineThatNeverFallsSilentDoesNotHangClose) {
  TCommPort port(resolver());
  port.setPortNumber(kPort);
  peer.startFlood();
  port.setActive(true);
  ASSERT_TRUE(waitForWaiting(port, 1));
  // Keep taking bytes so the reader always finds room and always has work.
  unsigned char sink[256];
  for (int i = 0; i < 20; ++i) {
    port.read(sink, sizeof sink);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  port.setActive(false);
  EXPECT_FALSE(port.isActive());
  peer.stopFlood();
}

}  // namespace
