#include "ProtokollSammler.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_ParallelKern.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kHaupt = Quelm_Faser::Hauptthread;
constexpr std::uint32_t kParallel = Quelm_Faser::Parallel;
constexpr std::uint32_t kEinAusgabe = Quelm_Faser::EinAusgabe;

// Starts threads as the system does, noting their ids in start order (workers first, then
// I/O) and counting those that ended; the start numbered `scheitertBei` fails.
struct ThreadStarter {
  int scheitertBei = 0;
  int aufrufe = 0;
  std::atomic<int> beendet{0};
  std::mutex sperre;
  std::vector<std::thread::id> ids;
};

Quelm_KernUmgebung Umgebung(unsigned hardwareThreads, ThreadStarter* starter = nullptr) {
  Quelm_KernUmgebung umgebung = Quelm_KernUmgebung::VomBetriebssystem();
  umgebung.hardwareThreads = hardwareThreads;
  if (starter) {
    umgebung.starteThread = [starter](std::function<void()> koerper) {
      if (++starter->aufrufe == starter->scheitertBei)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "kein Thread");
      std::thread t([starter, koerper = std::move(koerper)] {
        koerper();
        ++starter->beendet;
      });
      std::lock_guard<std::mutex> halt(starter->sperre);
      starter->ids.push_back(t.get_id());
      return t;
    };
  }
  return umgebung;
}

// The main thread's turn, as the main loop takes it.
void HauptZug(Quelm_ParallelKern& kern) {
  Quelm_ArbeiterInfo& info = kern.hauptInfos.front();
  Quelm_ParallelKern::NeueFaser(kHaupt, [&info] { info.stop = true; });
  kern.ArbeiterSchleife(info);
  info.stop = false;
}

