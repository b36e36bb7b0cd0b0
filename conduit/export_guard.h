// Nothing that an export's work throws may unwind into the host: a C++ exception crossing
// a C boundary ends the HotSync Manager's process.
#pragma once

#include <cstdint>
#include <exception>

namespace lumora::conduit {

// Adds one log line for the exception e that stopped the export named exportName: an
// int32_t as "Quillet: error %ld.", anything else with its type or text. Never throws.
void logEscapedException(const char* exportName, std::exception_ptr e) noexcept;

// Runs body (the work of an export, returning its result); when it throws, logs that and
// returns fallback.
template <typename Body>
int32_t guardExport(const char* exportName, int32_t fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    logEscapedException(exportName, std::current_exception());
  }
  return fallback;
}

}  // namespace lumora::conduit
