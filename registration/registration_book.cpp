#include "registration/registration_book.h"

#include <algorithm>

#include "platform/clock.h"
#include "registration/list_file.h"
#include "registration/registration_list.h"
#include "sip/tokens.h"

namespace talvenor {

RegistrationBook::Entry::Entry(std::string text) : line(std::move(text)) {
  // A last line without its line feed (a list edited by hand) would take
  // the next line into itself.
  if (line.back() != '\n') line += '\n';
  key = ToLower(ListField(line, 0));
  size_t at = key.rfind('@');
  size_t colon = key.rfind(':');
  if (at != std::string::npos) address = key.substr(at + 1, colon > at ? colon - at - 1 : std::string::npos);
  regTime = ListNumber(ListField(line, 2));
  std::string_view expiresField = ListField(line, 3);
  hasExpires = !expiresField.empty();
  expires = ListNumber(expiresField);
  authenticated = ListField(line, 1) == kAuthenticatedMark;
}

// As RegistrationExpired, from the fields read once.
bool RegistrationBook::Entry::Expired(int64_t now, uint32_t lifetimeCap) const {
  return hasExpires && now > regTime + std::min(expires, lifetimeCap);
}

namespace {

// Found through the host at every use: another folder is another list.
RegistrationListPaths PathsNow() { return {RegistrationListPath(), RegistrationBackupPath()}; }

}  // namespace

bool RegistrationBook::Current(const RegistrationListPaths& paths) {
  // While a write is under way the file is ours: it changes under the
  // rename, and reading it back would only cost the time of a reload.
  if (loaded_ && writeInFlight_) return readable_;
  FileStamp stamp = StampOfFile(paths.list);
  if (loaded_ && stamp == stamp_ && paths.list == paths_.list) return readable_;
  ListContents contents = ReadListLines(paths.list);
  // A ".bak" seen now is a rewrite a kill cut short (no write is under
  // way): it never becomes the list, and the lines written in place would
  // leave it lying there.
  RemoveFile(paths.backup);
  loaded_ = true;
  stamp_ = stamp;
  paths_ = paths;
  entries_.clear();
  byKey_.clear();
  perAddress_.clear();
  nextExpiry_ = 0;
  rewriteNeeded_ = false;
  // A list read only in part would lose its other lines in the next write.
  readable_ = contents.state != ListContents::State::Failed;
  if (!readable_) return false;
  fileWhole_ = contents.state == ListContents::State::Read;
  fileSize_ = 0;
  for (std::string& line : contents.lines) {
    int64_t offset = fileSize_;
    size_t length = line.size();
    fileSize_ += static_cast<int64_t>(length);
    // A last line without its line feed cannot take a new line after it,
    // nor be written over by one with it.
    if (line.back() != '\n') {
      fileWhole_ = false;
      length = 0;
    }
    if (!ListField(line, 0).empty()) Add(std::move(line), length != 0 ? offset : -1, length);
  }
  // A refresh written over its line keeps the line's place in the list:
  // only RegTime tells which registration of a user came last.
  entries_.sort([](const Entry& a, const Entry& b) { return a.regTime < b.regTime; });
  for (const RegistrationChange& change : writing_) Apply(change);
  for (const RegistrationChange& change : pending_) Apply(change);
  return true;
}

// A key listed twice (a list edited by hand) keeps its last line, the one
// lookups take.
void RegistrationBook::Add(std::string line, int64_t slot, size_t slotLength) {
  Entry entry(std::move(line));
  entry.slot = slot;
  entry.slotLength = slotLength;
  if (auto old = byKey_.find(entry.key); old != byKey_.end()) Remove(old->second);
  if (entry.hasExpires) {
    int64_t expiry = entry.regTime + entry.expires;
    if (nextExpiry_ == 0 || expiry < nextExpiry_) nextExpiry_ = expiry;
  }
  ++perAddress_[entry.address];
  entries_.push_back(std::move(entry));
  auto added = std::prev(entries_.end());
  byKey_.emplace(added->key, added);
}

void RegistrationBook::Remove(std::list<Entry>::iterator entry) {
  auto count = perAddress_.find(entry->address);
  if (count != perAddress_.end() && --count->second == 0) perAddress_.erase(count);
  byKey_.erase(entry->key);
  entries_.erase(entry);
}

void RegistrationBook::DropExpired(int64_t now, uint32_t lifetimeCap) {
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    auto next = std::next(entry);
    if (entry->Expired(now, lifetimeCap)) {
      Remove(entry);
      rewriteNeeded_ = true;
    }
    entry = next;
  }
}

