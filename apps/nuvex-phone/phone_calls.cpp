#include "apps/nuvex-phone/phone_calls.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "apps/nuvex-phone/phone_call.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/terminal_text.h"
#include "host/ccom.h"

namespace nuvex {

namespace {

struct Entry {
  std::shared_ptr<PhoneCall> call;
  bool lineKnown = false;  // an offered call's at once; a placed call's once PlaceCall returned
  bool ended = false;      // OnDisconnected has returned (all but its last instructions)
  bool freeing = false;
};

// The module is never called with `mutex` held: it may call back into the
// calls from inside, on the same thread.
struct Calls {
  std::mutex mutex;
  std::condition_variable changed;
  CallOptions options;
  std::map<int, Entry> calls;  // by number, in the order they came
  int nextNumber = 1;
  bool firstEnded = false;
  bool firstConnected = false;
  bool stopping = false;
  std::thread freer;
};

Calls& State() {
  static Calls* state = new Calls;  // module threads may still report while the phone exits
  return *state;
}

void CallEnded(int number, bool connected) {
  Calls& state = State();
  std::scoped_lock lock(state.mutex);
  auto found = state.calls.find(number);
  if (found != state.calls.end()) found->second.ended = true;
  if (number == 1) {
    state.firstEnded = true;
    state.firstConnected = connected;
  }
  state.changed.notify_all();
}

// Frees each call once it has ended and its line is known: its thread and
// its sound go first, then its line, so that nothing of the phone's uses
// the line's number when the module hands it to the next call.
void FreeEndedCalls() {
  Calls& state = State();
  std::unique_lock lock(state.mutex);
  for (;;) {
    auto ready = std::find_if(state.calls.begin(), state.calls.end(), [](const auto& each) {
      return each.second.ended && each.second.lineKnown && !each.second.freeing;
    });
    if (ready == state.calls.end()) {
      if (state.stopping) return;
      state.changed.wait(lock);
      continue;
    }
    ready->second.freeing = true;
    int number = ready->first;
    std::shared_ptr<PhoneCall> call = ready->second.call;
    lock.unlock();
    call->Finish();
    if (call->Line() >= 0) call->Module()->ReleaseLine(call->Line(), 0);
    call.reset();
    lock.lock();
    state.calls.erase(number);
    state.changed.notify_all();
  }
}

// A new call, kept until it has ended; the number it is kept under.
std::pair<int, std::shared_ptr<PhoneCall>> NewCall(CCom* module, bool incoming, const std::string& peer,
                                                   int line) {
  Calls& state = State();
  std::scoped_lock lock(state.mutex);
  int number = state.nextNumber++;
  auto call = std::make_shared<PhoneCall>(module, state.options, incoming, peer,
                                          [number](bool connected) { CallEnded(number, connected); });
  call->SetLine(line);
  state.calls[number] = Entry{call, line >= 0, false, false};
  return {number, call};
}

// The live calls with a line, in their lines' order.
std::vector<std::shared_ptr<PhoneCall>> Live() {
  std::vector<std::shared_ptr<PhoneCall>> live;
  {
    std::scoped_lock lock(State().mutex);
    for (auto& [number, entry] : State().calls) {
      if (!entry.ended && entry.lineKnown && entry.call->Line() >= 0) live.push_back(entry.call);
    }
  }
  std::sort(live.begin(), live.end(), [](const auto& a, const auto& b) { return a->Line() < b->Line(); });
  return live;
}

std::shared_ptr<PhoneCall> OnLine(int line) {
  for (auto& call : Live()) {
    if (call->Line() == line) return call;
  }
  return nullptr;
}

std::string LineName(int line) { return "line " + std::to_string(line); }

// The ringing call on `line`, or the only ringing one; a reply says why not.
std::shared_ptr<PhoneCall> RingingCall(int line, const char* command) {
  if (line >= 0) {
    std::shared_ptr<PhoneCall> call = OnLine(line);
    if (!call) {
      Reply("no call on " + LineName(line));
    } else if (call->CurrentState() != PhoneCall::State::Ringing) {
      Reply(LineName(line) + " is not ringing: " + call->Description());
      call.reset();
    }
    return call;
  }
  std::vector<std::shared_ptr<PhoneCall>> ringing = Live();
  std::erase_if(ringing, [](const auto& call) { return call->CurrentState() != PhoneCall::State::Ringing; });
  if (ringing.size() == 1) return ringing.front();
  Reply(ringing.empty() ? std::string("no call is ringing")
                        : std::to_string(ringing.size()) + " calls are ringing: " + command +
                              " LINE ('lines' shows them)");
  return nullptr;
}

// The live call on `line`, or the only live one; a reply says why not.
std::shared_ptr<PhoneCall> LiveCall(int line, const char* command) {
  if (line >= 0) {
    std::shared_ptr<PhoneCall> call = OnLine(line);
    if (!call) Reply("no call on " + LineName(line));
    return call;
  }
  std::vector<std::shared_ptr<PhoneCall>> live = Live();
  if (live.size() == 1) return live.front();
  Reply(live.empty() ? std::string("no call goes on")
                     : std::to_string(live.size()) + " calls go on: " + command + " LINE ('lines' shows them)");
  return nullptr;
}

}  // namespace

void StartCalls(CallOptions options) {
  Calls& state = State();
  std::scoped_lock lock(state.mutex);
  state.options = std::move(options);
  state.freer = std::thread(FreeEndedCalls);
}

bool PlaceCall(CCom* module, const std::string& target) {
  auto [number, call] = NewCall(module, false, PrintableText(target), -1);
  Event(-1, "calling " + PrintableText(target));
  int line = module->PlaceCall(call.get(), 0, target, "", "", "");
  if (line < 0) {
    Event(-1, "no line free");
    call->OnDisconnected(6);  // never handed to the module: the phone ends it
  } else {
    call->SetLine(line);
  }
  std::scoped_lock lock(State().mutex);
  if (auto found = State().calls.find(number); found != State().calls.end()) found->second.lineKnown = true;
  State().changed.notify_all();
  return line >= 0;
}

CCon* OfferedCall(CCom* module, int line, const std::string& caller, const std::string& displayName) {
  // Both come from the caller's INVITE: they may hold anything.
  std::string peer = PrintableText(caller) + (displayName.empty() ? "" : " \"" + PrintableText(displayName) + "\"");
  Event(line, "incoming call: " + peer);
  Event(line, "ringing");
  auto [number, call] = NewCall(module, true, peer, line);
  const CallOptions& options = State().options;
  if (options.rejectReason) {
    call->AnswerLater(*options.rejectReason, 0);
  } else if (options.autoAnswerSeconds) {
    call->AnswerLater(0, *options.autoAnswerSeconds);
  }
  return call.get();
}

void RefusedOffer() {
  Event(-1, "incoming call refused (488): no free line, or an offer without a codec in use");
  std::scoped_lock lock(State().mutex);
  if (State().nextNumber == 1 && !State().firstEnded) State().firstEnded = true;  // never connected
}

bool AnswerCall(int line) {
  std::shared_ptr<PhoneCall> call = RingingCall(line, "answer");
  if (call) call->Answer(0);
  return call != nullptr;
}

bool RejectCall(int reason, int line) {
  std::shared_ptr<PhoneCall> call = RingingCall(line, "reject CODE");
  if (call) call->Answer(reason);
  return call != nullptr;
}

bool HangUpCall(int line) {
  std::shared_ptr<PhoneCall> call = LiveCall(line, "hangup");
  if (call) call->HangUp();
  return call != nullptr;
}

bool MuteCall(int line) {
  std::shared_ptr<PhoneCall> call = LiveCall(line, "mute");
  if (!call) return false;
  Reply(call->ToggleMute() ? LineName(call->Line()) + " muted: the far end hears silence from this phone"
                           : LineName(call->Line()) + " unmuted");
  return true;
}

std::vector<std::string> LiveCalls() {
  std::vector<std::string> texts;
  for (auto& call : Live()) texts.push_back(std::to_string(call->Line()) + " " + call->Description());
  return texts;
}

bool FirstCallEnded(bool& connected) {
  std::scoped_lock lock(State().mutex);
  connected = State().firstConnected;
  return State().firstEnded;
}

bool WaitForCallsFreed(std::chrono::milliseconds limit) {
  std::unique_lock lock(State().mutex);
  return State().changed.wait_for(lock, limit, [] { return State().calls.empty(); });
}

void StopCalls() {
  Calls& state = State();
  {
    std::scoped_lock lock(state.mutex);
    state.stopping = true;
    state.changed.notify_all();
  }
  if (state.freer.joinable()) state.freer.join();
}

}  // namespace nuvex
