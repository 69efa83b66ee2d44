#pragma once
// The log's queue of finished lines from threads other than its owner: lock-free, many
// producers. Only the log's own code includes it.
#include <concurrentqueue.h>

#include <string>

struct Quelm_ProtokollWarteschlange : moodycamel::ConcurrentQueue<std::string> {};
