// Every pthread_mutex_destroy of the process comes here first (the executable's definition
// comes before the C library's, for the GL driver loaded later too): it waits while another
// thread still holds the mutex, so that the holder's unlock lands before the memory goes.
//
// Mesa's software rasteriser (llvmpipe 22.3, Debian 12's OpenGL under Xvfb) needs this: its
// render threads count a finished scene on the scene's fence under the fence's mutex, then
// wake waiters and unlock; the main thread, starting a new scene, may see the count complete
// without taking the mutex and free the fence while a render thread is between its count and
// its unlock. That thread's unlock then writes into freed memory, and a later malloc aborts
// ("malloc(): smallbin double linked list corrupted"). Under load the render thread is often
// preempted right there, and a resize makes many small scenes at once (mipmaps of every
// texture made again). Waiting for the unlock closes that window; a mutex nobody holds
// (every other destroy) costs one load.
#include "Basisdienste.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>

namespace {

using Zerstoerer = int (*)(pthread_mutex_t*);
std::atomic<Zerstoerer> gEchterZerstoerer{nullptr};

// A holder that never lets go (a mutex destroyed by mistake while in use) is left as the C
// library leaves it: after this long the destroy goes ahead.
constexpr auto kHoechstensWarten = std::chrono::seconds(1);

void WarteAufFreigabe(pthread_mutex_t& mutex) {
  // glibc's layout: the lock word is 0 when the mutex is free, the owner the holder's
  // thread id. The calling thread's own lock is its own mistake, not a holder to wait for.
  if (__atomic_load_n(&mutex.__data.__lock, __ATOMIC_ACQUIRE) == 0) return;
  const int ich = static_cast<int>(Plattform::ThreadId());
  const auto ende = std::chrono::steady_clock::now() + kHoechstensWarten;
  while (__atomic_load_n(&mutex.__data.__lock, __ATOMIC_ACQUIRE) != 0 &&
         __atomic_load_n(&mutex.__data.__owner, __ATOMIC_RELAXED) != ich &&
         std::chrono::steady_clock::now() < ende)
    sched_yield();
}

}  // namespace

extern "C" int pthread_mutex_destroy(pthread_mutex_t* mutex) {
  Zerstoerer echt = gEchterZerstoerer.load(std::memory_order_acquire);
  if (!echt) {
    echt = reinterpret_cast<Zerstoerer>(dlsym(RTLD_NEXT, "pthread_mutex_destroy"));
    gEchterZerstoerer.store(echt, std::memory_order_release);
  }
  WarteAufFreigabe(*mutex);
  return echt ? echt(mutex) : 0;
}
