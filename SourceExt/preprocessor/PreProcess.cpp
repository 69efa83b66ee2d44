#include "PreProcess.h"

#include "PpLauf.h"

PreProcessState::PreProcessState() = default;
PreProcessState::~PreProcessState() = default;

int PreProcess(const PreProcessTag* tags, PreProcessState* state) {
  if (state == nullptr) return 1;
  state->lauf_ = std::make_unique<Praeprozessor::Lauf>();
  const int ergebnis = state->lauf_->Ausfuehren(tags);
  // Everything the run allocated goes with it.
  state->lauf_.reset();
  return ergebnis;
}
