#include "conduit/export_guard.h"

#include <cstdio>
#include <new>
#include <string>

#include "conduit/dispatch.h"
#include "hotsync/api/hotsync.h"
#include "pictures/sync_log.h"

namespace lumora::conduit {
namespace {

using pictures::kActivityError;

constexpr size_t kMaxWhat = 120;

// An exception's text as a log line may carry it: short, without control bytes.
std::string printableWhat(const char* what) {
  std::string out;
  for (const char* p = what; p && *p && out.size() < kMaxWhat; ++p)
    out += static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F ? '?' : *p;
  return out;
}

void logLine(const char* exportName, const std::string& what) {
  char line[256];
  std::snprintf(line, sizeof line, "Lumora: %s stopped on an unexpected error (%s).", exportName,
                what.c_str());
  LogAddEntry(line, kActivityError, 0);
}

}  // namespace

void logEscapedException(const char* exportName, std::exception_ptr e) noexcept {
  // Logging may throw too (a failing log call, no memory); then the line is lost.
  try {
    try {
      std::rethrow_exception(e);
    } catch (int32_t code) {
      LogAddFormattedEntry(kActivityError, 0, kCaughtErrorFormat, static_cast<long>(code));
    } catch (const std::exception& x) {
      logLine(exportName, printableWhat(x.what()));
    } catch (...) {
      logLine(exportName, "an exception of unknown type");
    }
  } catch (...) {
  }
}

}  // namespace lumora::conduit
