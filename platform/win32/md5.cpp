#include "platform/md5.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <climits>

namespace talvenor {

namespace {

// The algorithm provider is opened once and kept for the life of the
// process: opening it is the costly step, and a handle may hash on several
// threads at once.
BCRYPT_ALG_HANDLE Md5Provider() {
  static BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&opened, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{};
    }
    return opened;
  }();
  return provider;
}

class HashObject {
public:
  ~HashObject() {
    if (hash_ != nullptr) BCryptDestroyHash(hash_);
  }
  BCRYPT_HASH_HANDLE* Receive() { return &hash_; }
  BCRYPT_HASH_HANDLE Get() const { return hash_; }

private:
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::optional<Md5Value> Md5(std::string_view bytes) {
  BCRYPT_ALG_HANDLE provider = Md5Provider();
  if (provider == nullptr) return std::nullopt;
  // The hash object's memory is left to the provider (null, 0).
  HashObject hash;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(provider, hash.Receive(), nullptr, 0, nullptr, 0, 0))) return std::nullopt;
  // BCryptHashData takes at most a ULONG at a time.
  while (!bytes.empty()) {
    ULONG piece = static_cast<ULONG>(std::min<size_t>(bytes.size(), ULONG_MAX));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), data, piece, 0))) return std::nullopt;
    bytes.remove_prefix(piece);
  }
  Md5Value digest{};
  if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
    return std::nullopt;
  }
  return digest;
}

}  // namespace talvenor