void RegistrationBook::Apply(const RegistrationChange& change) {
  int64_t slot = -1;
  size_t slotLength = 0;
  if (auto old = byKey_.find(change.key); old != byKey_.end()) {
    // The new line may go where the old one is.
    slot = old->second->slot;
    slotLength = old->second->slotLength;
    Remove(old->second);
    if (change.lifetime == 0 && slot >= 0) rewriteNeeded_ = true;
  }
  if (change.lifetime != 0) Add(change.line, slot, slotLength);
}

bool RegistrationBook::WithinLimits(const RegistrationChange& change) {
  if (change.lifetime == 0) return true;
  if (auto old = byKey_.find(change.key); old != byKey_.end() && !old->second->Expired(change.now, change.lifetimeCap)) {
    return true;  // a refresh
  }
  auto fits = [&] {
    auto fromSource = perAddress_.find(change.sourceAddress);
    return entries_.size() < limits_.total &&
           (fromSource == perAddress_.end() || fromSource->second < limits_.perSourceAddress);
  };
  if (fits()) return true;
  // Expired bindings count until a write drops them: drop them now before
  // refusing anyone.
  DropExpired(change.now, change.lifetimeCap);
  return fits();
}

RegistrationBook::Outcome RegistrationBook::Record(RegistrationChange change, Written written) {
  bool writer;
  RegistrationListPaths paths = PathsNow();
  {
    std::scoped_lock lock(mutex_);
    if (!Current(paths)) return Outcome::Failed;
    if (!WithinLimits(change)) return Outcome::OverLimit;
    Apply(change);
    pending_.push_back(std::move(change));
    makers_.push_back(std::move(written));
    writer = writerRunning_;
  }
  if (writer) changed_.notify_one();
  else WritePending();
  return Outcome::Taken;
}

uint32_t RegistrationBook::FindByUser(std::string& user, char separator, uint32_t lifetimeCap) {
  std::string prefix = ToLower(user);
  if (separator != '\0') prefix += separator;
  int64_t now = CalendarSeconds();
  RegistrationListPaths paths = PathsNow();
  std::scoped_lock lock(mutex_);
  if (!Current(paths)) return 0;
  // The last line matching: the latest registration.
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->key.empty() || !entry->key.starts_with(prefix) || entry->Expired(now, lifetimeCap)) continue;
    user = entry->key;
    return entry->hasExpires ? entry->expires : 1;
  }
  return 0;
}

bool RegistrationBook::AuthenticatedFrom(std::string_view user, std::string_view addressAndPort,
                                         uint32_t lifetimeCap) {
  if (user.empty() || addressAndPort.empty()) return false;
  std::string key = ToLower(user) + '@' + ToLower(addressAndPort);
  int64_t now = CalendarSeconds();
  RegistrationListPaths paths = PathsNow();
  std::scoped_lock lock(mutex_);
  if (!Current(paths)) return false;
  auto entry = byKey_.find(key);
  return entry != byKey_.end() && entry->second->authenticated && !entry->second->Expired(now, lifetimeCap);
}

