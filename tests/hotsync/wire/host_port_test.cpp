#include <gtest/gtest.h>

#include "hotsync/store/handheld_state.h"
#include "hotsync/transport/tcp_stream.h"

namespace lumora::host {
namespace {

TEST(ParseHostPort, AddressesAndRefusals) {
  struct Case {
    const char* text;
    const char* host;  // null: refused
    uint16_t port;
  };
  const Case cases[] = {
      {"127.0.0.1:14238", "127.0.0.1", 14238},
      {"192.168.1.20:0", "192.168.1.20", 0},
      {":14238", kLoopback, 14238},
      {"14238", kLoopback, 14238},
      {"localhost:9", "localhost", 9},
      {"[::1]:14238", "::1", 14238},
      {"::1:14238", nullptr, 0},
      {"127.0.0.1:65536", nullptr, 0},
      {"127.0.0.1:", nullptr, 0},
      {"127.0.0.1:12x", nullptr, 0},
      {"127.0.0.1:-1", nullptr, 0},
      {"", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    auto parsed = parseHostPort(c.text, kLoopback, error);
    ASSERT_EQ(parsed.has_value(), c.host != nullptr) << error;
    if (!parsed) {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(parsed->host, c.host);
    EXPECT_EQ(parsed->port, c.port);
  }
}

TEST(HandheldState, RoundTripsAndSurvivesDamage) {
  link::HandheldUser user;
  user.name = "Alice Smith";
  user.userId = 4000000000u;
  user.viewerId = 2;
  user.lastSyncPc = 0xC0A80121;
  user.lastSync = {2026, 12, 9, 10, 30, 5, 0};
  user.lastSuccessfulSync = {2026, 12, 8, 23, 59, 59, 0};
  EXPECT_EQ(parseHandheldState(formatHandheldState(user)), user);

  link::HandheldUser none;
  EXPECT_EQ(parseHandheldState(formatHandheldState(none)), none);
  EXPECT_EQ(parseHandheldState(""), none);

  link::HandheldUser damaged = parseHandheldState(
      "[User]\r\nName=Bob\r\nUserId=12x\r\nLastSync=2026-13\nNoise\n=\nViewerId=99999999999\n"
      "Name=" +
      std::string(41, 'x') + "\n");
  EXPECT_EQ(damaged.name, "Bob");
  EXPECT_EQ(damaged.userId, 0u);
  EXPECT_EQ(damaged.viewerId, 0u);
  EXPECT_EQ(damaged.lastSync, link::dlp::Date{});

  link::HandheldUser twoLines;
  twoLines.name = "A\nUserId=5";
  EXPECT_EQ(parseHandheldState(formatHandheldState(twoLines)).userId, 0u);
}

}  // namespace
}  // namespace lumora::host
