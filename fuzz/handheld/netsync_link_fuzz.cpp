// The NetSync link on arbitrary bytes, cut where the input says: it must hand over whole
// messages within the size limit or stop with a status and a text, never read past its
// input or loop.
#include <cstdlib>

#include "hotsync/link/netsync_link.h"
#include "hotsync/link/scripted_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::link;
  if (size < 2) return 0;
  // Byte 0: role, handshake first or not, silences; byte 1: how many cut sizes follow.
  uint8_t mode = data[0];
  size_t cutCount = std::min<size_t>(data[1] % 16, size - 2);
  std::vector<size_t> cuts(data + 2, data + 2 + cutCount);
  lumora::ByteView stream(data + 2 + cutCount, size - 2 - cutCount);

  constexpr size_t kLimit = 4096;
  ScriptedStream script(ScriptedStream::Split::Cuts);
  script.setCuts(cuts);
  // Silences between pieces of 64 bytes when asked, so time-outs are taken mid-packet.
  for (size_t at = 0; at < stream.size(); at += 64) {
    script.deliver(stream.subspan(at, std::min<size_t>(64, stream.size() - at)));
    if (mode & 0x04) script.silence();
  }
  LinkRole role = (mode & 1) ? LinkRole::Desktop : LinkRole::Handheld;
  NetSyncLink link(
      script, role, [&script] { return script.now(); }, kLimit);
  if (mode & 0x02) {
    HandshakeResult r =
        role == LinkRole::Desktop ? desktopHandshake(link, 100) : handheldHandshake(link, 100);
    if (!r && r.error.empty()) std::abort();
    if (!r) return 0;
  }
  for (size_t guard = 0; guard <= size + 2; ++guard) {
    LinkMessage got = link.receive(100);
    if (got.status == StreamStatus::Ok) {
      if (got.message.size() > kLimit) std::abort();
      link.send(got.message);
      continue;
    }
    if (got.error.empty()) std::abort();
    if (got.status != StreamStatus::Timeout) return 0;
  }
  return 0;
}
