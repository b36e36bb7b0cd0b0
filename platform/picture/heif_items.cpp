#include "platform/picture/heif_items.h"

#include <cstring>

namespace lumora::picture::detail {
namespace {

bool refuse(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

std::string fourcc(ByteView b, size_t at) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

// One box: its type and its contents (after the header). Sizes are checked against what
// encloses the box.
struct Box {
  std::string type;
  ByteView body;
};

// The boxes inside b, in order; nullopt when one does not fit.
std::optional<std::vector<Box>> children(ByteView b) {
  std::vector<Box> out;
  size_t at = 0;
  while (at < b.size()) {
    if (b.size() - at < 8) return std::nullopt;
    uint64_t size = loadBe32(b.data() + at);
    size_t header = 8;
    if (size == 1) {
      if (b.size() - at < 16) return std::nullopt;
      size = (uint64_t{loadBe32(b.data() + at + 8)} << 32) | loadBe32(b.data() + at + 12);
      header = 16;
    } else if (size == 0) {
      size = b.size() - at;
    }
    if (size < header || size > b.size() - at) return std::nullopt;
    out.push_back({fourcc(b, at + 4), b.subspan(at + header, size_t(size) - header)});
    at += size_t(size);
  }
  return out;
}

// A reader of big-endian fields of one box body; any read past the end sets bad.
struct Fields {
  ByteView b;
  size_t at = 0;
  bool bad = false;

  uint64_t take(size_t bytes) {
    if (bad || b.size() - at < bytes) {
      bad = true;
      return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v = (v << 8) | b[at + i];
    at += bytes;
    return v;
  }
  uint32_t u8() { return uint32_t(take(1)); }
  uint32_t u16() { return uint32_t(take(2)); }
  uint32_t u32() { return uint32_t(take(4)); }
  std::string type() {
    if (bad || b.size() - at < 4) {
      bad = true;
      return {};
    }
    std::string t = fourcc(b, at);
    at += 4;
    return t;
  }
  ByteView rest() const { return bad ? ByteView{} : b.subspan(at); }
};

// Bits of an HEVC NAL unit's payload with its emulation-prevention bytes taken out.
class BitReader {
 public:
  explicit BitReader(ByteView nal, bool emulationPrevention = true) {
    int zeros = 0;
    for (uint8_t byte : nal) {
      if (emulationPrevention && zeros >= 2 && byte == 3) {
        zeros = 0;
        continue;
      }
      zeros = byte == 0 ? zeros + 1 : 0;
      rbsp_.push_back(byte);
    }
  }
  uint32_t bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (pos_ >= rbsp_.size() * 8) {
        bad_ = true;
        return 0;
      }
      v = (v << 1) | ((rbsp_[pos_ / 8] >> (7 - pos_ % 8)) & 1);
      ++pos_;
    }
    return v;
  }
  void skip(int n) { bits(n); }
  // Exp-Golomb; values past 32 bits mark the stream bad.
  uint32_t ue() {
    int zeros = 0;
    while (!bad_ && bits(1) == 0) {
      if (++zeros > 31) bad_ = true;
    }
    if (bad_) return 0;
    return uint32_t((uint64_t{1} << zeros) - 1 + bits(zeros));
  }
  bool bad() const { return bad_; }

 private:
  Bytes rbsp_;
  size_t pos_ = 0;
  bool bad_ = false;
};

void takeLarger(std::optional<HeifSize>& have, std::optional<HeifSize> found) {
  if (found &&
      (!have || uint64_t{found->width} * found->height > uint64_t{have->width} * have->height))
    have = found;
}

// Parameter sets of an hvcC property: a 22-byte fixed part, then arrays of NAL units.
void hevcConfigSizes(ByteView hvcc, std::optional<HeifSize>& coded, size_t& lengthSize) {
  Fields f{hvcc};
  f.take(21);
  lengthSize = (f.u8() & 3) + 1;
  const uint32_t arrays = f.u8();
  for (uint32_t a = 0; a < arrays && !f.bad; ++a) {
    f.u8();
    const uint32_t count = f.u16();
    for (uint32_t n = 0; n < count && !f.bad; ++n) {
      const uint32_t length = f.u16();
      if (f.bad || f.b.size() - f.at < length) return;
      takeLarger(coded, hevcCodedSize(f.b.subspan(f.at, length)));
      f.at += length;
    }
  }
}

// Parameter sets inside the coded data itself (length-prefixed NAL units), which the
// decoder takes over the configuration's.
void hevcStreamSizes(ByteView data, size_t lengthSize, std::optional<HeifSize>& coded) {
  Fields f{data};
  while (!f.bad && f.at < data.size()) {
    const uint64_t length = f.take(lengthSize);
    if (f.bad || data.size() - f.at < length) return;
    takeLarger(coded, hevcCodedSize(data.subspan(f.at, size_t(length))));
    f.at += size_t(length);
  }
}

// Sequence headers among AV1 OBUs (av1C's configuration OBUs, or the coded data).
void av1Sizes(ByteView obus, std::optional<HeifSize>& coded) {
  Fields f{obus};
  while (!f.bad && f.at < obus.size()) {
    const uint32_t header = f.u8();
    if (header & 4) f.u8();     // extension
    if (!(header & 2)) return;  // without sizes the rest cannot be walked
    uint64_t size = 0;
    for (int i = 0; i < 8; ++i) {
      const uint32_t byte = f.u8();
      size |= uint64_t(byte & 0x7F) << (7 * i);
      if (!(byte & 0x80)) break;
    }
    if (f.bad || obus.size() - f.at < size) return;
    if (((header >> 3) & 15) == 1)
      takeLarger(coded, av1MaxFrameSize(obus.subspan(f.at, size_t(size))));
    f.at += size_t(size);
  }
}

// The grid descriptor: version, flags, rows - 1, columns - 1, output size (16 or 32 bits).
std::optional<HeifGrid> gridDescriptor(ByteView data) {
  Fields f{data};
  if (f.u8() != 0) return std::nullopt;
  const bool wide = f.u8() & 1;
  HeifGrid g;
  g.rows = f.u8() + 1;
  g.columns = f.u8() + 1;
  g.width = wide ? f.u32() : f.u16();
  g.height = wide ? f.u32() : f.u16();
  if (f.bad) return std::nullopt;
  return g;
}

struct Location {
  uint32_t method = 0;  // 0 file offsets, 1 inside idat
  uint64_t base = 0;
  std::vector<std::pair<uint64_t, uint64_t>> extents;  // offset, length
};

bool readLocations(ByteView body, std::map<uint32_t, Location>& out) {
  Fields f{body};
  const uint32_t version = f.u8();
  f.take(3);
  const uint32_t sizes = f.u8(), more = f.u8();
  const size_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
  const size_t indexSize = (version == 1 || version == 2) ? (more & 15) : 0;
  for (size_t s : {offsetSize, lengthSize, baseSize, indexSize})
    if (s != 0 && s != 4 && s != 8) return false;
  const uint32_t count = version < 2 ? f.u16() : f.u32();
  for (uint32_t i = 0; i < count && !f.bad; ++i) {
    const uint32_t id = version < 2 ? f.u16() : f.u32();
    Location loc;
    if (version == 1 || version == 2) loc.method = f.u16() & 15;
    f.take(2);  // data reference index
    loc.base = f.take(baseSize);
    const uint32_t extents = f.u16();
    for (uint32_t e = 0; e < extents && !f.bad; ++e) {
      f.take(indexSize);
      const uint64_t offset = f.take(offsetSize);
      const uint64_t length = f.take(lengthSize);
      loc.extents.emplace_back(offset, length);
    }
    out[id] = std::move(loc);
  }
  return !f.bad;
}

// The first want bytes of an item's data, from the file or idat.
Bytes itemBytes(const Location& loc, ByteView file, ByteView idat, size_t want) {
  Bytes out;
  const ByteView source = loc.method == 1 ? idat : file;
  for (const auto& [offset, length] : loc.extents) {
    const uint64_t start = loc.base + offset;
    if (start < loc.base || start > source.size()) break;
    uint64_t n =
        length == 0 ? source.size() - start : std::min<uint64_t>(length, source.size() - start);
    n = std::min<uint64_t>(n, want - out.size());
    out.insert(out.end(), source.begin() + ptrdiff_t(start), source.begin() + ptrdiff_t(start + n));
    if (out.size() >= want) break;
  }
  return out;
}

uint64_t area(HeifSize s) {
  return uint64_t{s.width} * s.height;
}

// Coded pictures are padded to whole coding blocks and grids to whole tiles, but never to
// more than a few times the picture they show: more is a file made to exhaust memory.
constexpr uint64_t kPaddingPixels = uint64_t{1} << 20;
bool padsOnly(uint64_t held, uint64_t shown) {
  return held <= 4 * shown + kPaddingPixels;
}

std::string sizeText(uint64_t w, uint64_t h) {
  return std::to_string(w) + " x " + std::to_string(h);
}

bool readMeta(ByteView meta, ByteView file, HeifItems& out, std::string* reason) {
  if (meta.size() < 4) return refuse(reason, "its meta box is cut short");
  auto boxes = children(meta.subspan(4));
  if (!boxes) return refuse(reason, "its meta box does not hold whole boxes");
  std::vector<Box> properties;
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> associations;
  std::map<uint32_t, Location> locations;
  std::map<uint32_t, size_t> nalLengthSize;
  ByteView idat;
  for (const Box& box : *boxes) {
    Fields f{box.body};
    const uint32_t version = f.u8();
    f.take(3);
    if (box.type == "pitm") {
      out.primary = version == 0 ? f.u16() : f.u32();
    } else if (box.type == "iinf") {
      f.take(version == 0 ? 2 : 4);
      auto entries = children(f.rest());
      if (!entries) return refuse(reason, "its item list does not hold whole boxes");
      for (const Box& e : *entries) {
        Fields g{e.body};
        const uint32_t v = g.u8();
        g.take(3);
        if (e.type != "infe" || v < 2) continue;
        const uint32_t id = v == 2 ? g.u16() : g.u32();
        g.take(2);
        std::string type = g.type();
        if (g.bad) return refuse(reason, "an item entry is cut short");
        out.items[id].type = type;
      }
    } else if (box.type == "iprp") {
      auto inner = children(box.body);
      if (!inner) return refuse(reason, "its item properties do not hold whole boxes");
      for (const Box& p : *inner) {
        if (p.type == "ipco") {
          auto props = children(p.body);
          if (!props) return refuse(reason, "its property list does not hold whole boxes");
          properties.insert(properties.end(), props->begin(), props->end());
        } else if (p.type == "ipma") {
          Fields g{p.body};
          const uint32_t v = g.u8();
          const uint32_t flags = uint32_t(g.take(3));
          const uint32_t count = g.u32();
          for (uint32_t i = 0; i < count && !g.bad; ++i) {
            const uint32_t id = v < 1 ? g.u16() : g.u32();
            const uint32_t n = g.u8();
            std::vector<uint32_t> indexes;
            for (uint32_t k = 0; k < n && !g.bad; ++k)
              indexes.push_back((flags & 1) ? (g.u16() & 0x7FFF) : (g.u8() & 0x7F));
            associations.emplace_back(id, std::move(indexes));
          }
          if (g.bad) return refuse(reason, "its property associations are cut short");
        }
      }
    } else if (box.type == "iref") {
      auto refs = children(f.rest());
      if (!refs) return refuse(reason, "its item references do not hold whole boxes");
      for (const Box& r : *refs) {
        Fields g{r.body};
        const uint32_t from = version == 0 ? g.u16() : g.u32();
        const uint32_t n = g.u16();
        for (uint32_t k = 0; k < n && !g.bad; ++k) {
          const uint32_t to = version == 0 ? g.u16() : g.u32();
          if (r.type == "dimg") out.items[from].tiles.push_back(to);
        }
        if (g.bad) return refuse(reason, "an item reference is cut short");
      }
    } else if (box.type == "iloc") {
      if (!readLocations(box.body, locations))
        return refuse(reason, "its item locations are cut short");
    } else if (box.type == "idat") {
      idat = box.body;
    }
  }
  for (const auto& [id, indexes] : associations) {
    HeifItem& item = out.items[id];
    for (uint32_t index : indexes) {
      if (index == 0 || index > properties.size()) continue;
      const Box& prop = properties[index - 1];
      if (prop.type == "ispe") {
        Fields g{prop.body};
        g.take(4);
        HeifSize s{g.u32(), g.u32()};
        if (g.bad) return refuse(reason, "an image size property is cut short");
        item.announced = s;
      } else if (prop.type == "hvcC") {
        item.codec = HeifCodec::hevc;
        hevcConfigSizes(prop.body, item.coded, nalLengthSize[id]);
      } else if (prop.type == "av1C") {
        item.codec = HeifCodec::av1;
        if (prop.body.size() > 4) av1Sizes(prop.body.subspan(4), item.coded);
      }
    }
  }
  for (auto& [id, item] : out.items) {
    auto loc = locations.find(id);
    if (item.codec == HeifCodec::none || loc == locations.end()) continue;
    const Bytes data = itemBytes(loc->second, file, idat, file.size());
    if (item.codec == HeifCodec::hevc)
      hevcStreamSizes(data, nalLengthSize[id], item.coded);
    else
      av1Sizes(data, item.coded);
  }
  for (auto& [id, item] : out.items) {
    if (item.type != "grid") continue;
    auto loc = locations.find(id);
    if (loc != locations.end()) item.grid = gridDescriptor(itemBytes(loc->second, file, idat, 12));
  }
  return true;
}

}  // namespace

std::optional<HeifSize> hevcCodedSize(ByteView nal) {
  if (nal.size() < 3 || ((nal[0] >> 1) & 0x3F) != 33) return std::nullopt;
  BitReader r(nal.subspan(2));
  r.skip(4);  // video parameter set id
  const int subLayers = int(r.bits(3));
  r.skip(1);
  r.skip(96);  // general profile, tier and level
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (int i = 0; i < subLayers; ++i) {
    profilePresent[i] = r.bits(1);
    levelPresent[i] = r.bits(1);
  }
  if (subLayers > 0)
    for (int i = subLayers; i < 8; ++i) r.skip(2);
  for (int i = 0; i < subLayers; ++i) {
    if (profilePresent[i]) r.skip(88);
    if (levelPresent[i]) r.skip(8);
  }
  r.ue();                      // sequence parameter set id
  if (r.ue() == 3) r.skip(1);  // chroma format 4:4:4: separate colour planes
  HeifSize s;
  s.width = r.ue();
  s.height = r.ue();
  if (r.bad() || s.width == 0 || s.height == 0) return std::nullopt;
  return s;
}

std::optional<HeifSize> av1MaxFrameSize(ByteView payload) {
  BitReader r(payload, false);
  r.skip(3);  // profile
  r.skip(1);  // still picture
  if (r.bits(1)) {
    r.skip(5);  // reduced header: one level
  } else {
    bool decoderModel = false;
    int delayLength = 0;
    if (r.bits(1)) {  // timing info
      r.skip(64);
      if (r.bits(1)) {  // equal picture interval: uvlc
        int zeros = 0;
        while (!r.bad() && r.bits(1) == 0)
          if (++zeros > 32) return std::nullopt;
        r.skip(zeros);
      }
      decoderModel = r.bits(1);
      if (decoderModel) {
        delayLength = int(r.bits(5)) + 1;
        r.skip(32 + 5 + 5);
      }
    }
    const bool initialDelay = r.bits(1);
    const int points = int(r.bits(5)) + 1;
    for (int i = 0; i < points && !r.bad(); ++i) {
      r.skip(12);
      if (r.bits(5) > 7) r.skip(1);  // level above 3.3: tier
      if (decoderModel && r.bits(1)) r.skip(2 * delayLength + 1);
      if (initialDelay && r.bits(1)) r.skip(4);
    }
  }
  const int widthBits = int(r.bits(4)) + 1, heightBits = int(r.bits(4)) + 1;
  HeifSize s;
  s.width = r.bits(widthBits) + 1;
  s.height = r.bits(heightBits) + 1;
  if (r.bad()) return std::nullopt;
  return s;
}

std::optional<HeifItems> readHeifItems(ByteView file, std::string* reason) {
  auto top = children(file);
  if (!top) {
    refuse(reason, "its boxes do not fit the file");
    return std::nullopt;
  }
  for (const Box& box : *top) {
    if (box.type != "meta") continue;
    HeifItems items;
    if (!readMeta(box.body, file, items, reason)) return std::nullopt;
    return items;
  }
  refuse(reason, "it has no meta box");
  return std::nullopt;
}

bool heifItemsWithinLimits(const HeifItems& items, uint32_t maxSide, uint64_t maxPixels,
                           uint64_t maxBytes, uint64_t bytesPerPixel, std::string* reason) {
  auto tooLarge = [&](const std::string& what, uint64_t w, uint64_t h) {
    if (w <= maxSide && h <= maxSide && w * h <= maxPixels && w * h * bytesPerPixel <= maxBytes)
      return false;
    refuse(reason, "is too large (" + what + " " + sizeText(w, h) + " pixels)");
    return true;
  };
  auto unreadable = [&](const std::string& why) {
    return refuse(reason, "not a readable HEIF file: " + why);
  };
  for (const auto& [id, item] : items.items) {
    const std::string what = "item " + std::to_string(id);
    if (item.announced && tooLarge(what, item.announced->width, item.announced->height))
      return false;
    if (item.codec != HeifCodec::none) {
      if (!item.coded) return unreadable(what + " declares no size its stream codes");
      const HeifSize c = *item.coded;
      if (tooLarge(what + " codes", c.width, c.height)) return false;
      if (item.announced) {
        const HeifSize a = *item.announced;
        if (a.width > c.width || a.height > c.height || !padsOnly(area(c), area(a)))
          return unreadable(what + " announces " + sizeText(a.width, a.height) +
                            " pixels but codes " + sizeText(c.width, c.height));
      }
    }
    if (item.type != "grid") continue;
    if (!item.grid) return unreadable("grid " + what + " has no readable layout");
    const HeifSize g{item.grid->width, item.grid->height};
    if (tooLarge("grid " + what, g.width, g.height)) return false;
    uint64_t tilePixels = 0;
    for (uint32_t tile : item.tiles) {
      auto t = items.items.find(tile);
      if (t == items.items.end()) continue;
      tilePixels +=
          area(t->second.coded ? *t->second.coded : t->second.announced.value_or(HeifSize{}));
      if (!padsOnly(tilePixels, area(g)))
        return unreadable("the tiles of grid " + what + " hold " + std::to_string(tilePixels) +
                          " pixels or more for an image of " + sizeText(g.width, g.height));
    }
    // The composed image and its tiles may all be held at once.
    if ((area(g) + tilePixels) * bytesPerPixel > maxBytes)
      return refuse(reason, "is too large (grid " + what + " and its tiles)");
  }
  return true;
}

}  // namespace lumora::picture::detail
