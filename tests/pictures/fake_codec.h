// Stands in for the bitmap conversions while a test runs: "encodes" a file to its own
// bytes (refusing files that start with "BIG" or that are missing) and "decodes" by
// writing the bytes as they are. Every call is recorded.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bitmap/device_capabilities.h"
#include "common/bytes.h"
#include "pictures/codec.h"

namespace lumora::test {

struct EncodeCall {
  std::string path;
  int16_t maxWidth;
  int16_t maxHeight;
};

struct DecodeCall {
  Bytes data;
  std::string path;
  bool overwrite;
};

class FakeCodec {
 public:
  FakeCodec();
  ~FakeCodec();
  FakeCodec(const FakeCodec&) = delete;
  FakeCodec& operator=(const FakeCodec&) = delete;

  std::vector<EncodeCall> encodes;
  std::vector<DecodeCall> decodes;
  bool decodeSucceeds = true;

 private:
  pictures::Codec saved_;
};

// "folder\name" as a host path.
std::string hostPath(std::string path);

}  // namespace lumora::test
