#include "media/loss_concealment.h"

#include <spandsp/telephony.h>
#include <spandsp/plc.h>

#include <algorithm>

namespace talvenor {

struct LossConcealment::State {
  State() : plc(plc_init(nullptr)) {}
  ~State() {
    if (plc != nullptr) plc_free(plc);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  plc_state_t* plc;
};

LossConcealment::LossConcealment() : state_(std::make_unique<State>()) {}

LossConcealment::~LossConcealment() = default;

void LossConcealment::Heard(std::span<int16_t> samples) {
  if (state_->plc == nullptr || samples.empty()) return;
  plc_rx(state_->plc, samples.data(), static_cast<int>(samples.size()));
}

void LossConcealment::Conceal(std::span<int16_t> samples) {
  if (state_->plc == nullptr) {
    std::fill(samples.begin(), samples.end(), int16_t{0});
    return;
  }
  if (!samples.empty()) plc_fillin(state_->plc, samples.data(), static_cast<int>(samples.size()));
}

}  // namespace talvenor
