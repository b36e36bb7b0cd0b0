#include "hotsync/session/handheld_session.h"

#include <chrono>
#include <thread>

#include "common/monotonic_clock.h"
#include "hotsync/link/cmp.h"
#include "hotsync/link/netsync_link.h"

namespace lumora::host {

std::string answerRequests(link::MessageLink& wire, link::DlpServer& server,
                           const HandheldSessionHooks& hooks) {
  for (int answered = 0; !server.ended(); ++answered) {
    if (answered == hooks.pauseAfter)
      std::this_thread::sleep_for(std::chrono::milliseconds(hooks.pauseMs));
    link::LinkMessage request = wire.receive(hooks.timeoutMs);
    if (request.status != link::StreamStatus::Ok) {
      return request.status == link::StreamStatus::Timeout
                 ? "no request from the desktop within " + std::to_string(hooks.timeoutMs / 1000) +
                       " s"
                 : request.error;
    }
    Bytes answer = server.answer(request.message);
    if (hooks.onRequest && !hooks.onRequest(request.message, answered + 1)) break;
    if (server.ended() && hooks.hangUpAtEnd) break;
    if (!wire.send(answer)) return "could not send an answer to the desktop";
  }
  return {};
}

std::string handheldNetSyncSession(link::ByteStream& stream, link::DlpServer& server,
                                   const HandheldSessionHooks& hooks) {
  link::NetSyncLink wire(stream, link::LinkRole::Handheld, steadyMs);
  link::HandshakeResult shook = link::handheldHandshake(wire, hooks.timeoutMs);
  if (!shook) return shook.error;
  return answerRequests(wire, server, hooks);
}

HandheldSerialEnd handheldSerialSession(link::ByteStream& stream, LineSpeed* line, uint32_t maxBaud,
                                        link::DlpServer& server,
                                        const HandheldSessionHooks& hooks) {
  link::SerialLink wire(stream, link::LinkRole::Handheld, steadyMs);
  HandheldSerialEnd end;
  link::CmpOutcome cmp = link::handheldCmp(wire, maxBaud, hooks.timeoutMs);
  if (!cmp) {
    end.broke = cmp.error;
  } else if (std::string error; line && cmp.baud && !line->setSpeed(cmp.baud, error)) {
    end.broke = error;
  } else {
    end.broke = answerRequests(wire, server, hooks);
  }
  end.stats = wire.stats();
  return end;
}

}  // namespace lumora::host
