// The developer trace on Windows is OutputDebugStringA, which raises an exception that a
// debugger would see first; the stand-in plays the debugger with a vectored handler.
#include <windows.h>

#include <string>

#include "hotsync/api/session.h"

namespace lumora::hotsync {
namespace {

constexpr DWORD kDebugPrint = 0x40010006;  // DBG_PRINTEXCEPTION_C

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* e = info->ExceptionRecord;
  if (e->ExceptionCode != kDebugPrint || e->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  const auto* text = reinterpret_cast<const char*>(e->ExceptionInformation[1]);
  size_t length = static_cast<size_t>(e->ExceptionInformation[0]);
  if (!text || length == 0) return EXCEPTION_CONTINUE_EXECUTION;
  std::string line(text, length - 1);
  Session& s = session();
  std::lock_guard lock(s.mutex);
  if (s.trace) s.trace(line.c_str(), 0, s.traceContext);
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

void watchDebuggerOutput(bool on) {
  static void* handler = nullptr;
  if (on && !handler) handler = AddVectoredExceptionHandler(1, onException);
  if (!on && handler) {
    RemoveVectoredExceptionHandler(handler);
    handler = nullptr;
  }
}

}  // namespace lumora::hotsync
