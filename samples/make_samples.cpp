// Writes the sample handheld and sync folder of the README demo, or a large set of
// pictures for the benchmark.
//
//   lumora-make-samples samples OUTDIR        OUTDIR/handheld and OUTDIR/sync
//   lumora-make-samples bench OUTDIR COUNT    COUNT pictures each way, 320 x 320
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "samples/sample_files.h"

namespace fs = std::filesystem;
using namespace lumora;
using namespace lumora::samples;

namespace {

constexpr uint32_t kAlbum = fourCC("LmDx");
constexpr uint32_t kPainter = fourCC("SkVa");

void usage(FILE* to) {
  std::fputs(
      "usage: lumora-make-samples samples OUTDIR\n"
      "       lumora-make-samples bench OUTDIR COUNT\n"
      "Writes a simulated handheld (OUTDIR/handheld, one .pdb per database) and a sync\n"
      "folder (OUTDIR/sync, .bmp files). 'samples' makes the README demo data; 'bench'\n"
      "makes COUNT 320 x 320 pictures on each side for the sync benchmark.\n",
      to);
}

bool writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "lumora-make-samples: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

PdbDatabase database(const std::string& name, uint32_t type, uint32_t creator,
                     uint16_t attributes) {
  PdbDatabase db;
  db.name = name;
  db.attributes = attributes;
  db.creationDate = kSampleDate;
  db.modificationDate = kSampleDate;
  db.type = type;
  db.creator = creator;
  return db;
}

// The 6-byte app-info block and 4096-byte records of a picture or info database.
void chunked(PdbDatabase& db, const Bytes& data) {
  Bytes info;
  appendBe16(info, 12);
  appendBe32(info, static_cast<uint32_t>(data.size()));
  db.appInfo = info;
  for (size_t at = 0; at < data.size(); at += 4096) {
    PdbRecord r;
    r.uniqueId = static_cast<uint32_t>(db.records.size() + 1);
    r.data.assign(data.begin() + static_cast<long>(at),
                  data.begin() + static_cast<long>(std::min(data.size(), at + 4096)));
    db.records.push_back(std::move(r));
  }
}

bool writeDatabase(const fs::path& folder, PdbDatabase db) {
  db.uniqueIdSeed = static_cast<uint32_t>(db.records.size() + 1);
  return writeFile(folder / pdbFileName(db.name), samples::serializePdb(db));
}

PdbDatabase formatDatabase(int16_t side) {
  PdbDatabase db = database("LumdexFormatDb", fourCC("fmtd"), kAlbum, 0x0008);
  Bytes record{0, 0, 0, 16};
  appendBe16(record, static_cast<uint16_t>(side));
  appendBe16(record, static_cast<uint16_t>(side));
  appendBe16(record, 144);
  appendBe32(record, 204800);
  appendU8(record, 1);
  appendU8(record, 0);
  db.records.push_back({0, 1, record});
  return db;
}

PdbDatabase infoDatabase(const std::vector<std::pair<std::string, uint8_t>>& entries) {
  Bytes blob{0, 1};
  appendBe32(blob, 0);
  appendBe16(blob, static_cast<uint16_t>(entries.size()));
  for (const auto& [name, flag] : entries) {
    Bytes e{0, 0};
    appendBe32(e, static_cast<uint32_t>(10 + name.size()));
    appendU8(e, 0);
    appendU8(e, 0);
    appendU8(e, flag);
    appendU8(e, static_cast<uint8_t>(name.size()));
    appendText(e, name);
    blob.insert(blob.end(), e.begin(), e.end());
  }
  PdbDatabase db = database("Sketvia_InfoDB", fourCC("iidb"), kAlbum, 0);
  chunked(db, blob);
  return db;
}

PdbDatabase pictureDatabase(const std::string& name, uint32_t type, uint32_t creator,
                            const Bytes& bitmap) {
  PdbDatabase db = database(name, type, creator, 0x0008);
  chunked(db, bitmap);
  return db;
}

uint32_t rgb(int r, int g, int b) {
  auto clamp = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
}

bool inCircle(int x, int y, int cx, int cy, int r) {
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

template <typename Fn>
Picture draw(int32_t width, int32_t height, Fn colourAt) {
  Picture p{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      p.pixels[size_t(y) * size_t(width) + size_t(x)] = colourAt(x, y);
  return p;
}

Picture meadow() {
  return draw(160, 120, [](int x, int y) {
    if (inCircle(x, y, 124, 26, 12)) return rgb(255, 220, 40);
    int hill = 70 + ((x / 20) % 3) * 5;
    if (y < hill) return rgb(90 + (y / 8) * 8, 150 + (y / 8) * 6, 255);
    return rgb(40 + (x * 7 + y * 13) % 5 * 6, 140 - ((y - hill) / 10) * 10, 40);
  });
}

Picture harbour() {
  return draw(160, 120, [](int x, int y) {
    if (y < 50) return rgb(200 - y, 220 - y, 255);
    if (x > 40 && x < 90 && y > 60 && y < 72) return rgb(150, 60, 20);
    return rgb(10, 60 + (x + y) % 40, 140);
  });
}

// Indices of the handheld system palette.
Picture doodle() {
  return draw(120, 90, [](int x, int y) -> uint32_t {
    if (inCircle(x, y, 40, 45, 25)) return 125;            // red
    if (x > 70 && x < 110 && y > 20 && y < 70) return 95;  // blue
    if (std::abs(x - y) < 2) return 210;                   // green
    return 0;                                              // white
  });
}

Picture lighthouse() {
  return draw(200, 150, [](int x, int y) {
    if (y > 110) return rgb(20, 80 + (x * 3 + y) % 60, 160);
    if (x >= 90 && x < 110 && y > 30) return ((y / 16) % 2) ? rgb(230, 30, 30) : rgb(250, 250, 250);
    if (inCircle(x, y, 100, 24, 9)) return rgb(255, 240, 120);
    return rgb(120 + y / 2, 170 + y / 3, 240);
  });
}

Picture monoSign() {
  return draw(64, 48, [](int x, int y) -> uint32_t {
    bool border = x < 2 || y < 2 || x > 61 || y > 45;
    bool check = ((x / 8) + (y / 8)) % 2 == 0;
    return border || check ? 0 : 1;
  });
}

Picture greys() {
  return draw(100, 60, [](int x, int) -> uint32_t { return static_cast<uint32_t>(x * 16 / 100); });
}

Picture tiles() {
  return draw(96, 96, [](int x, int y) -> uint32_t {
    return static_cast<uint32_t>((y / 12) * 8 + x / 12) * 4 % 256;
  });
}

std::vector<uint32_t> tilePalette() {
  std::vector<uint32_t> palette;
  for (int i = 0; i < 256; ++i)
    palette.push_back(rgb((i * 37) % 256, (i * 91) % 256, (i * 53) % 256));
  return palette;
}

bool makeFolders(const fs::path& out, fs::path& handheld, fs::path& sync) {
  handheld = out / "handheld";
  sync = out / "sync";
  std::error_code ec;
  fs::create_directories(handheld, ec);
  fs::create_directories(sync, ec);
  if (!fs::is_directory(handheld) || !fs::is_directory(sync)) {
    std::fprintf(stderr, "lumora-make-samples: cannot create the folders in %s\n",
                 out.string().c_str());
    return false;
  }
  return true;
}

int makeSamples(const fs::path& out) {
  fs::path handheld, sync;
  if (!makeFolders(out, handheld, sync)) return 1;
  bool ok = writeDatabase(handheld, formatDatabase(320)) &&
            writeDatabase(handheld, infoDatabase({{"Harbour", 0}, {"Meadow", 1}, {"Doodle", 1}})) &&
            writeDatabase(handheld, pictureDatabase("Meadow", fourCC("bpmc"), kAlbum,
                                                    handheldBitmap16(meadow(), 144, true))) &&
            writeDatabase(handheld, pictureDatabase("Harbour", fourCC("bpmf"), kAlbum,
                                                    handheldBitmap16(harbour(), 144, false))) &&
            writeDatabase(handheld, pictureDatabase("Doodle", fourCC("bpmf"), kPainter,
                                                    handheldBitmap8(doodle(), 72))) &&
            writeFile(sync / "Lighthouse.bmp", writeBmp(lighthouse(), 24, {})) &&
            writeFile(sync / "Mono Sign.bmp", writeBmp(monoSign(), 1, {0x000000, 0xFFFFFF})) &&
            writeFile(sync / "Greys.bmp",
                      [] {
                        std::vector<uint32_t> palette;
                        for (uint32_t i = 0; i < 16; ++i) palette.push_back(i * 0x111111);
                        return writeBmp(greys(), 4, palette);
                      }()) &&
            writeFile(sync / "Tiles.bmp", writeBmp(tiles(), 8, tilePalette()));
  return ok ? 0 : 1;
}

Picture benchPicture(int index) {
  return draw(320, 320, [index](int x, int y) {
    return rgb((x + index) % 256, (y * 2 + index) % 256, (x + y) / 3 % 256);
  });
}

int makeBench(const fs::path& out, int count) {
  fs::path handheld, sync;
  if (!makeFolders(out, handheld, sync)) return 1;
  if (!writeDatabase(handheld, formatDatabase(320)) || !writeDatabase(handheld, infoDatabase({}))) {
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Handheld %04d", i);
    Picture p = benchPicture(i);
    if (!writeDatabase(handheld, pictureDatabase(name, fourCC("bpmf"), kAlbum,
                                                 handheldBitmap16(p, 144, false)))) {
      return 1;
    }
    std::snprintf(name, sizeof name, "Desktop %04d.bmp", i);
    if (!writeFile(sync / name, writeBmp(benchPicture(i + 7), 24, {}))) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    usage(stdout);
    return 0;
  }
  if (argc == 3 && !std::strcmp(argv[1], "samples")) return makeSamples(argv[2]);
  if (argc == 4 && !std::strcmp(argv[1], "bench")) {
    char* end = nullptr;
    long count = std::strtol(argv[3], &end, 10);
    if (*argv[3] != '\0' && *end == '\0' && count > 0 && count <= 9999)
      return makeBench(argv[2], static_cast<int>(count));
    std::fprintf(stderr, "lumora-make-samples: COUNT must be 1 to 9999, not '%s'\n", argv[3]);
    return 2;
  }
  usage(stderr);
  return 2;
}
