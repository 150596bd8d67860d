// Runs a piece of work on the thread of a running application and waits for
// its result, from another thread.
#pragma once

#include <QCoreApplication>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace talvenor::view {

// Posts `work` to the application's thread, then releases `lock` (which
// keeps the application alive while it is posted to) and waits. Gives
// `fallback` when the application goes before it ran the work.
template <typename Result>
Result CallOnApplicationThread(QCoreApplication& app, std::unique_lock<std::mutex>& lock,
                               std::function<Result()> work, Result fallback) {
  struct Call {
    std::function<Result()> work;
    Result fallback;
    std::promise<Result> result;
    bool answered = false;
    void Answer(Result value) {
      answered = true;
      result.set_value(std::move(value));
    }
    ~Call() {
      if (!answered) result.set_value(std::move(fallback));
    }
  };
  auto call = std::make_shared<Call>();
  call->work = std::move(work);
  call->fallback = fallback;
  std::future<Result> done = call->result.get_future();
  QMetaObject::invokeMethod(
      &app,
      [call] {
        Result value = call->fallback;
        try {
          value = call->work();
        } catch (...) {
        }
        call->Answer(std::move(value));
      },
      Qt::QueuedConnection);
  // Only the posted event holds the call now: if the application drops the
  // event unrun, the call answers with the fallback as it goes.
  call.reset();
  lock.unlock();
  return done.get();
}

}  // namespace talvenor::view
