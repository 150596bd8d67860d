#include "transport/message_log.h"

#include <fmt/printf.h>

#include "platform/private_file.h"

namespace talvenor {

bool AppendLogRecord(const std::string& path, std::string_view dateText, std::string_view dottedSource,
                     uint16_t hostPort, std::string_view mark, std::string_view datagram) {
  FileHandle log = OpenPrivateFile(path, PrivateFileMode::Append);
  if (!log) return false;
  std::string record = fmt::sprintf("%s\t%s:%u\t%s\n", dateText, dottedSource, hostPort, mark);
  record += "================================================\n";
  record.append(datagram);
  bool written = WriteText(log.get(), record);
  return CloseFile(std::move(log)) && written;
}

}  // namespace talvenor
