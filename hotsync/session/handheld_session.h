// The handheld's side of a HotSync once a link reaches the desktop: the NetSync handshake
// or the serial stack's CMP, then the desktop's DLP requests answered until EndOfSync.
// lumora-handheld and the scripted USB device of the tests both run it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/bytes.h"
#include "hotsync/link/dlp_server.h"
#include "hotsync/link/message_link.h"
#include "hotsync/link/serial_link.h"
#include "hotsync/link/stream.h"
#include "hotsync/session/serve_session.h"

namespace lumora::host {

// How the handheld behaves beyond answering, for tests and measurements.
struct HandheldSessionHooks {
  int timeoutMs = link::kDlpTimeoutMs;  // for the desktop's handshake and each request
  // After answering pauseAfter requests the handheld says nothing for pauseMs, as a user may
  // hold a session still.
  int pauseAfter = -1;
  int pauseMs = 0;
  // Leave without answering EndOfSync, as a USB handheld going off the bus may.
  bool hangUpAtEnd = false;
  // Each request once answered, numbered from 1; false: leave without sending the answer.
  std::function<bool(ByteView request, int number)> onRequest;
};

// Answers requests until EndOfSync; empty, or why the session broke off.
std::string answerRequests(link::MessageLink& wire, link::DlpServer& server,
                           const HandheldSessionHooks& hooks);

// NetSync framing: the handshake, then DLP.
std::string handheldNetSyncSession(link::ByteStream& stream, link::DlpServer& server,
                                   const HandheldSessionHooks& hooks);

struct HandheldSerialEnd {
  std::string broke;  // empty, or why the session broke off
  link::SerialLinkStats stats;
};

// The serial stack: CMP, the agreed speed on line (a real one), then DLP.
HandheldSerialEnd handheldSerialSession(link::ByteStream& stream, LineSpeed* line, uint32_t maxBaud,
                                        link::DlpServer& server, const HandheldSessionHooks& hooks);

}  // namespace lumora::host
