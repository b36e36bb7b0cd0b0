// Conformance with the BMP test suite: every good file decodes to the reference pixels,
// every bad or questionable one is refused cleanly or decoded without fault.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/picture/picture.h"
#include "tests/platform/picture/sha256.h"
#include "tests/support/temp_dir.h"

namespace lumora::picture {
namespace {

const std::string kSuite = std::string(LUMORA_TESTDATA_DIR) + "/bmpsuite/";

struct Reference {
  std::string path;
  std::string kind;  // g, q or b
  int width = 0;
  int height = 0;
  std::string sha256;  // of R, G, B bytes, rows top to bottom
};

std::vector<Reference> references() {
  std::ifstream in(kSuite + "reference.tsv");
  std::vector<Reference> out;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
    if (f.size() < 6) continue;
    Reference r{f[0], f[1], 0, 0, f[5]};
    if (f[2] == "1") {
      r.width = std::stoi(f[3]);
      r.height = std::stoi(f[4]);
    }
    out.push_back(r);
  }
  return out;
}

std::string pixelDigest(const Picture& p) {
  std::vector<uint8_t> rgb;
  rgb.reserve(p.pixels.size() * 3);
  for (uint32_t c : p.pixels) {
    rgb.push_back(redOf(c));
    rgb.push_back(greenOf(c));
    rgb.push_back(blueOf(c));
  }
  return test::sha256Hex(rgb);
}

TEST(Sha256, KnownDigests) {
  const struct {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes(c.text.begin(), c.text.end());
    EXPECT_EQ(test::sha256Hex(bytes), c.digest) << c.text;
  }
}

TEST(BmpSuite, GoodFilesGiveTheReferencePixels) {
  auto refs = references();
  int good = 0;
  for (const Reference& r : refs) {
    if (r.kind != "g") continue;
    ++good;
    SCOPED_TRACE(r.path);
    std::string reason;
    auto p = parseBmp(test::readFile(kSuite + r.path), &reason);
    ASSERT_TRUE(p) << reason;
    EXPECT_EQ(p->width, r.width);
    EXPECT_EQ(p->height, r.height);
    EXPECT_EQ(pixelDigest(*p), r.sha256);
  }
  EXPECT_EQ(good, 27);
}

TEST(BmpSuite, BadAndQuestionableFilesAreRefusedOrDecoded) {
  int seen = 0;
  for (const Reference& r : references()) {
    if (r.kind == "g") continue;
    ++seen;
    SCOPED_TRACE(r.path);
    std::string reason;
    auto bytes = test::readFile(kSuite + r.path);
    auto p = parseBmp(bytes, &reason);
    if (p) {
      EXPECT_EQ(p->pixels.size(), size_t(p->width) * size_t(p->height));
    } else {
      EXPECT_FALSE(reason.empty());
    }
  }
  EXPECT_EQ(seen, 63);
}

// Files the suite calls bad that a reader must turn away rather than guess at.
TEST(BmpSuite, RefusesTheHopelessOnes) {
  for (const char* path :
       {"b/badbitcount.bmp", "b/badplanes.bmp", "b/badwidth.bmp", "b/reallybig.bmp",
        "b/shortfile.bmp", "b/rletopdown.bmp", "q/rgb24jpeg.bmp", "q/rgb24png.bmp"}) {
    std::string reason;
    EXPECT_FALSE(parseBmp(test::readFile(kSuite + path), &reason)) << path;
    EXPECT_FALSE(reason.empty()) << path;
  }
}

}  // namespace
}  // namespace lumora::picture
