// The desktop's end of a serial HotSync against an arbitrary handheld: the input is what
// the line delivers, cut into pieces by a seed taken from its first byte, with a fake
// clock. The CMP exchange and a few requests must end (answer, time-out or failure)
// without a crash, and every frame the desktop writes must be a sound one.
#include <cstdlib>

#include "hotsync/link/cmp.h"
#include "hotsync/link/scripted_stream.h"
#include "hotsync/link/serial_link.h"

namespace {

using lumora::Bytes;
using lumora::ByteView;
using namespace lumora::link;

void checkWritten(const Bytes& written) {
  SlpReader reader;
  ByteView rest(written);
  while (!rest.empty()) {
    auto step = reader.feed(rest);
    rest = rest.subspan(step.consumed);
    if (step.status == SlpReader::Status::NeedMore) break;
    reader.take();
  }
  if (!reader.idle() || reader.droppedFrames() || reader.skippedBytes()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (auto cmp = decodeCmp(ByteView(data, size));
      cmp && encodeCmp(*cmp) != Bytes(data, data + size))
    std::abort();
  ScriptedStream line(ScriptedStream::Split::Random, data[0]);
  line.deliver(ByteView(data + 1, size - 1));
  SerialLinkOptions options;
  options.maxMessage = 64 * 1024;
  SerialLink link(
      line, LinkRole::Desktop, [&] { return line.now(); }, options);
  if (desktopCmp(link, 115200, kCmpStartBaud, 1000)) {
    for (int i = 0; i < 4; ++i) {
      if (!link.send(Bytes{0x10, 0x00})) break;
      if (link.receive(1000).status != StreamStatus::Ok) break;
    }
  }
  checkWritten(line.written());
  return 0;
}
