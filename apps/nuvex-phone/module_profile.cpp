#include "apps/nuvex-phone/module_profile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "apps/nuvex-phone/platform/phone_profile.h"

namespace nuvex {

namespace {

// "%u,%u,..." read as far as it parses, at most `count` numbers.
std::vector<uint32_t> Numbers(const std::string& entry, size_t count) {
  std::string text = ReadProfileEntry(entry).value_or("");
  std::vector<uint32_t> values;
  const char* cursor = text.c_str();
  for (size_t index = 0; index < count; ++index) {
    if (index > 0 && *cursor++ != ',') break;
    unsigned value = 0;
    int consumed = 0;
    if (std::sscanf(cursor, "%u%n", &value, &consumed) != 1) break;
    values.push_back(value);
    cursor += consumed;
  }
  return values;
}

std::string WithoutBlanks(const std::string& text) {
  std::string kept;
  for (char c : text) {
    if (c != ' ' && c != '\t') kept += c;
  }
  return kept;
}

}  // namespace

std::vector<std::string> ProfileCodecs() {
  const char* names[] = {"PCMU", "PCMA", "GSM", "G.729"};
  std::vector<uint32_t> flags = Numbers("VoIP", 4);
  if (!ReadProfileEntry("VoIP")) flags = {1, 1, 1, 0};
  std::vector<std::string> codecs;
  for (size_t index = 0; index < flags.size(); ++index) {
    if (flags[index] != 0) codecs.emplace_back(names[index]);
  }
  return codecs;
}

std::string ProfileAddress() { return ReadProfileEntry("Address").value_or(""); }

std::string GatewayEntryName(int gateway) { return "GW" + std::to_string(gateway - 1); }

GatewayEntry ProfileGateway(int gateway) {
  std::string stored = ReadProfileEntry(GatewayEntryName(gateway)).value_or("");
  if (gateway == 1 && stored.empty()) return {false, "sip.example.net", "", "", "test", "ZOK8MUVA"};
  std::vector<std::string> fields(6);
  size_t start = 0;
  for (size_t index = 0; index < fields.size(); ++index) {
    size_t comma = stored.find(',', start);
    fields[index] = WithoutBlanks(stored.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  bool registering = std::strtoul(fields[0].c_str(), nullptr, 10) != 0;
  return {registering, fields[1], fields[2], fields[3], fields[4], fields[5]};
}

int ProfileSelectedGateway() {
  std::string text = ReadProfileEntry("GW").value_or("0");
  long selected = std::strtol(text.c_str(), nullptr, 10);
  return selected < 0 || selected > 2 ? 1 : static_cast<int>(selected) + 1;
}

std::string WithRegisterFlag(const std::string& stored, bool registering) {
  size_t comma = stored.find(',');
  std::string rest = comma == std::string::npos ? std::string(", , , , , ") : stored.substr(comma);
  return std::string(registering ? "1" : "0") + rest;
}

}  // namespace nuvex
