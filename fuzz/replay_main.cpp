// A plain driver for a fuzz target outside libFuzzer: feeds it every file named on the
// command line, and every file of every folder named (README files aside), one at a
// time. A target that finds a fault aborts, so the run fails on the input printed last.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// The files of path: itself, or the regular files of a folder and its subfolders, sorted.
std::vector<fs::path> inputsOf(const fs::path& path, std::error_code& error) {
  std::vector<fs::path> out;
  if (!fs::is_directory(path, error)) {
    if (!error) out.push_back(path);
    return out;
  }
  for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file() && it->path().filename() != "README") out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc < 2 ? stderr : stdout,
                 "usage: %s FILE|FOLDER...\n\nFeeds each input to the fuzz target once.\n"
                 "Exit status: 0 every input ran, 1 no input or one unreadable.\n",
                 argv[0]);
    return argc < 2 ? 1 : 0;
  }
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    const auto inputs = inputsOf(argv[i], error);
    if (error) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
      return 1;
    }
    for (const auto& input : inputs) {
      std::ifstream in(input, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
      if (in.bad() || !in.is_open()) {
        std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
        return 1;
      }
      std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
      std::fflush(stdout);
      bytes.reserve(1);  // a valid pointer even for an empty input
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++count;
    }
  }
  std::printf("%zu inputs replayed\n", count);
  if (count == 0) {
    std::fprintf(stderr, "no inputs found\n");
    return 1;
  }
  return 0;
}
