// The registrations taken here, kept in memory and written to the SIP-REG
// list by a thread of their own.
//
// The list is read at the first use and again whenever the file is not the
// one last read or written here (its time or size changed: someone edited
// it). A change is made in memory at once, so that lookups see it, and the
// writer thread writes it after, one write for every change that came
// meanwhile. A refresh whose line keeps its length is written over its old
// line and a new registration after the last, so that a write costs the
// same with ten registrations or a thousand; a removal, a line of another
// length, or a registration that expired makes the writer write the whole
// list anew, dropping the expired ones. Whoever made a change hears when the
// list holding it is on disk: a registrar that answers only then never
// acknowledges a registration a crash could lose.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/private_file.h"
#include "registration/registration_list.h"

namespace talvenor {

// How many live bindings the book takes. A binding's source address is the
// IP address the REGISTER came from, whatever its port: one host, or one
// NAT, holds at most `perSourceAddress`; 20 leaves room for an office's
// phones behind one router. `total` bounds the list's size and the cost of
// each rewrite.
struct RegistrationLimits {
  size_t perSourceAddress = 20;
  size_t total = 1000;
};

// One registration to record: `line` (a whole SIP-REG line with its line
// feed) replaces any line under `key` (compared ignoring case); lifetime 0
// only removes it.
struct RegistrationChange {
  std::string key;
  std::string sourceAddress;  // dotted, for the limits
  std::string line;
  uint32_t lifetime = 0;
  uint32_t lifetimeCap = 0;  // DefaultExpiration as it stands: lines past it are dropped
  int64_t now = 0;
};

class RegistrationBook {
public:
  enum class Outcome {
    Taken,      // in memory; `written` will be called
    OverLimit,  // a new binding beyond the limits: nothing changed
    Failed,     // the list could not be read in full: nothing changed
  };
  // Called with true once a list holding the change is on disk, with false
  // when that write failed (the change is then forgotten).
  using Written = std::function<void(bool written)>;

  explicit RegistrationBook(RegistrationLimits limits = {}) : limits_(limits) {}
  ~RegistrationBook() { StopWriter(); }
  RegistrationBook(const RegistrationBook&) = delete;
  RegistrationBook& operator=(const RegistrationBook&) = delete;

  // A refresh or removal of an existing binding is never over the limits.
  Outcome Record(RegistrationChange change, Written written);

  // As FindRegistrationByUser and AuthenticatedRegistrationFrom
  // (registration_list.h), over the book.
  uint32_t FindByUser(std::string& user, char separator, uint32_t lifetimeCap);
  bool AuthenticatedFrom(std::string_view user, std::string_view addressAndPort, uint32_t lifetimeCap);

  // The writer thread. Without it, Record writes the change itself before
  // it returns.
  void StartWriter();
  // Writes what is pending, tells its makers, and ends the thread.
  void StopWriter();
  // Writes what is pending on the calling thread; false when that failed.
  bool WritePending();

private:
  // One list line with the fields the book looks at.
  struct Entry {
    explicit Entry(std::string text);
    bool Expired(int64_t now, uint32_t lifetimeCap) const;
    std::string line;
    std::string key;      // lower case
    std::string address;  // the key's address, without user or port
    int64_t regTime = 0;
    uint32_t expires = 0;
    bool hasExpires = false;
    bool authenticated = false;
    // Where the list file holds this key's line (perhaps an older one of the
    // same length), or -1 when it holds none yet.
    int64_t slot = -1;
    size_t slotLength = 0;
  };

  // Under mutex_: reads the list at `paths` again when it is not the one
  // last seen; false when it could not be read in full. The paths are found
  // through the host before the lock is taken: a host may call the module
  // back from there, even to shut it down.
  bool Current(const RegistrationListPaths& paths);
  // Replaces the binding under the change's key (or removes it): constant
  // time, so that a REGISTER costs the same with ten bindings or a thousand.
  void Apply(const RegistrationChange& change);
  bool WithinLimits(const RegistrationChange& change);
  void Add(std::string line, int64_t slot = -1, size_t slotLength = 0);
  void Remove(std::list<Entry>::iterator entry);
  // Drops the bindings that expired; they stay until then, counted.
  void DropExpired(int64_t now, uint32_t lifetimeCap);
  // Under mutex_: the lines that write `pending_` over the list or after
  // it, with their slots taken; false when the list must be written anew.
  bool PlanLineWrites(std::vector<ListLineAt>& lines);
  // Under mutex_: the whole list, expired lines dropped, every slot moved.
  std::string PlanRewrite();
  void RunWriter();

  const RegistrationLimits limits_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // In order of registration (RegTime, when read from the list): a refresh
  // moves its binding to the end, and the last binding of a user is its
  // latest registration.
  std::list<Entry> entries_;
  std::unordered_map<std::string, std::list<Entry>::iterator> byKey_;
  std::unordered_map<std::string, size_t> perAddress_;  // bindings listed per source address
  bool loaded_ = false;
  bool readable_ = false;  // the last read saw the whole list, or no list
  FileStamp stamp_;        // of the list as last read or written here
  // What the list file holds, as far as the book knows.
  bool fileWhole_ = false;   // it exists and ends with a line feed: lines can go after it
  int64_t fileSize_ = 0;
  bool rewriteNeeded_ = false;  // it lists a binding the book dropped
  int64_t nextExpiry_ = 0;      // the earliest time a listed binding expires; 0 for none
  // Changes kept until a write holding them is done: a reload replays them.
  std::vector<RegistrationChange> pending_;  // not yet handed to a write
  std::vector<RegistrationChange> writing_;  // handed to the write under way
  std::vector<Written> makers_;
  RegistrationListPaths paths_;  // of the list last read, where the writer writes
  bool writeInFlight_ = false;
  bool stopping_ = false;
  bool writerRunning_ = false;
  std::thread writer_;
  std::mutex writeMutex_;  // one write at a time: the writer's or WritePending's
};

}  // namespace talvenor
