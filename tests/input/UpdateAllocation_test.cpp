// A frame that drains 64 buffered records allocates nothing: every operator new of the
// process is counted.
#include <atomic>
#include <cstdlib>
#include <new>

#include "TestHelpers.h"

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// Both forms, so that neither falls back to the runtime's own against our malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace inputtest;
using namespace Plattform::Eingabe;

// Counts events without allocating.
struct Counter : DRENO::InputHandler {
  int keys = 0, characters = 0, buttons = 0, wheels = 0;
  bool OnKey(DRENO::Keyboard*, std::int32_t, bool) override { return ++keys, false; }
  bool OnUnicode(DRENO::Keyboard*, std::uint32_t) override { return ++characters, false; }
  bool OnMouseButton(DRENO::Mouse*, std::uint64_t, bool) override { return ++buttons, false; }
  bool OnMouseWheel(DRENO::Mouse*, float) override { return ++wheels, false; }
};

using UpdateAllocation = InputTest;

TEST_F(UpdateAllocation, DrainingSixtyFourRecordsAllocatesNothing) {
  ASSERT_TRUE(DRENO::Initialize(FakeWindow()));
  DRENO::InputSystem* system = DRENO::GetInstance();
  Counter counter;
  system->SetInputHandler(&counter);
  system->DigitalChannels()[1].bindings.push_back({1, 0x1E, 0, 0});
  system->Update();
  for (int i = 0; i < 16; ++i) {
    backend.Taste(30, true, true);
    backend.Taste(30, false, true);
    Puffere(MausDatensatz(kMaus, 0, 0x0001 | 0x0002, 0, 1, 1));
    Puffere(MausDatensatz(kMaus, 0, RI_MOUSE_WHEEL, 120, 0, 0));
  }
  ASSERT_EQ(backend.zustand.puffer.size(), 64u);

  const long before = gAllocations.load();
  system->Update();
  EXPECT_EQ(gAllocations.load() - before, 0);
  EXPECT_EQ(counter.keys, 32);
  EXPECT_EQ(counter.characters, 16);
  EXPECT_EQ(counter.buttons, 32);
  EXPECT_EQ(counter.wheels, 16);
}

}  // namespace
