// Where a message goes (toolkit, backend or the system's box) and the
// short-lived threads that show messages without making the caller wait;
// the same on every system.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

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
  // The message threads are joined, never detached: the thread library of
  // the Windows build reuses a thread's identity once it has ended, so a
  // detach that comes after a quick thread's end could hit another thread.
  std::vector<std::thread> threads;
  std::vector<std::thread::id> ended;
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

// Joins the message threads that have said they are done (under the state's
// lock): they need the lock no more, so the joins wait only for their exit.
void JoinEndedThreads(MessageState& state) {
  for (std::thread::id ended : state.ended) {
    auto found = std::find_if(state.threads.begin(), state.threads.end(),
                              [ended](const std::thread& thread) { return thread.get_id() == ended; });
    if (found == state.threads.end()) continue;
    found->join();
    state.threads.erase(found);
  }
  state.ended.clear();
}

}  // namespace

void ShowMessage(int id, MessageIcon icon) { Deliver(id, MessageText(id), icon); }

void ShowToolkitMessage(const std::string& text, MessageIcon icon) { Deliver(0, text, icon); }

void ShowMessageDetached(int id, MessageIcon icon) {
  // A running dialog toolkit takes the message on its own thread: it is
  // posted there, never shown from a thread of ours.
  if (MessageToolkit toolkit = CurrentToolkit(); toolkit && toolkit(MessageText(id), icon)) return;
  MessageState& state = State();
  std::scoped_lock lock(state.mutex);
  JoinEndedThreads(state);
  state.threads.emplace_back([id, icon] {
    Deliver(id, MessageText(id), icon);
    std::scoped_lock done(State().mutex);
    --State().pending;
    State().ended.push_back(std::this_thread::get_id());
    State().idle.notify_all();
  });
  ++state.pending;  // counted once the thread is there: a failed start throws
}

void WaitForDetachedMessages() {
  std::unique_lock lock(State().mutex);
  State().idle.wait(lock, [] { return State().pending == 0; });
  JoinEndedThreads(State());
}

bool WaitForDetachedMessages(std::chrono::milliseconds limit) {
  std::unique_lock lock(State().mutex);
  bool none = State().idle.wait_for(lock, limit, [] { return State().pending == 0; });
  JoinEndedThreads(State());
  return none;
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
