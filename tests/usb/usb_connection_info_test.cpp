#include "hotsync/link/usb_connection_info.h"

#include <gtest/gtest.h>

#include "tests/hotsync/link/hex.h"

namespace lumora::link {
namespace {

using test::hex;

struct Case {
  const char* name;
  const char* answer;
  std::optional<UsbEndpoints> want;  // nullopt: refused
  const char* error = "";            // part of the refusal's text
};

template <size_t N>
void expectDecodes(Result<UsbEndpoints> (*decode)(ByteView), const Case (&cases)[N]) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto got = decode(hex(c.answer));
    ASSERT_EQ(bool(got), c.want.has_value()) << (got ? "" : got.error().message);
    if (got)
      EXPECT_EQ(*got, *c.want);
    else
      EXPECT_NE(got.error().message.find(c.error), std::string::npos) << got.error().message;
  }
}

TEST(UsbConnectionInfo, ExtendedAnswersPickTheHotSyncPort) {
  const Case cases[] = {
      {"one port, same endpoint", "01 00 0000  63 6e 79 73 02 00 0000", UsbEndpoints{2, 2}},
      {"second port is HotSync", "02 00 0000  62 75 67 64 01 00 0000  63 6e 79 73 03 00 0000",
       UsbEndpoints{3, 3}},
      {"different endpoints", "01 01 0000  63 6e 79 73 00 82 0000", UsbEndpoints{8, 2}},
      {"full 20 bytes, one port", "01 00 0000  63 6e 79 73 02 00 0000  0000000000000000",
       UsbEndpoints{2, 2}},
      {"no port", "00 00 0000  63 6e 79 73 02 00 0000", std::nullopt, "no port"},
      {"three ports", "03 00 0000  63 6e 79 73 02 00 0000  0000000000000000", std::nullopt,
       "3 ports"},
      {"255 ports", "ff 00 0000  63 6e 79 73 02 00 0000", std::nullopt, "255 ports"},
      {"two ports, one sent", "02 00 0000  63 6e 79 73 02 00 0000", std::nullopt,
       "12 bytes for 2 ports"},
      {"no HotSync port", "01 00 0000  62 75 67 64 01 00 0000", std::nullopt, "no HotSync"},
      {"creator reversed the other way", "01 00 0000  73 79 6e 63 02 00 0000", std::nullopt,
       "no HotSync"},
      {"endpoint 0", "01 00 0000  63 6e 79 73 00 00 0000", std::nullopt, "endpoints 0 in"},
      {"endpoint 16", "01 00 0000  63 6e 79 73 10 00 0000", std::nullopt, "endpoints 16 in"},
      {"different endpoints, out 0", "01 01 0000  63 6e 79 73 02 20 0000", std::nullopt, "0 out"},
      {"empty", "", std::nullopt, "0 bytes"},
      {"header only", "01 00 0000", std::nullopt, "4 bytes for 1 ports"},
      {"longer than asked", "01 00 0000  63 6e 79 73 02 00 0000  000000000000000000", std::nullopt,
       "21 bytes"},
  };
  expectDecodes(decodeExtConnectionInfo, cases);
}

TEST(UsbConnectionInfo, ShortAnswersPickTheHotSyncPort) {
  const Case cases[] = {
      {"one HotSync port", "0100 02 02", UsbEndpoints{2, 2}},
      {"console then HotSync", "0200 03 01 02 04", UsbEndpoints{4, 4}},
      {"count is little-endian", "0001 02 02", std::nullopt, "256 ports"},
      {"no port", "0000 02 02", std::nullopt, "no port"},
      {"three ports", "0300 02 02 02 02", std::nullopt, "3 ports"},
      {"two ports, one sent", "0200 02 02", std::nullopt, "4 bytes for 2 ports"},
      {"no HotSync port", "0200 00 01 01 02", std::nullopt, "no HotSync"},
      {"HotSync on endpoint 0", "0100 02 00", std::nullopt, "endpoint 0"},
      {"HotSync on endpoint 200", "0100 02 c8", std::nullopt, "endpoint 200"},
      {"one byte", "01", std::nullopt, "1 bytes"},
      {"seven bytes", "0100 02 02 000000", std::nullopt, "7 bytes"},
  };
  expectDecodes(decodeConnectionInfo, cases);
}

TEST(UsbConnectionInfo, BytesAvailableIsTwoBigEndianBytes) {
  EXPECT_EQ(*decodeNumBytesAvailable(hex("0001")), 1);
  EXPECT_EQ(*decodeNumBytesAvailable(hex("0100")), 256);
  for (const char* wrong : {"", "01", "000100"}) EXPECT_FALSE(decodeNumBytesAvailable(hex(wrong)));
}

}  // namespace
}  // namespace lumora::link
