// Converting a 10 MB font with the installer variant: the whole conversion (read, write,
// commit, queue, delete) and the database writer alone over memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fonts/font_database.h"
#include "fonts/font_names.h"
#include "fonts/installer_converter.h"

namespace {

constexpr size_t kFontSize = 10u << 20;

// A 10 MB font file in a private folder, which is also the temporary folder.
struct Fixture {
  std::string folder;
  std::string font;
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-bench-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    font = folder + "/bench.ttf";
    std::vector<char> bytes(kFontSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 24);
    std::ofstream(font, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

int32_t acceptEverything(char*, char*) {
  return 0;
}

void BM_InstallerConvertAndQueue(benchmark::State& state) {
  const std::string& font = fixture().font;
  for (auto _ : state) {
    auto status = lumora::fonts::installer::convertAndQueueFont(font, "Bench", &acceptEverything);
    if (!status.ok()) state.SkipWithError(status.reason.c_str());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFontSize);
}
BENCHMARK(BM_InstallerConvertAndQueue)->Unit(benchmark::kMillisecond)->UseRealTime();

class CountingOutput final : public lumora::files::OutputFile {
 public:
  size_t written = 0;
  bool write(const uint8_t*, size_t count) override {
    written += count;
    return true;
  }
  bool commit() override { return true; }
};

void BM_WriterOverMemory(benchmark::State& state) {
  std::vector<uint8_t> font(kFontSize, 0x5A);
  const auto name = lumora::fonts::nameField("bench.ttf");
  for (auto _ : state) {
    lumora::files::MemoryInput in(font);
    CountingOutput out;
    lumora::fonts::writeFontDatabase(lumora::fonts::Variant::installer, name, font.size(), in, out);
    benchmark::DoNotOptimize(out.written);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFontSize);
}
BENCHMARK(BM_WriterOverMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
