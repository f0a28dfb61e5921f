// The progress on standard error: plain lines per 10 % when it is not a
// terminal, a bar with count, rate and time left when it is.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/transfer/progress_display.h"

namespace {

using namespace korsi::transfer;
using Clock = std::chrono::steady_clock;

// A stream in memory and a clock the test moves.
class Display : public ::testing::Test {
 protected:
  ~Display() override {
    if (out_ != nullptr) std::fclose(out_);
  }
  ProgressDisplay make(ProgressStyle style) {
    return ProgressDisplay(out_, style, [this] { return now_; });
  }
  std::string text() {
    std::fflush(out_);
    std::rewind(out_);
    std::string all;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out_)) > 0;) all.append(buffer, n);
    return all;
  }

  std::FILE* out_ = std::tmpfile();
  Clock::time_point now_{};
};

TEST_F(Display, LinesComeOncePerTenPercent) {
  ProgressDisplay display = make(ProgressStyle::Lines);
  display.begin("reading", 30);
  for (int done = 1; done <= 30; ++done) display.setDone(done);
  display.end();
  EXPECT_EQ(text(),
            "reading 0 of 30 (0 %)\nreading 3 of 30 (10 %)\nreading 6 of 30 (20 %)\nreading 9 of 30 (30 %)\n"
            "reading 12 of 30 (40 %)\nreading 15 of 30 (50 %)\nreading 18 of 30 (60 %)\nreading 21 of 30 (70 %)\n"
            "reading 24 of 30 (80 %)\nreading 27 of 30 (90 %)\nreading 30 of 30 (100 %)\n");
}

TEST_F(Display, ASearchShowsItsPercentage) {
  ProgressDisplay display = make(ProgressStyle::Lines);
  display.begin("searching", std::nullopt);
  display.setPercent(5);
  display.setPercent(12);
  display.setPercent(150);
  display.end();
  EXPECT_EQ(text(), "searching 0 %\nsearching 12 %\nsearching 100 %\n");
}

TEST_F(Display, BarShowsCountRateAndTimeLeftAndEndsItsLine) {
  ProgressDisplay display = make(ProgressStyle::Bar);
  display.begin("reading", 500);
  now_ += std::chrono::seconds(4);
  display.setDone(125);  // 31.25 per second: 375 more take 12 s
  display.end();
  const std::string all = text();
  EXPECT_NE(all.find("\rreading [#######.......................] 125/500  31.2/s  0:12 left\x1b[K"), std::string::npos)
      << all;
  EXPECT_EQ(all.back(), '\n');
}

TEST_F(Display, BarIsRedrawnAtMostEveryTenthOfASecondButAlwaysAtTheEnd) {
  ProgressDisplay display = make(ProgressStyle::Bar);
  display.begin("reading", 100);
  for (int done = 1; done < 100; ++done) display.setDone(done);  // no time passes
  const std::string before = text();
  display.setDone(100);
  EXPECT_EQ(before.find("99/100"), std::string::npos) << before;
  EXPECT_NE(text().find("100/100"), std::string::npos);
}

TEST_F(Display, SilentWritesNothing) {
  ProgressDisplay display = make(ProgressStyle::Silent);
  display.begin("reading", 10);
  display.setDone(10);
  display.end();
  EXPECT_EQ(text(), "");
}

TEST(DurationText, MinutesAndSeconds) {
  EXPECT_EQ(ProgressDisplay::durationText(std::chrono::seconds(0)), "0:00");
  EXPECT_EQ(ProgressDisplay::durationText(std::chrono::seconds(65)), "1:05");
  EXPECT_EQ(ProgressDisplay::durationText(std::chrono::seconds(3600)), "60:00");
}

}  // namespace
