#pragma once
// The threads of this process by their ids, for tests that check that a port
// or a worker leaves none behind. A joined thread can still be listed for a
// moment: join returns once the thread has let go of its stack, before the
// system has removed it. So a test waits until the threads it expects gone are
// gone (with a generous bound) instead of counting once; and it compares ids,
// not counts, so that a thread of an earlier test still on its way out cannot
// stand in for one that stayed.

#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <thread>

namespace korsi::test {

using ThreadIds = std::set<long>;

inline ThreadIds threadIds() {
  // A sanitizer starts a helper thread of its own when the process makes its
  // first thread; one made and joined here first keeps that helper out of
  // every comparison.
  static const bool helpersStarted = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)helpersStarted;
  ThreadIds ids;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] != '.') ids.insert(std::strtol(entry->d_name, nullptr, 10));
    }
    ::closedir(dir);
  }
  return ids;
}

// The threads in now that are not in before.
inline ThreadIds newThreads(const ThreadIds& before, const ThreadIds& now) {
  ThreadIds added;
  for (const long id : now) {
    if (!before.contains(id)) added.insert(id);
  }
  return added;
}

// Waits until done(the current threads) holds or limit passes; returns the
// threads as last seen. The limit is a hang guard, never a measurement.
inline ThreadIds waitForThreads(const std::function<bool(const ThreadIds&)>& done,
                                std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  ThreadIds ids = threadIds();
  while (!done(ids) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ids = threadIds();
  }
  return ids;
}

}  // namespace korsi::test
