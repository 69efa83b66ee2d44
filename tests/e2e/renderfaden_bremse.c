/* Loaded into the tool (LD_PRELOAD) by a desktop test: holds up Mesa's render threads
 * ("llvmpipe-N") for a while before each condition broadcast, as a busy machine preempts
 * them, and reports an unlock that follows such a broadcast on a mutex that is no longer
 * the thread's own: its memory was freed under the thread (the test has the C library fill
 * freed memory, so the holder's id is gone from it). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static __thread int nachBroadcast;

static int IstRenderThread(void) {
  char name[16] = "";
  pthread_getname_np(pthread_self(), name, sizeof name);
  return strncmp(name, "llvmpipe", 8) == 0;
}

int pthread_cond_broadcast(pthread_cond_t* bedingung) {
  static int (*echt)(pthread_cond_t*);
  if (!echt) echt = (int (*)(pthread_cond_t*))dlvsym(RTLD_NEXT, "pthread_cond_broadcast", "GLIBC_2.3.2");
  if (IstRenderThread()) {
    nachBroadcast = 1;
    usleep(300);
  }
  return echt(bedingung);
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  static int (*echt)(pthread_mutex_t*);
  if (!echt) echt = (int (*)(pthread_mutex_t*))dlsym(RTLD_NEXT, "pthread_mutex_unlock");
  if (nachBroadcast) {
    nachBroadcast = 0;
    if (__atomic_load_n(&mutex->__data.__owner, __ATOMIC_RELAXED) != gettid()) {
      static const char text[] = "Bremse: unlock of a mutex whose memory was freed under its holder\n";
      (void)!write(2, text, sizeof text - 1);
    }
  }
  return echt(mutex);
}
