#include "Basisdienste.h"
#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string LiesAlles(std::FILE* f) {
  std::string s;
  char puffer[7];  // small on purpose: CR LF pairs straddle reads
  std::size_t n;
  while ((n = std::fread(puffer, 1, sizeof puffer, f)) > 0) s.append(puffer, n);
  return s;
}

TEST(Basisdienste, TextmodusLaesstCrVorLfFallenUndOrdnerBleibenZu) {
  TempOrdner o;
  const std::string roh = "a\r\nbb\r\r\nccccc\r\ndd\rx\r";
  SchreibeDatei(o.pfad() / "t.txt", roh);
  std::FILE* text = Plattform::OeffneDatei(o.pfad() / "t.txt", "r");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(LiesAlles(text), "a\nbb\r\nccccc\ndd\rx\r");
  std::fclose(text);
  std::FILE* bin = Plattform::OeffneDatei(o.pfad() / "t.txt", "rb");
  EXPECT_EQ(LiesAlles(bin), roh);
  std::fclose(bin);
  EXPECT_EQ(Plattform::OeffneDatei(o.pfad(), "rb"), nullptr);
}

TEST(Basisdienste, ProgrammpfadZaehlerUndThreads) {
  auto exe = Plattform::AusfuehrbarerPfad();
  ASSERT_TRUE(exe);
  EXPECT_EQ(exe->filename(), "basis_tests");
  EXPECT_EQ(Plattform::ZaehlerFrequenz(), 1000000000);
  auto a = Plattform::Zaehlerstand();
  Plattform::Schlafe(5);
  EXPECT_GE(Plattform::Zaehlerstand() - a, 5000000);
  EXPECT_GE(Plattform::HardwareThreads(), 1u);
  std::uint32_t anderer = 0;
  std::thread([&] { anderer = Plattform::ThreadId(); }).join();
  EXPECT_NE(anderer, Plattform::ThreadId());
  EXPECT_EQ(Plattform::ThreadId(), static_cast<std::uint32_t>(getpid()));
}

// The sanitizers' allocators keep their own books.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(Basisdienste, FreigegebenerSpeicherBleibtImHeap) {
  Plattform::BehalteFreigegebenenSpeicher();
  constexpr std::size_t kGross = 16 << 20;
  const struct mallinfo2 vorher = mallinfo2();
  auto* block = static_cast<char*>(std::malloc(kGross));
  ASSERT_NE(block, nullptr);
  std::memset(block, 1, kGross);
  EXPECT_EQ(mallinfo2().hblkhd, vorher.hblkhd);  // from the heap, not a mapping of its own
  std::free(block);
  const struct mallinfo2 nachher = mallinfo2();
  EXPECT_GE(nachher.arena, vorher.arena + kGross);  // the heap was not trimmed
  EXPECT_GE(nachher.fordblks, kGross);
}
#endif

TEST(Basisdienste, XdgOrdnerNachVariableDannHome) {
  // The test programs run with a home of their own and the XDG variables unset.
  const std::string heim = std::getenv("HOME");
  struct Fall {
    const char* variable;
    std::optional<fs::path> (*ordner)();
    const char* imHeim;
  };
  for (const Fall& f : {Fall{"XDG_DATA_HOME", Plattform::AnwendungsdatenVerzeichnis, ".local/share"},
                        Fall{"XDG_CACHE_HOME", Plattform::ZwischenspeicherVerzeichnis, ".cache"}}) {
    SCOPED_TRACE(f.variable);
    setenv(f.variable, "/x/ordner", 1);
    setenv("HOME", "/h", 1);
    EXPECT_EQ(*f.ordner(), fs::path("/x/ordner"));
    for (const char* ungueltig : {"", "relativ/ordner"}) {
      setenv(f.variable, ungueltig, 1);
      EXPECT_EQ(*f.ordner(), fs::path("/h") / f.imHeim) << ungueltig;
    }
    unsetenv("HOME");
    unsetenv(f.variable);
    auto ausPasswd = f.ordner();
    EXPECT_TRUE(ausPasswd && ausPasswd->string().ends_with(f.imHeim));
    setenv("HOME", heim.c_str(), 1);
  }
  EXPECT_TRUE(Plattform::Benutzername().has_value());
}

}  // namespace