bool RegistrationBook::PlanLineWrites(std::vector<ListLineAt>& lines) {
  if (!fileWhole_ || rewriteNeeded_ || (nextExpiry_ != 0 && pending_.back().now > nextExpiry_)) return false;
  for (const RegistrationChange& change : pending_) {
    auto found = byKey_.find(change.key);
    if (found == byKey_.end()) continue;  // gone again: its removal was marked
    Entry& entry = *found->second;
    if (entry.slot < 0) {
      entry.slot = fileSize_;
      entry.slotLength = entry.line.size();
      fileSize_ += static_cast<int64_t>(entry.slotLength);
    } else if (entry.slotLength != entry.line.size()) {
      return false;
    }
    // A key changed twice meanwhile is written twice, its latest line last.
    lines.push_back({entry.slot, entry.line});
  }
  return true;
}

std::string RegistrationBook::PlanRewrite() {
  // Expired lines are dropped at every rewrite, as the latest change sees
  // them, in the one pass that lists the others.
  const RegistrationChange& latest = pending_.back();
  std::string text;
  text.reserve(static_cast<size_t>(fileSize_) + 256);
  nextExpiry_ = 0;
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    auto next = std::next(entry);
    if (entry->Expired(latest.now, latest.lifetimeCap)) {
      Remove(entry);
    } else {
      entry->slot = static_cast<int64_t>(text.size());
      entry->slotLength = entry->line.size();
      text += entry->line;
      if (entry->hasExpires && (nextExpiry_ == 0 || entry->regTime + entry->expires < nextExpiry_)) {
        nextExpiry_ = entry->regTime + entry->expires;
      }
    }
    entry = next;
  }
  fileSize_ = static_cast<int64_t>(text.size());
  fileWhole_ = true;
  rewriteNeeded_ = false;
  return text;
}

bool RegistrationBook::WritePending() {
  std::scoped_lock writing(writeMutex_);
  std::vector<ListLineAt> lines;  // over the list or after it, or
  std::string text;               // the whole list, written in one piece
  bool rewrite = false;
  bool written = true;
  std::vector<Written> makers;
  RegistrationListPaths paths;  // as the changes found them: the writer never calls the host
  {
    std::scoped_lock lock(mutex_);
    if (pending_.empty()) return true;
    // Lines go where the book thinks the list has them: after a failed
    // write, or an edit since the changes came, the list is read again
    // first and the changes replayed over it.
    RegistrationListPaths listed = paths_;
    written = Current(listed);
    if (written) rewrite = !PlanLineWrites(lines);
    if (written && rewrite) text = PlanRewrite();
    makers = std::move(makers_);
    makers_.clear();
    writing_ = std::move(pending_);
    pending_.clear();
    writeInFlight_ = true;
    paths = paths_;
  }
  written = written && (rewrite ? ReplaceRegistrationList({std::move(text)}, paths)
                                 : WriteRegistrationLinesAt(lines, paths.list));
  {
    std::scoped_lock lock(mutex_);
    writing_.clear();
    writeInFlight_ = false;
    // A failed write forgets its changes: the list is read again, with
    // only the changes that came after.
    if (written) stamp_ = StampOfFile(paths.list);
    else loaded_ = false;
  }
  for (Written& maker : makers) maker(written);
  return written;
}

void RegistrationBook::RunWriter() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (pending_.empty()) return;  // stopping, with everything written
    lock.unlock();
    WritePending();
    lock.lock();
  }
}

void RegistrationBook::StartWriter() {
  std::scoped_lock lock(mutex_);
  if (writerRunning_) return;
  stopping_ = false;
  writerRunning_ = true;
  writer_ = std::thread([this] { RunWriter(); });
}

void RegistrationBook::StopWriter() {
  {
    std::scoped_lock lock(mutex_);
    stopping_ = true;
    writerRunning_ = false;
  }
  changed_.notify_one();
  if (writer_.joinable()) writer_.join();
  WritePending();  // what came without a writer
}

}  // namespace talvenor
