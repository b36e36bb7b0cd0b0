// Checks a simulated handheld and a sync folder after an interrupted HotSync: every .pdb
// parses, every picture database holds all the bytes its app-info block announces, every
// .bmp reads whole. Prints each problem and the counts; exit 1 on any problem.
// Usage: hardening_check_folders HANDHELD_DIR SYNC_DIR
#include <cstdio>
#include <filesystem>
#include <string>

#include "hotsync/format/pdb_file.h"
#include "platform/picture/picture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace lumora;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: hardening_check_folders HANDHELD_DIR SYNC_DIR\n");
    return 2;
  }
  int problems = 0, databases = 0, pictures = 0, temporary = 0;
  // A write cut short leaves a hidden temporary file; it must never look like a picture.
  for (const char* dir : {argv[1], argv[2]})
    for (const auto& e : fs::directory_iterator(dir)) {
      std::string name = e.path().filename().string();
      if (name.size() > 4 && name[0] == '.' && name.substr(name.size() - 4) == ".tmp") ++temporary;
    }
  auto problem = [&](const std::string& what, const fs::path& file) {
    std::printf("%s: %s\n", what.c_str(), file.filename().string().c_str());
    ++problems;
  };
  for (const auto& e : fs::directory_iterator(argv[1])) {
    if (e.path().extension() != ".pdb") continue;
    auto db = hotsync::parsePdb(test::readFile(e.path().string())).database;
    if (!db) {
      problem("database does not parse", e.path());
      continue;
    }
    ++databases;
    if (db->type != fourCC("bpmc") && db->type != fourCC("bpmf")) continue;
    size_t total = 0;
    for (const auto& r : db->records) total += r.data.size();
    if (!db->appInfo || db->appInfo->size() != 6 || loadBe32(db->appInfo->data() + 2) != total)
      problem("picture database incomplete", e.path());
  }
  for (const auto& e : fs::directory_iterator(argv[2])) {
    std::string name = e.path().filename().string();
    if (name.size() < 4 || name.substr(name.size() - 4) != ".bmp") continue;
    if (!picture::parseBmp(test::readFile(e.path().string())))
      problem("picture does not read", e.path());
    else
      ++pictures;
  }
  std::printf("%d databases, %d pictures, %d problems, %d temporary files\n", databases, pictures,
              problems, temporary);
  return problems == 0 ? 0 : 1;
}
