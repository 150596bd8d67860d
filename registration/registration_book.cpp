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
  loaded_ = true;
  stamp_ = stamp;
  paths_ = paths;
  entries_.clear();
  // A list read only in part would lose its other lines in the next write.
  readable_ = contents.state != ListContents::State::Failed;
  if (!readable_) return false;
  for (std::string& line : contents.lines) {
    if (!ListField(line, 0).empty()) entries_.emplace_back(std::move(line));
  }
  for (const RegistrationChange& change : writing_) Apply(change);
  for (const RegistrationChange& change : pending_) Apply(change);
  return true;
}

void RegistrationBook::Apply(const RegistrationChange& change) {
  std::erase_if(entries_, [&change](const Entry& entry) {
    return entry.key == change.key || entry.Expired(change.now, change.lifetimeCap);
  });
  if (change.lifetime != 0) entries_.emplace_back(change.line);
}

bool RegistrationBook::WithinLimits(const RegistrationChange& change) const {
  if (change.lifetime == 0) return true;
  size_t total = 0;
  size_t fromSource = 0;
  for (const Entry& entry : entries_) {
    if (entry.Expired(change.now, change.lifetimeCap)) continue;
    if (entry.key == change.key) return true;  // a refresh
    ++total;
    if (entry.address == change.sourceAddress) ++fromSource;
  }
  return total < limits_.total && fromSource < limits_.perSourceAddress;
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
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    return entry.key == key && entry.authenticated && !entry.Expired(now, lifetimeCap);
  });
}

bool RegistrationBook::WritePending() {
  std::scoped_lock writing(writeMutex_);
  std::string text;  // the whole list, written in one piece
  std::vector<Written> makers;
  RegistrationListPaths paths;  // as the changes found them: the writer never calls the host
  {
    std::scoped_lock lock(mutex_);
    if (pending_.empty()) return true;
    size_t size = 0;
    for (const Entry& entry : entries_) size += entry.line.size();
    text.reserve(size);
    for (const Entry& entry : entries_) text += entry.line;
    makers = std::move(makers_);
    makers_.clear();
    writing_ = std::move(pending_);
    pending_.clear();
    writeInFlight_ = true;
    paths = paths_;
  }
  bool written = ReplaceRegistrationList({std::move(text)}, paths);
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
