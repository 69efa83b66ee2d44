// pthread_mutex_destroy of a mutex another thread still holds waits for the unlock: the GL
// driver frees such a mutex's memory right after destroying it.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

enum class Halter { Niemand, Selbst, AndererThread };

struct Fall {
  const char* name;
  Halter halter;
  int ergebnis;  // what the destroy returns
};

class MutexEnde : public ::testing::TestWithParam<Fall> {};

TEST_P(MutexEnde, ZerstoerenWartetNurAufEinenAnderenHalter) {
  const Fall& f = GetParam();
  pthread_mutex_t mutex;
  ASSERT_EQ(pthread_mutex_init(&mutex, nullptr), 0);
  std::atomic<bool> gesperrt{false};
  std::thread anderer;
  if (f.halter == Halter::AndererThread) {
    anderer = std::thread([&] {
      pthread_mutex_lock(&mutex);
      gesperrt = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      pthread_mutex_unlock(&mutex);
    });
    while (!gesperrt) std::this_thread::yield();
  } else if (f.halter == Halter::Selbst) {
    pthread_mutex_lock(&mutex);
  }
  const auto start = std::chrono::steady_clock::now();
  // The C library alone answers EBUSY at once while any thread holds the mutex.
  EXPECT_EQ(pthread_mutex_destroy(&mutex), f.ergebnis);
  const auto dauer = std::chrono::steady_clock::now() - start;
  if (f.halter == Halter::AndererThread) {
    EXPECT_GE(dauer, std::chrono::milliseconds(100));
    anderer.join();
  } else {
    // Nobody to wait for: no waiting, not even the limit for a holder that never lets go.
    EXPECT_LT(dauer, std::chrono::milliseconds(500));
  }
  if (f.halter == Halter::Selbst) {
    pthread_mutex_unlock(&mutex);
    EXPECT_EQ(pthread_mutex_destroy(&mutex), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Halter, MutexEnde,
                         ::testing::Values(Fall{"niemand", Halter::Niemand, 0}, Fall{"selbst", Halter::Selbst, EBUSY},
                                           Fall{"anderer", Halter::AndererThread, 0}),
                         [](const ::testing::TestParamInfo<Fall>& i) { return std::string(i.param.name); });

}  // namespace
