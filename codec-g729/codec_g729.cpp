// The G.729 library: bcg729 contexts kept by the address of the caller's int.
#include "codec-g729/CodecG729.h"

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

#include <cstdint>
#include <list>
#include <mutex>
#include <unordered_map>

namespace {

constexpr int kFresh = 1;       // what the caller writes before the first use
constexpr int kInUse = 0x729;   // what the library leaves there
constexpr size_t kContextLimit = 32;
constexpr int kFrameSamples = 80;
constexpr int kFrameInputBytes = kFrameSamples * 2;
constexpr int kFrameBytes = 10;
constexpr int kComfortNoiseBytes = 2;

struct EncoderTraits {
  using Context = bcg729EncoderChannelContextStruct;
  static Context* Make() { return initBcg729EncoderChannel(0); }
  static void Close(Context* context) { closeBcg729EncoderChannel(context); }
};

struct DecoderTraits {
  using Context = bcg729DecoderChannelContextStruct;
  static Context* Make() { return initBcg729DecoderChannel(); }
  static void Close(Context* context) { closeBcg729DecoderChannel(context); }
};

// Contexts by the address of their int, the most recently used in front.
template <typename Traits>
class ContextTable {
public:
  using Context = typename Traits::Context;

  ~ContextTable() {
    for (Entry& entry : order_) Traits::Close(entry.second);
  }

  // The context for the int; a fresh one when the int reads 1 or none is kept.
  // Under the library's lock.
  Context* For(int* state) {
    auto found = byState_.find(state);
    if (found != byState_.end() && *state != kFresh) {
      order_.splice(order_.begin(), order_, found->second);
      return found->second->second;
    }
    if (found != byState_.end()) Drop(found);
    Context* context = Traits::Make();
    if (context == nullptr) return nullptr;
    order_.emplace_front(state, context);
    byState_[state] = order_.begin();
    *state = kInUse;
    while (order_.size() > kContextLimit) Drop(byState_.find(order_.back().first));
    return context;
  }

private:
  using Entry = std::pair<int*, Context*>;
  using Order = std::list<Entry>;

  void Drop(typename std::unordered_map<int*, typename Order::iterator>::iterator found) {
    Traits::Close(found->second->second);
    order_.erase(found->second);
    byState_.erase(found);
  }

  Order order_;
  std::unordered_map<int*, typename Order::iterator> byState_;
};

// The contexts live until the library is unloaded (or the process ends);
// a call that comes after that finds none and codes nothing.
std::mutex tablesMutex;  // trivially destructible: still usable during exit
ContextTable<EncoderTraits>* encoders = new ContextTable<EncoderTraits>;
ContextTable<DecoderTraits>* decoders = new ContextTable<DecoderTraits>;

__attribute__((destructor)) void CloseAllContexts() {
  std::scoped_lock lock(tablesMutex);
  delete encoders;
  delete decoders;
  encoders = nullptr;
  decoders = nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int EncodeG729(int* state, unsigned char* payload,
                                                                  const short* samples, int byteCount) {
  if (state == nullptr || payload == nullptr || samples == nullptr || byteCount < kFrameInputBytes) return 0;
  std::scoped_lock lock(tablesMutex);
  auto* context = encoders != nullptr ? encoders->For(state) : nullptr;
  if (context == nullptr) return 0;
  int frames = byteCount / kFrameInputBytes;
  int written = 0;
  for (int frame = 0; frame < frames; ++frame) {
    uint8_t length = 0;
    bcg729Encoder(context, samples + frame * kFrameSamples, payload + written, &length);
    written += length;
  }
  return written;
}

extern "C" __attribute__((visibility("default"))) int DecodeG729(int* state, short* samples, int capacity,
                                                                  const unsigned char* payload, int length) {
  if (state == nullptr || samples == nullptr || payload == nullptr || length <= 0) return 0;
  std::scoped_lock lock(tablesMutex);
  auto* context = decoders != nullptr ? decoders->For(state) : nullptr;
  if (context == nullptr) return 0;
  int written = 0;
  int at = 0;
  while (capacity - written >= kFrameInputBytes) {
    int left = length - at;
    uint8_t frameLength = left >= kFrameBytes ? kFrameBytes : left == kComfortNoiseBytes ? kComfortNoiseBytes : 0;
    if (frameLength == 0) break;
    bool comfortNoise = frameLength == kComfortNoiseBytes;
    bcg729Decoder(context, payload + at, frameLength, 0, comfortNoise ? 1 : 0, 0, samples + written / 2);
    at += frameLength;
    written += kFrameInputBytes;
  }
  return written;
}

extern "C" __attribute__((visibility("default"))) int ConcealG729(int* state, short* samples, int capacity) {
  if (state == nullptr || samples == nullptr) return 0;
  std::scoped_lock lock(tablesMutex);
  auto* context = decoders != nullptr ? decoders->For(state) : nullptr;
  if (context == nullptr) return 0;
  // With the erasure flag set the decoder reads no bits; it is handed a
  // silent frame all the same.
  const uint8_t unread[kFrameBytes] = {};
  int written = 0;
  while (capacity - written >= kFrameInputBytes) {
    bcg729Decoder(context, unread, kFrameBytes, 1, 0, 0, samples + written / 2);
    written += kFrameInputBytes;
  }
  return written;
}
