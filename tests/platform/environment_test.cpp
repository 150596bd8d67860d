#include <gtest/gtest.h>

#include "platform/endpoint.h"
#include "platform/environment.h"

namespace talvenor {
namespace {

TEST(LineCountVariable, OutOfRangeOrMissingGivesFourLines) {
  EXPECT_EQ(ParseLineCountVariable(std::string("0")), 4);
  EXPECT_EQ(ParseLineCountVariable(std::string("9")), 4);
  EXPECT_EQ(ParseLineCountVariable(std::string("-1")), 4);
  EXPECT_EQ(ParseLineCountVariable(std::string("abc")), 4);
  EXPECT_EQ(ParseLineCountVariable(std::nullopt), 4);
  EXPECT_EQ(ParseLineCountVariable(std::string("4294967298")), 4);  // not 2 after a wrap
  EXPECT_EQ(ParseLineCountVariable(std::string("99999999999999999999999")), 4);
  EXPECT_EQ(ParseLineCountVariable(std::string("2")), 2);
  EXPECT_EQ(ParseLineCountVariable(std::string("1")), 1);
}

TEST(SipAddressVariable, HexWithOrWithoutPrefixIsTheBindAddress) {
  EXPECT_EQ(DottedAddress(ParseSipAddressVariable("C0A80105")), "192.168.1.5");
  EXPECT_EQ(DottedAddress(ParseSipAddressVariable("0xC0A80105")), "192.168.1.5");
  EXPECT_EQ(DottedAddress(ParseSipAddressVariable("c0a80105")), "192.168.1.5");
  // Reading stops at the first character that is not a hex digit.
  EXPECT_EQ(DottedAddress(ParseSipAddressVariable("7F000001zz")), "127.0.0.1");
  EXPECT_EQ(ParseSipAddressVariable("nothing"), 0u);
  // More than 32 bits is no address, not its low digits: bind to all.
  EXPECT_EQ(ParseSipAddressVariable("1C0A80105"), 0u);
  EXPECT_EQ(ParseSipAddressVariable("FFFFFFFFFFFFFFFFFFFF"), 0u);
  EXPECT_EQ(DottedAddress(ParseSipAddressVariable("00C0A80105")), "192.168.1.5");
}

TEST(DottedAddressParse, AcceptsOnlyStrictDottedQuads) {
  EXPECT_EQ(DottedAddress(ParseDottedAddress("10.0.0.1")), "10.0.0.1");
  EXPECT_EQ(DottedAddress(ParseDottedAddress("255.255.255.255")), "255.255.255.255");
  for (const char* bad : {"10.1", "167772161", " 10.0.0.1", "10.0.0.1 ", "10.0.0.256", "1.2.3.4.5", ""}) {
    EXPECT_EQ(ParseDottedAddress(bad), 0u) << bad;
  }
}

}  // namespace
}  // namespace talvenor
