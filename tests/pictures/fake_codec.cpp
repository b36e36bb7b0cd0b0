#include "tests/pictures/fake_codec.h"

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace lumora::test {
namespace {

FakeCodec* active = nullptr;

std::optional<Bytes> fakeEncode(std::string_view path, const DeviceCapabilities& caps,
                                const bitmap::EncodeOptions&) {
  active->encodes.push_back({std::string(path), caps.maxWidth, caps.maxHeight});
  std::string host = hostPath(std::string(path));
  if (!fileExists(host)) return std::nullopt;
  Bytes bytes = readFile(host);
  if (bytes.size() >= 3 && bytes[0] == 'B' && bytes[1] == 'I' && bytes[2] == 'G')
    return std::nullopt;
  return bytes;
}

bool fakeDecode(ByteView bitmap, std::string_view path, bool overwrite,
                const bitmap::DecodeLimits&) {
  active->decodes.push_back({Bytes(bitmap.begin(), bitmap.end()), std::string(path), overwrite});
  if (!active->decodeSucceeds) return false;
  writeFile(hostPath(std::string(path)), Bytes(bitmap.begin(), bitmap.end()));
  return true;
}

}  // namespace

std::string hostPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

FakeCodec::FakeCodec() : saved_(pictures::codec()) {
  active = this;
  pictures::codec() = {&fakeEncode, &fakeDecode};
}

FakeCodec::~FakeCodec() {
  pictures::codec() = saved_;
  active = nullptr;
}

}  // namespace lumora::test
