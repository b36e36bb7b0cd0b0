// Throughput of the bitmap conversions on photo-like pictures, beside memcpy of the same
// bytes. Rates: Mpx/s for whole conversions, bytes/s for the run-length coder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "bitmap/decoder.h"
#include "bitmap/encoder.h"
#include "bitmap/format.h"
#include "platform/picture/picture.h"

namespace {

using namespace lumora;

// Smooth colour fields with a little grain, like a downscaled photograph.
picture::Picture photo(int32_t side) {
  picture::Picture p;
  p.width = side;
  p.height = side;
  p.bitsPerPixel = 24;
  p.pixels.resize(static_cast<size_t>(side) * static_cast<size_t>(side));
  std::mt19937 rng(42);
  const double k = 6.2831853 / side;
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) {
      auto channel = [&](double a, double b, double phase) {
        const double v = 128 + 70 * std::sin(a * x * k + phase) * std::cos(b * y * k) +
                         40 * std::sin((x + y) * k * 0.7 + phase) + static_cast<int>(rng() % 5) - 2;
        return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
      };
      p.pixels[static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)] =
          picture::colourRef(channel(1.3, 0.8, 0), channel(0.9, 1.7, 1), channel(2.1, 0.6, 2));
    }
  }
  return p;
}

const picture::Picture& cachedPhoto(int32_t side) {
  static const picture::Picture small = photo(160);
  static const picture::Picture large = photo(1024);
  return side == 160 ? small : large;
}

DeviceCapabilities device(int32_t side, unsigned depth, bool coded) {
  DeviceCapabilities c;
  c.depth = static_cast<uint8_t>(depth);
  c.maxWidth = static_cast<int16_t>(side);
  c.maxHeight = static_cast<int16_t>(side);
  c.density = 144;
  c.compression = coded ? 1 : 0;
  return c;
}

// The photo as a handheld bitmap, coded whether or not coding saves enough to be kept.
Bytes handheld(int32_t side, unsigned depth, bool coded) {
  Bytes plain = bitmap::encodePicture(cachedPhoto(side), device(side, depth, false)).bitmap;
  if (!coded) return plain;
  bitmap::BitmapHeader h = *bitmap::parseHeader(plain);
  h.compressionType = 1;
  const auto header = bitmap::buildHeader(h);
  Bytes out(header.begin(), header.end());
  const Bytes code =
      bitmap::packRuns(ByteView(plain).subspan(bitmap::kHeaderSize), bitmap::runUnitFor(depth));
  out.insert(out.end(), code.begin(), code.end());
  return out;
}

void setPixelRate(benchmark::State& state, double pixels) {
  state.counters["Mpx/s"] =
      benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// Arguments: side, depth, coded.
void BM_Encode(benchmark::State& state) {
  const auto side = static_cast<int32_t>(state.range(0));
  const auto depth = static_cast<unsigned>(state.range(1));
  const bool coded = state.range(2) != 0;
  const picture::Picture& p = cachedPhoto(side);
  const DeviceCapabilities caps = device(side, depth, coded);
  size_t size = 0;
  for (auto _ : state) {
    auto r = bitmap::encodePicture(p, caps);
    size = r.bitmap.size();
    benchmark::DoNotOptimize(r.bitmap.data());
  }
  setPixelRate(state, double(side) * side);
  state.counters["bytes"] = static_cast<double>(size);
}

void BM_Decode(benchmark::State& state) {
  const auto side = static_cast<int32_t>(state.range(0));
  const auto depth = static_cast<unsigned>(state.range(1));
  const Bytes bitmap = handheld(side, depth, state.range(2) != 0);
  for (auto _ : state) {
    auto p = bitmap::decodeToRows(bitmap, bitmap::kHandheldPictureLimits);
    benchmark::DoNotOptimize(p->rows.data());
  }
  setPixelRate(state, double(side) * side);
  state.counters["bytes"] = static_cast<double>(bitmap.size());
}

// memcpy of the decoder's output (the 24-bit rows) and of the plain pixel data.
void BM_MemcpyRows(benchmark::State& state) {
  const auto side = static_cast<size_t>(state.range(0));
  const size_t bytes = side * ((3 * side + 3) & ~size_t{3});
  Bytes from(bytes, 1);
  for (auto _ : state) {
    Bytes to(bytes);
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  setPixelRate(state, double(side) * double(side));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// The coded data the coder sees: the photo's plain pixels at a depth.
Bytes plainPixels(unsigned depth) {
  const Bytes b = bitmap::encodePicture(cachedPhoto(1024), device(1024, depth, false)).bitmap;
  return Bytes(b.begin() + bitmap::kHeaderSize, b.end());
}

Bytes noisePixels() {
  Bytes b(1024 * 1024);
  std::mt19937 rng(3);
  for (auto& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

const Bytes& coderInput(int64_t kind) {
  static const Bytes photo8 = plainPixels(8);
  static const Bytes photo16 = plainPixels(16);
  static const Bytes noise = noisePixels();
  static const Bytes uniform(1024 * 1024, 0x5A);
  switch (kind) {
    case 0:
      return photo8;
    case 1:
      return photo16;
    case 2:
      return noise;
    default:
      return uniform;
  }
}

const char* coderLabel(int64_t kind) {
  static const char* labels[] = {"photo 8-bit", "photo 16-bit", "noise", "uniform"};
  return labels[kind];
}

bitmap::RunUnit coderUnit(int64_t kind) {
  return kind == 1 ? bitmap::RunUnit::word : bitmap::RunUnit::byte;
}

void BM_PackRuns(benchmark::State& state) {
  const Bytes& plain = coderInput(state.range(0));
  const auto unit = coderUnit(state.range(0));
  Bytes out(bitmap::packedBound(plain.size(), unit));
  size_t coded = 0;
  for (auto _ : state) {
    coded = *bitmap::packRunsInto(plain, unit, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(coderLabel(state.range(0)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
  state.counters["ratio"] = double(coded) / double(plain.size());
}

void BM_UnpackRuns(benchmark::State& state) {
  const Bytes& plain = coderInput(state.range(0));
  const auto unit = coderUnit(state.range(0));
  const Bytes coded = bitmap::packRuns(plain, unit);
  Bytes out(plain.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(bitmap::unpackRuns(coded, unit, out));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(coderLabel(state.range(0)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

void BM_Memcpy(benchmark::State& state) {
  const Bytes& plain = coderInput(state.range(0));
  Bytes out(plain.size());
  for (auto _ : state) {
    std::memcpy(out.data(), plain.data(), plain.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(coderLabel(state.range(0)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

void conversions(benchmark::internal::Benchmark* b) {
  b->ArgNames({"side", "depth", "coded"});
  for (int64_t side : {160, 1024})
    for (int64_t depth : {8, 16})
      for (int64_t coded : {0, 1}) b->Args({side, depth, coded});
}

BENCHMARK(BM_Encode)->Apply(conversions);
BENCHMARK(BM_Decode)->Apply(conversions);
BENCHMARK(BM_MemcpyRows)->Arg(160)->Arg(1024);
BENCHMARK(BM_PackRuns)->DenseRange(0, 3);
BENCHMARK(BM_UnpackRuns)->DenseRange(0, 3);
BENCHMARK(BM_Memcpy)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
