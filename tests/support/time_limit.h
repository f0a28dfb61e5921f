#pragma once
// A call that must return, with a time limit of its own inside the test
// program: the call runs on a thread of its own, and when it has not
// returned within the limit (a generous bound, far above what it needs on a
// busy machine) the test fails and the program ends at once, as the thread
// cannot be stopped. The limit is no measure of speed, only a bound on a
// hang.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>
#include <utility>

namespace korsi::test {

inline constexpr std::chrono::seconds kHangLimit{30};

template <class Call>
auto returnsWithin(std::chrono::seconds limit, Call call) -> decltype(call()) {
  using Result = decltype(call());
  auto task = std::make_shared<std::packaged_task<Result()>>(std::move(call));
  std::future<Result> result = task->get_future();
  std::thread([task] { (*task)(); }).detach();
  if (result.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the call has not returned after " << limit.count() << " s";
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
  }
  return result.get();
}

}  // namespace korsi::test
