#include "platform/message_box.h"

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace talvenor {

namespace {

// Never destroyed: a message raised while the process exits still finds its text.
const std::map<int, const char*>& StringTable() {
  static const auto* table = new std::map<int, const char*>{
      {1001, "Can't start WinSock 2.0!"},
      {1002, "Invalid WinSock version!"},
      {1006, "Can't create UDP socket!"},
      {1007, "Can't bind UDP socket!"},
      {1008, "Please, enter an even port number!"},
      {1010, "Cannot resolve the gateway address!"},
      {1011, "Cannot resolve your hostname or IP address!"},
      {1012, "The new SIP port will be used after restart!"},
      {1013, "Please, enter your credentials!"},
      {1014, "Cannot authenticate with the gateway!"},
      {1015, "SIP message missing parameters!"},
      {1016, "Gateway response: General error!"},
      {1017, "Gateway response: Bad request!"},
      {1018, "Gateway response: Payment required!"},
      {1019, "Gateway response: Wrong password/PIN!"},
      {1020, "Gateway response: User ID not found!"},
      {1021, "Gateway response: Method not allowed!"},
      {1022, "Gateway response: Not acceptable!"},
      {1023, "Cannot save the SIP settings!"},
      {1024, "Cannot start the SIP module!"},
      {1025, "Gateway settings cannot contain commas or quotes!"},
      {1026, "The display name cannot contain quotes or backslashes!"},
  };
  return *table;
}

void WriteToStandardError(int, const std::string& text, MessageIcon icon) {
  const char* kind = icon == MessageIcon::Error ? "error" : icon == MessageIcon::Warning ? "warning" : "info";
  std::fprintf(stderr, "talvenor (%s): %s\n", kind, text.c_str());
}

struct MessageState {
  std::mutex mutex;
  MessageBackend backend = WriteToStandardError;
  MessageToolkit toolkit;
  std::condition_variable idle;
  int pending = 0;
};

MessageState& State() {
  static MessageState* state = new MessageState;  // outlives detached message threads
  return *state;
}

MessageToolkit CurrentToolkit() {
  std::scoped_lock lock(State().mutex);
  return State().toolkit;
}

void Deliver(int id, const std::string& text, MessageIcon icon) {
  if (MessageToolkit toolkit = CurrentToolkit(); toolkit && toolkit(text, icon)) return;
  MessageBackend backend;
  {
    std::scoped_lock lock(State().mutex);
    backend = State().backend;
  }
  if (backend) backend(id, text, icon);
}

}  // namespace

std::string MessageText(int id) {
  auto found = StringTable().find(id);
  return found == StringTable().end() ? std::string() : std::string(found->second);
}

void ShowMessage(int id, MessageIcon icon) { Deliver(id, MessageText(id), icon); }

void ShowToolkitMessage(const std::string& text, MessageIcon icon) { Deliver(0, text, icon); }

void ShowMessageDetached(int id, MessageIcon icon) {
  // A running dialog toolkit takes the message on its own thread: it is
  // posted there, never shown from a thread of ours.
  if (MessageToolkit toolkit = CurrentToolkit(); toolkit && toolkit(MessageText(id), icon)) return;
  {
    std::scoped_lock lock(State().mutex);
    ++State().pending;
  }
  std::thread([id, icon] {
    Deliver(id, MessageText(id), icon);
    std::scoped_lock lock(State().mutex);
    --State().pending;
    State().idle.notify_all();
  }).detach();
}

void WaitForDetachedMessages() {
  std::unique_lock lock(State().mutex);
  State().idle.wait(lock, [] { return State().pending == 0; });
}

bool WaitForDetachedMessages(std::chrono::milliseconds limit) {
  std::unique_lock lock(State().mutex);
  return State().idle.wait_for(lock, limit, [] { return State().pending == 0; });
}

void SetMessageBackend(MessageBackend backend) {
  std::scoped_lock lock(State().mutex);
  State().backend = backend ? std::move(backend) : MessageBackend(WriteToStandardError);
}

void SetMessageToolkit(MessageToolkit toolkit) {
  std::scoped_lock lock(State().mutex);
  State().toolkit = std::move(toolkit);
}

}  // namespace talvenor
