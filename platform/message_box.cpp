#include "platform/message_box.h"

#include <cstdio>
#include <map>

#include "platform/system_message_box.h"

namespace talvenor {

namespace {

// Never destroyed: a message raised while the process exits still finds its text.
const std::map<int, const char*>& StringTable() {
#define MESSAGE_TEXT(id, text) {id, text},
  static const auto* table = new std::map<int, const char*>{
#include "platform/message_texts.inc"
  };
#undef MESSAGE_TEXT
  return *table;
}

}  // namespace

std::string MessageText(int id) {
  auto found = StringTable().find(id);
  return found == StringTable().end() ? std::string() : std::string(found->second);
}

void ShowSystemMessage(int, const std::string& text, MessageIcon icon) {
  const char* kind = icon == MessageIcon::Error ? "error" : icon == MessageIcon::Warning ? "warning" : "info";
  std::fprintf(stderr, "talvenor (%s): %s\n", kind, text.c_str());
}

}  // namespace talvenor
