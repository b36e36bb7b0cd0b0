#include "bitmap/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "bitmap/bmp_file.h"
#include "bitmap/format.h"
#include "platform/files/files.h"
#include "tests/support/temp_dir.h"

namespace lumora::bitmap {
namespace {

constexpr DecodeLimits kLimits = kHandheldPictureLimits;

// A version-2 bitmap of the given rows (plain, or coded with packRuns).
Bytes bitmapOf(int16_t width, int16_t height, uint8_t bits, const Bytes& plain, bool coded) {
  BitmapHeader h;
  h.width = width;
  h.height = height;
  h.bitsPerPixel = bits;
  h.rawSize = static_cast<uint32_t>(plain.size());
  h.compressionType = coded ? 1 : 0;
  auto header = buildHeader(h);
  Bytes b(header.begin(), header.end());
  const Bytes data = coded ? packRuns(plain, runUnitFor(bits)) : plain;
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// A coded 1-bit bitmap of sides as large as the header holds, as a hostile handheld
// would send it: 2.1 MB of runs announcing 134 MB of rows.
Bytes hostileBitmap() {
  BitmapHeader h;
  h.width = 32767;
  h.height = 32767;
  h.bitsPerPixel = 1;
  h.compressionType = 1;
  h.rawSize = rowLength(h.width, 1) * uint32_t(h.height);
  auto header = buildHeader(h);
  Bytes b(header.begin(), header.end());
  for (uint32_t left = h.rawSize; left > 0; left -= std::min(left, 127u)) {
    b.push_back(static_cast<uint8_t>(std::min(left, 127u)));
    b.push_back(0xFF);
  }
  return b;
}

// The blue, green, red bytes of pixel (x, y), (0, 0) top-left, of a decoded picture.
Bytes pixelAt(const DecodedPicture& p, int32_t x, int32_t y) {
  const size_t at = static_cast<size_t>(p.height - 1 - y) * bmpRowLength(p.width) + 3 * x;
  return Bytes(p.rows.begin() + static_cast<std::ptrdiff_t>(at),
               p.rows.begin() + static_cast<std::ptrdiff_t>(at) + 3);
}

TEST(BmpFile, SizesAndHeaders) {
  EXPECT_EQ(bmpRowLength(1), 4u);
  EXPECT_EQ(bmpRowLength(4), 12u);
  EXPECT_EQ(bmpRowLength(161), 484u);
  EXPECT_EQ(bmpRowLength(160), 480u);

  const auto h = bmpHeaders(160, 160);
  const Bytes expected = {'B', 'M', 0x36, 0x2C, 0x01, 0x00, 0, 0, 0,   0, 54, 0, 0, 0,  // file
                          40,  0,   0,    0,    160,  0,    0, 0, 160, 0, 0,  0, 1, 0,
                          24,  0,   0,    0,    0,    0,    0, 0, 0,   0, 0,  0, 0, 0,
                          0,   0,   0,    0,    0,    0,    0, 0, 0,   0, 0,  0};
  EXPECT_EQ(Bytes(h.begin(), h.end()), expected);
  EXPECT_EQ(loadLe32(&h[2]), 76854u);
}

TEST(PixelToColour, TablesAndRgb565) {
  const struct {
    uint16_t value;
    unsigned bits;
    Rgb colour;
  } cases[] = {
      {0, 1, {255, 255, 255}},
      {1, 1, {0, 0, 0}},
      {1, 2, {0xC0, 0xC0, 0xC0}},
      {15, 4, {0, 0, 0}},
      {0, 4, {255, 255, 255}},
      {125, 8, {255, 0, 0}},
      {0xFFFF, 16, {248, 252, 248}},
      {0xF800, 16, {248, 0, 0}},
      {0x07E0, 16, {0, 252, 0}},
      {0x001F, 16, {0, 0, 248}},
      {0x0821, 12, {8, 4, 8}},
      {5, 3, {0, 0, 0}},
      {0, 3, {0, 0, 0}},
      {1, 0, {0, 0, 0}},
      {1, 7, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const Rgb got = pixelToColour(c.value, c.bits);
    EXPECT_EQ(got, c.colour) << c.value << " at " << c.bits << " bits";
  }
}

TEST(Decoder, PlacesPixelsOfEveryDepth) {
  const struct {
    const char* name;
    uint8_t bits;
    Bytes row;  // one row of 4 pixels (padding included)
    Bytes bgr[4];
  } cases[] = {
      {"1 bit, leftmost pixel in the top bit",
       1,
       {0b10100000, 0},
       {{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {255, 255, 255}}},
      {"2 bits",
       2,
       {0b00011011, 0},
       {{255, 255, 255}, {0xC0, 0xC0, 0xC0}, {0x80, 0x80, 0x80}, {0, 0, 0}}},
      {"4 bits",
       4,
       {0x0F, 0x1E},
       {{255, 255, 255}, {0, 0, 0}, {0xEE, 0xEE, 0xEE}, {0x11, 0x11, 0x11}}},
      {"8 bits", 8, {0, 125, 215, 230}, {{255, 255, 255}, {0, 0, 255}, {0, 0, 0}, {0x80, 0x80, 0}}},
      {"16 bits",
       16,
       {0xFF, 0xFF, 0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F},
       {{0xF8, 0xFC, 0xF8}, {0, 0, 248}, {0, 252, 0}, {248, 0, 0}}},
      {"3 bits: all black", 3, {0xFF, 0xFF}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
      {"0 bits: all black", 0, {0xFF, 0xFF}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
  };
  for (const auto& c : cases) {
    for (bool coded : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (coded ? ", coded" : ", plain"));
      std::string reason;
      auto p = decodeToRows(bitmapOf(4, 1, c.bits, c.row, coded), kLimits, &reason);
      ASSERT_TRUE(p) << reason;
      ASSERT_EQ(p->rows.size(), 12u);
      for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelAt(*p, x, 0), c.bgr[x]) << x;
    }
  }
}

TEST(Decoder, WritesRowsBottomUpWithZeroPadding) {
  // 1 x 2 at 8 bits: top red (125), bottom blue (95).
  auto p = decodeToRows(bitmapOf(1, 2, 8, {125, 0, 95, 0}, false), kLimits);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->rows, (Bytes{255, 0, 0, 0, 0, 0, 255, 0}));  // bottom row first
}

TEST(Decoder, ReadsTheOlderLayout) {
  // 18 bytes, header length 10, 4 x 2 at 8 bits: rows of 4 bytes from offset 10.
  Bytes b(18, 0);
  b[0] = 10;
  b[1] = 1;
  storeBe16(&b[2], 4);
  storeBe16(&b[4], 2);
  b[6] = 8;
  const uint8_t rows[8] = {0, 125, 210, 95, 215, 0, 0, 0};
  std::copy(rows, rows + 8, b.begin() + 10);
  auto p = decodeToRows(b, kLimits);
  ASSERT_TRUE(p);
  EXPECT_EQ(pixelAt(*p, 1, 0), (Bytes{0, 0, 255}));
  EXPECT_EQ(pixelAt(*p, 2, 0), (Bytes{0, 255, 0}));
  EXPECT_EQ(pixelAt(*p, 0, 1), (Bytes{0, 0, 0}));
  EXPECT_EQ(pixelAt(*p, 1, 1), (Bytes{255, 255, 255}));
}

TEST(Decoder, CodedStreamsThatOverfillOrCarryEmptyPackets) {
  const struct {
    const char* name;
    Bytes coded;
  } cases[] = {
      {"last repeat longer than the room left", {0x02, 215, 0x7F, 0}},
      {"zero and -128 counts in between", {0x00, 0x02, 215, 0x80, 0x00, 0x02, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapHeader h;
    h.width = 4;
    h.height = 1;
    h.bitsPerPixel = 8;
    h.compressionType = 1;
    h.rawSize = 4;
    auto header = buildHeader(h);
    Bytes b(header.begin(), header.end());
    b.insert(b.end(), c.coded.begin(), c.coded.end());
    auto p = decodeToRows(b, kLimits);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->rows, (Bytes{0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255}));
  }
}

// Inputs that a crash-free decoder must refuse without writing anything.
std::vector<std::pair<const char*, Bytes>> unsoundBitmaps() {
  std::vector<std::pair<const char*, Bytes>> cases;
  const Bytes good = bitmapOf(4, 2, 8, Bytes(8, 7), false);
  auto changed = [&](auto edit) {
    Bytes b = good;
    edit(b);
    return b;
  };
  cases.push_back({"empty", {}});
  cases.push_back({"header cut", Bytes(good.begin(), good.begin() + 20)});
  cases.push_back({"height 0", changed([](Bytes& b) { storeBe16(&b[4], 0); })});
  cases.push_back({"height -2", changed([](Bytes& b) { storeBe16(&b[4], 0xFFFE); })});
  cases.push_back({"width 0", changed([](Bytes& b) { storeBe16(&b[2], 0); })});
  cases.push_back({"width -4", changed([](Bytes& b) { storeBe16(&b[2], 0xFFFC); })});
  cases.push_back({"width beyond the rows", changed([](Bytes& b) { storeBe16(&b[2], 5); })});
  cases.push_back({"rawSize past the data", changed([](Bytes& b) { storeBe32(&b[12], 9); })});
  cases.push_back({"data cut", Bytes(good.begin(), good.end() - 1)});
  cases.push_back({"coded stream runs out", changed([](Bytes& b) {
                     b[11] = 1;
                     b.resize(34);
                     b[32] = 0x03;
                     b[33] = 7;
                   })});
  cases.push_back({"coded stream of empty packets", changed([](Bytes& b) {
                     b[11] = 1;
                     std::fill(b.begin() + 32, b.end(), 0x80);
                   })});
  Bytes older(18, 0);
  older[0] = 200;
  older[1] = 1;
  storeBe16(&older[2], 4);
  storeBe16(&older[4], 2);
  older[6] = 8;
  cases.push_back({"older header length past the data", older});
  older[0] = 10;
  older.resize(17);
  cases.push_back({"older rows too short for the width", older});
  return cases;
}

TEST(Decoder, RefusesUnsoundBitmaps) {
  test::TempDir dir;
  for (const auto& [name, bitmap] : unsoundBitmaps()) {
    SCOPED_TRACE(name);
    std::string reason;
    EXPECT_FALSE(decodeToRows(bitmap, kLimits, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(decodeBitmap(bitmap, dir.file("out.bmp"), true, kLimits));
    EXPECT_FALSE(test::fileExists(dir.file("out.bmp")));
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Decoder, RefusesBitmapsBeyondTheLimits) {
  const DecodeLimits limits{16, 8, 16 * 8 * 3};
  const struct {
    const char* name;
    Bytes bitmap;
    const char* reason;  // nullptr: decoded
  } cases[] = {
      {"at every limit", bitmapOf(16, 8, 16, Bytes(32 * 8, 0), true), nullptr},
      {"one pixel wider", bitmapOf(17, 8, 8, Bytes(18 * 8, 0), false), "17 x 8 pixels"},
      {"one row taller", bitmapOf(16, 9, 8, Bytes(16 * 9, 0), true), "16 x 9 pixels"},
      {"coded data expanding beyond the output", bitmapOf(4, 4, 8, Bytes(400, 0), true),
       "needs 400 bytes"},
      {"plain rows padded beyond the output", bitmapOf(2, 2, 8, Bytes(500, 0), false),
       "needs 500 bytes"},
      {"hostile 32767 x 32767", hostileBitmap(), "32767 x 32767 pixels"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reason;
    auto decoder = RowDecoder::open(c.bitmap, limits, &reason);
    EXPECT_EQ(bool(decoder), c.reason == nullptr) << reason;
    if (c.reason) {
      EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
      EXPECT_FALSE(decodeBitmap(c.bitmap, dir.file("out.bmp"), true, limits));
      EXPECT_FALSE(test::fileExists(dir.file("out.bmp")));
    }
  }
  // The same bitmaps within the handheld limits, but for the hostile one.
  EXPECT_TRUE(decodeToRows(bitmapOf(17, 8, 8, Bytes(18 * 8, 0), false), kLimits));
  EXPECT_FALSE(decodeToRows(cases[5].bitmap, kLimits));
}

TEST(Decoder, StreamsTheSameBytesAsItDecodesInMemory) {
  // 300 x 200 at 16 bits: .bmp rows of 900 bytes, several write batches.
  Bytes plain(600 * 200);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + i / 600);
  for (bool coded : {false, true}) {
    SCOPED_TRACE(coded ? "coded" : "plain");
    const Bytes bitmap = bitmapOf(300, 200, 16, plain, coded);
    auto rows = decodeToRows(bitmap, kLimits);
    ASSERT_TRUE(rows);
    test::TempDir dir;
    ASSERT_TRUE(decodeBitmap(bitmap, dir.file("p.bmp"), false, kLimits));
    const auto headers = bmpHeaders(300, 200);
    Bytes expected(headers.begin(), headers.end());
    expected.insert(expected.end(), rows->rows.begin(), rows->rows.end());
    EXPECT_EQ(test::readFile(dir.file("p.bmp")), expected);
  }
}

TEST(Decoder, WritesA160By160File) {
  test::TempDir dir;
  const std::string path = dir.file("Sunset.bmp");
  ASSERT_TRUE(decodeBitmap(bitmapOf(160, 160, 8, Bytes(25600, 0), true), path, false, kLimits));
  const Bytes file = test::readFile(path);
  ASSERT_EQ(file.size(), 76854u);
  const auto headers = bmpHeaders(160, 160);
  EXPECT_TRUE(std::equal(headers.begin(), headers.end(), file.begin()));
  EXPECT_EQ(file[54], 255);  // white
}

TEST(Decoder, OverwriteFlag) {
  test::TempDir dir;
  const std::string path = dir.file("Beach.bmp");
  const Bytes bitmap = bitmapOf(2, 2, 8, {0, 0, 0, 0}, false);
  test::writeText(path, "keep me");

  EXPECT_FALSE(decodeBitmap(bitmap, path, false, kLimits));
  EXPECT_EQ(test::readText(path), "keep me");

  EXPECT_TRUE(decodeBitmap(bitmap, path, true, kLimits));
  EXPECT_EQ(test::readFile(path).size(), 54u + 2 * 8);

  EXPECT_FALSE(decodeBitmap(bitmap, dir.file("no/such/folder.bmp"), true, kLimits));
  // Nothing but the picture is left in the folder: no temporary files.
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

// Host files, except that every output fails at its Nth write.
class FailingWrites final : public files::FileSystem {
 public:
  explicit FailingWrites(int failAt) : failAt_(failAt) {}
  std::vector<std::string> find(std::string_view p) override { return host().find(p); }
  bool existsForRead(std::string_view p) override { return host().existsForRead(p); }
  std::unique_ptr<files::InputFile> openInput(std::string_view p, files::Share s) override {
    return host().openInput(p, s);
  }
  std::unique_ptr<files::OutputFile> createOutput(std::string_view p, bool replace) override {
    auto inner = host().createOutput(p, replace);
    if (!inner) return nullptr;
    return std::make_unique<Output>(std::move(inner), failAt_);
  }
  bool remove(std::string_view p) override { return host().remove(p); }
  bool makeFolders(std::string_view p) override { return host().makeFolders(p); }
  std::string tempFolder() override { return host().tempFolder(); }

 private:
  class Output final : public files::OutputFile {
   public:
    Output(std::unique_ptr<files::OutputFile> inner, int failAt)
        : inner_(std::move(inner)), left_(failAt) {}
    bool write(const uint8_t* b, size_t n) override {
      if (--left_ == 0) {
        inner_->write(b, n / 2);  // half of it reaches the temporary file
        return false;
      }
      return inner_->write(b, n);
    }
    bool commit() override { return left_ > 0 && inner_->commit(); }

   private:
    std::unique_ptr<files::OutputFile> inner_;
    int left_;
  };
  static files::FileSystem& host() { return files::hostFileSystem(); }
  int failAt_;
};

TEST(Decoder, FailedWriteKeepsTheOldPictureAndLeavesNoPart) {
  // The headers, the first batch of rows, a later one.
  for (int failAt : {1, 2, 3}) {
    SCOPED_TRACE(failAt);
    test::TempDir dir;
    const std::string path = dir.file("Old.bmp");
    test::writeText(path, "old picture");
    FailingWrites failing(failAt);
    files::FileSystem* previous = files::setFileSystem(&failing);
    const Bytes bitmap = bitmapOf(300, 200, 8, Bytes(300 * 200, 0), false);
    const bool written = decodeBitmap(bitmap, path, true, kLimits);
    const bool fresh = decodeBitmap(bitmap, dir.file("New.bmp"), false, kLimits);
    files::setFileSystem(previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(fresh);
    EXPECT_EQ(test::readText(path), "old picture");
    EXPECT_FALSE(test::fileExists(dir.file("New.bmp")));
    size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      (void)e;
      ++entries;
    }
    EXPECT_EQ(entries, 1u);
  }
}

}  // namespace
}  // namespace lumora::bitmap
