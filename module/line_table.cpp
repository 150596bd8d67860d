// The four line slots of the module. A slot shares its line with whoever
// works with it at the moment: a line released meanwhile goes only when the
// last of them lets go.
#include <algorithm>

#include "calls/call_line.h"
#include "config/module_settings.h"
#include "module/sip_module.h"

namespace talvenor {

std::shared_ptr<CallLine> SipModule::CreateLine(const LineMaker& make) {
  std::scoped_lock lock(moduleLock_);
  if (closing_) return nullptr;  // a shutdown that has listed the lines would not end this one
  int count = std::clamp(Settings().LineCount.load(), 1, kMaxLines);
  for (int index = 0; index < count; ++index) {
    if (lines_[index]) continue;
    std::shared_ptr<CallLine> line = make(index);
    if (!line) return nullptr;
    std::scoped_lock slots(slotsMutex_);
    lines_[index] = line;
    highestLine_ = std::max(highestLine_, index);
    return line;
  }
  return nullptr;
}

bool SipModule::AttachLine(int index, std::shared_ptr<CallLine> line) {
  std::scoped_lock lock(moduleLock_);
  if (index < 0 || index >= Settings().LineCount || lines_[index]) return false;
  std::scoped_lock slots(slotsMutex_);
  lines_[index] = std::move(line);
  highestLine_ = std::max(highestLine_, index);
  return true;
}

namespace {

bool StillRinging(const CallLine& line) {
  return line.Incoming() && !line.Finished() && line.State() == CallState::Setup;
}

}  // namespace

bool SipModule::RingingFrom(uint32_t address) {
  std::scoped_lock lock(moduleLock_);
  for (const auto& account : gateways_) {
    if (account && account->gatewayIp == address) return false;
  }
  return std::any_of(lines_.begin(), lines_.end(), [address](const std::shared_ptr<CallLine>& line) {
    return line && StillRinging(*line) && line->SipPeer().address == address;
  });
}

bool SipModule::EndARingingCall() {
  std::scoped_lock lock(moduleLock_);
  for (const std::shared_ptr<CallLine>& slot : lines_) {
    // Shared while it ends: the host may release it inside OnDisconnected.
    if (std::shared_ptr<CallLine> line = slot; line && StillRinging(*line)) {
      line->HangUp();
      return true;
    }
  }
  return false;
}

std::shared_ptr<CallLine> SipModule::Line(int index) {
  std::scoped_lock lock(slotsMutex_);
  return index >= 0 && index < kMaxLines ? lines_[index] : nullptr;
}

int SipModule::HighestLine() {
  std::scoped_lock lock(moduleLock_);
  return highestLine_;
}

void SipModule::TickCallLines() {
  for (int index = 0; index <= highestLine_ && index < kMaxLines; ++index) {
    // The line may be released from inside its own tick; keep it alive.
    if (std::shared_ptr<CallLine> line = lines_[index]) line->Tick();
  }
}

PayloadTypeFlags SipModule::CallPayloadTypes() {
  PayloadTypeFlags flags{};
  for (int type = 0; type < kNamedPayloadTypes; ++type) flags[type] = Settings().EnabledPayloadTypes[type] != 0;
  return flags;
}

void SipModule::ReleaseOwnLine(const CallLine& line) {
  std::unique_lock<std::recursive_mutex> lock;
  if (!LockLines(lock)) return;  // the next start empties the slots
  int index = line.LineIndex();
  if (index >= 0 && index < kMaxLines && lines_[index].get() == &line) ReleaseLine(index, 0);
}

bool SipModule::G729Busy() const { return Settings().G729Busy != 0; }

void SipModule::SetG729Busy(bool busy) const { Settings().G729Busy = busy ? 1 : 0; }

}  // namespace talvenor
