#include "transport/message_log.h"

#include <cstdio>
#include <memory>

#include <fmt/printf.h>

namespace talvenor {

bool AppendLogRecord(const std::string& path, std::string_view dateText, std::string_view dottedSource,
                     uint16_t hostPort, std::string_view mark, std::string_view datagram) {
  std::unique_ptr<FILE, int (*)(FILE*)> log(std::fopen(path.c_str(), "ab"), &std::fclose);
  if (!log) return false;
  std::string record = fmt::sprintf("%s\t%s:%u\t%s\n", dateText, dottedSource, hostPort, mark);
  record += "================================================\n";
  record.append(datagram);
  std::fwrite(record.data(), 1, record.size(), log.get());
  return true;
}

}  // namespace talvenor
