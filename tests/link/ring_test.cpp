#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/comm_port.h"
#include "link/uart.h"
#include "tests/support/comm_port_access.h"
#include "tests/support/link_fixture.h"

namespace {

using korsi::test::Bytes;
using korsi::test::CommPortAccess;
using korsi::test::LogLine;

Bytes sequence(std::size_t count, std::uint8_t first = 0) {
  Bytes bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

// An open port on the scripted peer's terminal.
class Rings : public korsi::test::LinkFixture {
 protected:
  Rings() : port(resolver()) {
    port.setPortNumber(kPort);
    port.setActive(true);
  }

  std::size_t countOf(const LogLine& wanted) const {
    std::size_t n = 0;
    for (const LogLine& line : logLines()) n += line == wanted ? 1 : 0;
    return n;
  }

  TCommPort port;
};

TEST_F(Rings, ReadAcrossTheEndOfTheReceiveRing) {
  CommPortAccess::placeEmptyRxHead(port, 1020);
  const Bytes sent = sequence(10, 0xA0);
  peer.send(sent);
  ASSERT_TRUE(waitForWaiting(port, 10));
  Bytes got(10);
  EXPECT_EQ(port.read(got.data(), 10), 10u);
  EXPECT_EQ(got, sent);  // four from 1020-1023, then six from 0-5
  EXPECT_EQ(CommPortAccess::rxHead(port), 6u);
  EXPECT_EQ(available(port), 0u);
}

TEST_F(Rings, PeekAcrossTheEndTakesNothing) {
  CommPortAccess::placeEmptyRxHead(port, 1023);
  peer.send({0x11, 0x22});
  ASSERT_TRUE(waitForWaiting(port, 2));
  EXPECT_EQ(peek(port, 0), 0x11);  // position 1023
  EXPECT_EQ(peek(port, 1), 0x22);  // position 0
  EXPECT_EQ(available(port), 2u);
  EXPECT_EQ(port.readByte(), 0x11);
  EXPECT_EQ(port.readByte(), 0x22);
  EXPECT_EQ(CommPortAccess::rxHead(port), 1u);
}

TEST_F(Rings, ReadOfMoreThanWaitsTakesWhatWaits) {
  peer.send({1, 2, 3});
  ASSERT_TRUE(waitForWaiting(port, 3));
  unsigned char got[8] = {};
  EXPECT_EQ(port.read(got, 8), 3u);
  EXPECT_EQ(got[2], 3);
}

TEST_F(Rings, WriteOfMoreThanTheRingTakesWhatFitsAndSendsIt) {
  const Bytes block = sequence(5000);
  EXPECT_EQ(port.write(block.data(), 5000), TCommPort::kTxSize);
  // The writer was woken and sent the accepted bytes, in order.
  EXPECT_EQ(peer.receive(TCommPort::kTxSize), Bytes(block.begin(), block.begin() + TCommPort::kTxSize));
}

TEST_F(Rings, StreamsLongerThanTheRingsArriveWholeAndInOrder) {
  // Both rings wrap many times while their threads run beside the caller.
  const Bytes out = sequence(20000, 7);
  std::size_t queued = 0;
  Bytes sent;
  while (queued < out.size()) {
    const auto chunk = static_cast<std::uint32_t>(std::min<std::size_t>(777, out.size() - queued));
    queued += port.write(out.data() + queued, chunk);
    const Bytes arrived = peer.receiveWaiting();
    sent.insert(sent.end(), arrived.begin(), arrived.end());
  }
  const Bytes rest = peer.receive(out.size() - sent.size());
  sent.insert(sent.end(), rest.begin(), rest.end());
  EXPECT_EQ(sent, out);

  const Bytes in = sequence(20000, 3);
  peer.play({{in, std::chrono::milliseconds(0)}});
  Bytes received;
  unsigned char chunk[300];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (received.size() < in.size() && std::chrono::steady_clock::now() < deadline) {
    if (!port.inputWaiting()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    const std::uint32_t n = port.read(chunk, sizeof chunk);
    received.insert(received.end(), chunk, chunk + n);
  }
  peer.waitPlayed();
  EXPECT_EQ(received, in);
}

TEST_F(Rings, WriteOnAClosedPortTakesNothingAndLeavesTheEvent) {
  port.setActive(false);
  const bool before = CommPortAccess::txEventSet(port);
  const Bytes block = sequence(10);
  EXPECT_EQ(port.write(block.data(), 10), 0u);
  EXPECT_EQ(CommPortAccess::txEventSet(port), before);
}

TEST_F(Rings, ReadWithNothingWaitingReturnsZeroAndLogsIt) {
  const LogLine returnZero{"INF", "return(0)"};
  unsigned char b = 0xEE;
  EXPECT_EQ(port.read(&b, 1), 0u);
  EXPECT_EQ(countOf(returnZero), 1u);
  port.setActive(false);
  EXPECT_EQ(port.read(&b, 1), 0u);
  EXPECT_EQ(countOf(returnZero), 2u);
  EXPECT_EQ(b, 0xEE);
  // readByte on an empty ring does not reach read at all.
  EXPECT_EQ(port.readByte(), 0);
  EXPECT_EQ(countOf(returnZero), 2u);
}

TEST_F(Rings, GetBytesTakesWhatComesAndTimesOutWithAPurge) {
  peer.send({0x01, 0x02, 0x03});
  ASSERT_TRUE(waitForWaiting(port, 3));
  std::uint8_t got[3] = {};
  EXPECT_EQ(getBytes(port, got, 3), 0);
  EXPECT_EQ(got[2], 0x03);

  peer.send({0x0A, 0x0B});
  ASSERT_TRUE(waitForWaiting(port, 2));
  std::uint8_t partial[3] = {0, 0, 0xFF};
  EXPECT_EQ(getBytes(port, partial, 3), kGetBytesTimeout);
  EXPECT_EQ(partial[0], 0x0A);  // bytes taken before the time-out stay
  EXPECT_EQ(partial[1], 0x0B);
  EXPECT_EQ(partial[2], 0xFF);
  EXPECT_EQ(available(port), 0u);
}

TEST_F(Rings, PurgeInputKeepsTheHead) {
  peer.send({1, 2, 3, 4, 5});
  ASSERT_TRUE(waitForWaiting(port, 5));
  unsigned char two[2];
  ASSERT_EQ(port.read(two, 2), 2u);
  port.purgeInput();
  EXPECT_EQ(available(port), 0u);
  EXPECT_EQ(CommPortAccess::rxHead(port), 2u);
  peer.send({0x77});
  ASSERT_TRUE(waitForWaiting(port, 1));
  EXPECT_EQ(port.readByte(), 0x77);  // the next byte received is the next taken
  EXPECT_EQ(CommPortAccess::rxHead(port), 3u);
}

TEST_F(Rings, DrainEmptiesTheReceiveSide) {
  EXPECT_TRUE(drain(port));  // nothing waits: returns after one sleep
  peer.send({9, 8, 7});
  ASSERT_TRUE(waitForWaiting(port, 3));
  EXPECT_TRUE(drain(port));
  EXPECT_EQ(available(port), 0u);
}

TEST_F(Rings, DrainGivesUpOnALineThatNeverFallsSilent) {
  peer.startFlood();
  ASSERT_TRUE(waitForWaiting(port, 1));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(drain(port));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));  // a hang guard
  peer.stopFlood();
}

TEST_F(Rings, PurgeOutputForgetsWhatWaitsToBeSent) {
  port.purgeOutput();
  EXPECT_FALSE(CommPortAccess::txEventSet(port));
  putByte(port, 0x5C);
  EXPECT_EQ(peer.receive(1), Bytes{0x5C});
}

}  // namespace
