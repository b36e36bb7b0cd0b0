// The handheld's DLP answers on arbitrary requests, against a folder store with a few
// databases: every request gets an answer the desktop can decode, for the function asked.
// Input: requests, each a length byte and that many bytes.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "hotsync/link/dlp_packet.h"
#include "hotsync/link/dlp_server.h"
#include "hotsync/store/handheld_store.h"

namespace {

lumora::hotsync::Database sample(const char* name, uint32_t type, int records) {
  lumora::hotsync::Database db;
  db.name = name;
  db.type = type;
  db.creator = lumora::fourCC("LmDx");
  for (int i = 0; i < records; ++i)
    db.records.push_back({0, static_cast<uint32_t>(i + 1), lumora::Bytes(size_t(i) * 40, 0x5A)});
  db.appInfo = lumora::Bytes{1, 2, 3};
  return db;
}

// The sample databases' files, made once; written plainly into each run's folder (the
// store's own atomic writes would make every run wait for the disk).
void seed(const std::string& folder) {
  static const std::vector<std::pair<std::string, lumora::Bytes>> files = [] {
    std::vector<std::pair<std::string, lumora::Bytes>> out;
    for (auto db :
         {sample("Alpha", lumora::fourCC("DATA"), 3), sample("Beta", lumora::fourCC("bpmf"), 0)})
      out.emplace_back(db.name + ".pdb", *lumora::hotsync::serializePdb(db));
    return out;
  }();
  for (const auto& [name, bytes] : files) {
    std::ofstream(folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora;
  std::string folder = (std::filesystem::temp_directory_path() / "dlp_server_fuzz_XXXXXX").string();
  if (!mkdtemp(folder.data())) return 0;
  seed(folder);
  {
    auto quiet = [](const std::string&) {};
    hotsync::HandheldStore store(folder, quiet, [] { return 3'000'000'000u; });
    link::DlpServer server(store, link::HandheldUser{1, 2, 3, {}, {}, "Fuzz"});
    size_t at = 0;
    while (at < size) {
      size_t n = std::min<size_t>(data[at], size - at - 1);
      ByteView request(data + at + 1, n);
      at += 1 + n;
      Bytes answer = server.answer(request);
      auto decoded = link::decodeResponse(answer);
      if (!decoded) std::abort();
      if (!request.empty() && decoded->function != (request[0] & 0x7F)) std::abort();
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
