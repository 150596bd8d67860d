// Where a message goes (toolkit, backend or the system's box) and the
// short-lived threads that show messages without making the caller wait;
// the same on every system.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/message_box.h"
#include "platform/system_message_box.h"

namespace talvenor {

namespace {

struct MessageState {
  std::mutex mutex;
  MessageBackend backend = ShowSystemMessage;
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
  State().backend = backend ? std::move(backend) : MessageBackend(ShowSystemMessage);
}

void SetMessageToolkit(MessageToolkit toolkit) {
  std::scoped_lock lock(State().mutex);
  State().toolkit = std::move(toolkit);
}

}  // namespace talvenor