template <typename Bedingung>
bool WarteBis(Bedingung bedingung, std::chrono::milliseconds frist = 10s) {
  const auto ende = std::chrono::steady_clock::now() + frist;
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

long ZeilenMitAnfang(const std::vector<std::string>& texte, const std::string& anfang) {
  return std::count_if(texte.begin(), texte.end(), [&](const std::string& t) { return t.starts_with(anfang); });
}

class ParallelKern : public ::testing::Test {
 protected:
  void SetUp() override { AktiviereProtokoll(ordner.pfad()); }
  // Lines logged by other threads reach the sink once drained on this thread.
  std::vector<std::string> Texte() {
    gProtokoll.LeereProtokollWarteschlange();
    return sammler.Texte();
  }
  TempOrdner ordner;
  ZeilenSammler sammler;
};

TEST(Planer, HoehererVorrangZuerstVorneEingereihteVorDenAnderenStopAlsNull) {
  Quelm_Planer planer;
  Quelm_Faser a, b, c, d;  // a and c keep priority 0
  b.prioritaet = 2;
  d.prioritaet = 1;
  planer.Einreihen(&a, false);
  planer.Einreihen(nullptr, false);
  planer.Einreihen(&b, false);
  planer.Einreihen(&c, true);
  planer.Einreihen(&d, false);
  for (Quelm_Faser* erwartet : {&b, &d, &c, &a, static_cast<Quelm_Faser*>(nullptr)})
    EXPECT_EQ(planer.Entnehmen(), erwartet);
}

TEST_F(ParallelKern, StartUndAbbauMeldenThreadsUndAlloks) {
  {
    Quelm_ParallelKern kern(Umgebung(3));
    EXPECT_EQ(Quelm_ParallelKern::Aktueller(), &kern);
  }
  EXPECT_EQ(Quelm_ParallelKern::Aktueller(), nullptr);
  const auto texte = Texte();
  EXPECT_EQ(ZeilenMitAnfang(texte, "Starting parallel execution core: 3 parallel threads, 1 I/O threads"), 1);
  EXPECT_EQ(ZeilenMitAnfang(texte, "Am Ende waren es 1024 Alloks"), 1);
}

TEST_F(ParallelKern, JedeArtLaeuftAufIhremThreadUndDerAbbauFuehrtEingereihteNochAus) {
  ThreadStarter liste;
  auto gehalten = std::make_shared<int>(7);
  std::mutex sperre;
  std::vector<std::thread::id> haupt, parallel, io;
  std::vector<int> ioFolge;
  {
    Quelm_ParallelKern kern(Umgebung(3, &liste));
    for (int i = 0; i < 200; ++i) {
      Quelm_ParallelKern::NeueFaser(kParallel, [&] {
        std::this_thread::sleep_for(100us);
        std::lock_guard<std::mutex> halt(sperre);
        parallel.push_back(std::this_thread::get_id());
      });
      Quelm_ParallelKern::NeueFaser(kEinAusgabe, [&, i] {
        std::lock_guard<std::mutex> halt(sperre);
        io.push_back(std::this_thread::get_id());
        ioFolge.push_back(i);
      });
    }
    for (int i = 0; i < 3; ++i)
      Quelm_ParallelKern::NeueFaser(kHaupt, [&] { haupt.push_back(std::this_thread::get_id()); });
    EXPECT_TRUE(haupt.empty());  // only in the main thread's turn
    HauptZug(kern);
    // Never served after the last turn: its callable is released at shutdown.
    Quelm_ParallelKern::NeueFaser(kHaupt, [gehalten] { ADD_FAILURE() << "never served"; });
  }  // shutdown runs what is still queued
  EXPECT_EQ(gehalten.use_count(), 1);

  ASSERT_EQ(liste.ids.size(), 4u);
  const std::set<std::thread::id> arbeiter(liste.ids.begin(), liste.ids.begin() + 3);
  const std::thread::id ioThread = liste.ids[3];

  ASSERT_EQ(haupt.size(), 3u);
  for (auto id : haupt) EXPECT_EQ(id, std::this_thread::get_id());
  ASSERT_EQ(parallel.size(), 200u);
  for (auto id : parallel) EXPECT_TRUE(arbeiter.count(id));
  ASSERT_EQ(io.size(), 200u);
  for (auto id : io) EXPECT_EQ(id, ioThread);
  EXPECT_TRUE(std::is_sorted(ioFolge.begin(), ioFolge.end()));  // one thread: submission order
}

TEST_F(ParallelKern, EinreichenAusVielenThreadsGleichzeitig) {
  constexpr int kThreads = 4, kJeThread = 400;  // more than the 1024 pooled blocks
  std::atomic<int> gelaufen{0};
  std::vector<std::uint64_t> ids[kThreads];
  {
    Quelm_ParallelKern kern(Umgebung(3));
    std::vector<std::thread> einreicher;
    for (int t = 0; t < kThreads; ++t)
      einreicher.emplace_back([&, t] {
        for (int i = 0; i < kJeThread; ++i) {
          const auto art = i % 2 ? kParallel : kEinAusgabe;
          ids[t].push_back(Quelm_ParallelKern::NeueFaser(art, [&] { ++gelaufen; }).id);
        }
      });
    for (auto& t : einreicher) t.join();
  }
  EXPECT_EQ(gelaufen.load(), kThreads * kJeThread);
  std::set<std::uint64_t> alle;
  for (auto& liste : ids) alle.insert(liste.begin(), liste.end());
  EXPECT_EQ(alle.size(), static_cast<std::size_t>(kThreads * kJeThread));
  EXPECT_EQ(alle.count(Quelm_Faser::kKeineId), 0u);
}

// Stack use of `tiefe` KiB and a bit.
__attribute__((noinline)) int Tief(int tiefe) {
  volatile char puffer[1024];
  puffer[0] = static_cast<char>(tiefe);
  if (tiefe <= 0) return puffer[0];
  return Tief(tiefe - 1) + puffer[0];
}

TEST_F(ParallelKern, JobLaeuftAufDemStapelSeinesBlocksMitSichtbaremJobZeiger) {
  Quelm_ParallelKern kern(Umgebung(1));
  Quelm_Faser* gesehen = nullptr;
  char* rahmen = nullptr;
  int ergebnis = -1;
  const auto handle = Quelm_ParallelKern::NeueFaser(kHaupt, [&] {
    gesehen = Quelm_Faser::Aktuelle();
    rahmen = static_cast<char*>(__builtin_frame_address(0));
    ergebnis = Tief(80);  // most of the stack is usable
  });
  ASSERT_NE(handle.faser, nullptr);
  HauptZug(kern);
  EXPECT_EQ(gesehen, handle.faser);
  EXPECT_NE(ergebnis, -1);
  EXPECT_GE(rahmen, handle.faser->Stapel());
  EXPECT_LT(rahmen, reinterpret_cast<char*>(handle.faser) + Quelm_Faser::kBlockGroesse);
  EXPECT_EQ(Quelm_Faser::Aktuelle(), nullptr);
  EXPECT_EQ(handle.faser->id.load(), Quelm_Faser::kKeineId) << "recycled";
}

TEST_F(ParallelKern, HauptZugFuehrtVorherEingereihteInReihenfolgeAusUndSpaetereImNaechstenZug) {
  Quelm_ParallelKern kern(Umgebung(2));
  std::vector<int> folge;
  std::atomic<bool> uebergeben{false};
  for (int i = 1; i <= 3; ++i)
    Quelm_ParallelKern::NeueFaser(kHaupt, [&, i] {
      folge.push_back(i);
      if (i != 2) return;
      Quelm_ParallelKern::NeueFaser(kHaupt, [&] { folge.push_back(99); });
      // A worker hands a result back while this turn still runs.
      Quelm_ParallelKern::NeueFaser(kParallel, [&] {
        Quelm_ParallelKern::NeueFaser(kHaupt, [&] { folge.push_back(100); });
        uebergeben = true;
      });
      ASSERT_TRUE(WarteBis([&] { return uebergeben.load(); }));
    });
  HauptZug(kern);
  EXPECT_EQ(folge, (std::vector<int>{1, 2, 3}));
  HauptZug(kern);
  EXPECT_EQ(folge, (std::vector<int>{1, 2, 3, 99, 100}));
}

TEST_F(ParallelKern, WerfenderJobWirdGemeldetUndDerNaechsteLaeuft) {
  bool danach = false;
  std::atomic<bool> ioDanach{false};
  {
    Quelm_ParallelKern kern(Umgebung(1));
    Quelm_ParallelKern::NeueFaser(kHaupt, [] { throw std::runtime_error("kaputt"); });
    Quelm_ParallelKern::NeueFaser(kHaupt, [] { Quelm_Ausnahme::Wirf("engine", "f", "d", 1); });
    Quelm_ParallelKern::NeueFaser(kHaupt, [&] { danach = true; });
    HauptZug(kern);
    // Same on the single I/O thread.
    Quelm_ParallelKern::NeueFaser(kEinAusgabe, [] { throw std::logic_error("io kaputt"); });
    Quelm_ParallelKern::NeueFaser(kEinAusgabe, [&] { ioDanach = true; });
  }
  EXPECT_TRUE(danach);
  EXPECT_TRUE(ioDanach.load());
  const auto texte = Texte();
  for (const char* zeile : {"Unbehandelte Ausnahme std::runtime_error wegen \"kaputt\" bei Faser-Ausführung.",
                            "Unbehandelte sonstige Ausnahme bei Faser-Ausführung.",
                            "Unbehandelte Ausnahme std::logic_error wegen \"io kaputt\" bei Faser-Ausführung."})
    EXPECT_EQ(ZeilenMitAnfang(texte, zeile), 1) << zeile;
}

TEST_F(ParallelKern, Der1025teGleichzeitigeJobHoltEinenNeuenBlockUndAlteHandlesPassenNichtMehr) {
  {
    Quelm_ParallelKern kern(Umgebung(1));
    const auto erster = Quelm_ParallelKern::NeueFaser(kHaupt, [] {});
    HauptZug(kern);
    // One more job than the pool holds: one of them gets the recycled block.
    std::set<Quelm_Faser*> bloecke;
    Quelm_FaserHandle wieder;
    for (int i = 0; i < 1025; ++i) {
      const auto h = Quelm_ParallelKern::NeueFaser(kHaupt, [] {});
      bloecke.insert(h.faser);
      if (h.faser == erster.faser) wieder = h;
    }
    EXPECT_EQ(bloecke.size(), 1025u);
    EXPECT_EQ(kern.alloks.load(), 1025u);
    ASSERT_EQ(wieder.faser, erster.faser);
    EXPECT_NE(erster.id, wieder.id);
    EXPECT_EQ(erster.faser->id.load(), wieder.id);
  }
  EXPECT_EQ(ZeilenMitAnfang(Texte(), "Am Ende waren es 1025 Alloks"), 1);
}

TEST_F(ParallelKern, AufeinanderfolgendeIdsUndOhneKernOderMitFremderArtKeinJob) {
  const auto ohneKern = Quelm_ParallelKern::NeueFaser(kParallel, [] {});
  EXPECT_EQ(ohneKern.faser, nullptr);
  EXPECT_EQ(ohneKern.id, Quelm_Faser::kKeineId);

  Quelm_ParallelKern kern(Umgebung(1));
  const auto a = Quelm_ParallelKern::NeueFaser(kHaupt, [] {});
  const auto fremd = Quelm_ParallelKern::NeueFaser(7, [] {});
  const auto keine = Quelm_ParallelKern::NeueFaser(Quelm_Faser::Frei, [] {});
  const auto b = Quelm_ParallelKern::NeueFaser(kHaupt, [] {});
  EXPECT_EQ(fremd.faser, nullptr);
  EXPECT_EQ(keine.faser, nullptr);
  EXPECT_EQ(b.id, a.id + 1);
  // No block went astray: the two queued jobs hold two, the rest is in the pool.
  EXPECT_EQ(kern.pool.size_approx(), 1022u);
  HauptZug(kern);
  const auto texte = Texte();
  EXPECT_EQ(ZeilenMitAnfang(texte, "!Ausnahme \"Unbekannte Faser-Art"), 2);
  EXPECT_EQ(ZeilenMitAnfang(texte, "!Ausnahme \"Kein paralleler Kern gestartet\" aufgetreten in Funktion "
                                   "Quelm_ParallelKern::NeueFaser"),
            1);
}

TEST_F(ParallelKern, ScheiternderThreadStartStopptUndVerbindetDieGestartetenThreads) {
  // The third start (a worker) or the fifth (the I/O thread) of four workers fails.
  for (const int scheitertBei : {3, 5}) {
    ThreadStarter start;
    start.scheitertBei = scheitertBei;
    EXPECT_THROW(Quelm_ParallelKern kern(Umgebung(4, &start)), std::system_error);
    // Reaching this line at all means no joinable thread was destroyed.
    EXPECT_EQ(start.beendet.load(), scheitertBei - 1);
    EXPECT_EQ(Quelm_ParallelKern::Aktueller(), nullptr);
  }
  EXPECT_EQ(ZeilenMitAnfang(Texte(), "Ausnahme bei Thread-Erstellung vom Typ \"std::system_error\" mit Text \"kein"),
            2);
  // A later core starts normally; with no reported hardware threads it has one worker, and it works.
  Quelm_ParallelKern kern(Umgebung(0));
  std::atomic<bool> gelaufen{false};
  Quelm_ParallelKern::NeueFaser(kParallel, [&] { gelaufen = true; });
  EXPECT_TRUE(WarteBis([&] { return gelaufen.load(); }));
  EXPECT_EQ(ZeilenMitAnfang(Texte(), "Starting parallel execution core: 1 parallel threads"), 1);
}

// The guard page of the job that overflows; read by the signal handler.
std::atomic<char*> gWaechterseite{nullptr};

void BeiSpeicherzugriffsfehler(int, siginfo_t* info, void*) {
  char* adresse = static_cast<char*>(info->si_addr);
  char* waechter = gWaechterseite.load();
  _exit(adresse >= waechter && adresse < waechter + Quelm_Faser::kSeitenGroesse ? 42 : 43);
}

void UeberlaufeDenStapel() {
  // The handler runs on a stack of its own: the fiber's stack is used up.
  static char signalStapel[256 * 1024];
  stack_t stapel{};
  stapel.ss_sp = signalStapel;
  stapel.ss_size = sizeof signalStapel;
  sigaltstack(&stapel, nullptr);
  struct sigaction aktion {};
  aktion.sa_sigaction = BeiSpeicherzugriffsfehler;
  aktion.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigaction(SIGSEGV, &aktion, nullptr);

  Quelm_ParallelKern kern(Umgebung(1));
  Quelm_ParallelKern::NeueFaser(kHaupt, [] {
    gWaechterseite = Quelm_Faser::Aktuelle()->Waechterseite();
    Tief(1000);
  });
  HauptZug(kern);
}

TEST(ParallelKernTod, StapelueberlaufFaultInDerWaechterseiteStattDenNachbarnZuUeberschreiben) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // 42: the first access past the stack's end hit the guard page.
  EXPECT_EXIT(UeberlaufeDenStapel(), ::testing::ExitedWithCode(42), "");
}

}  // namespace
