// Counts the calls of each operation and makes chosen calls fail, so that tests can reach
// every failure path of the callers. No OS calls.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::hotsync {

struct Fault {
  std::string op;
  int32_t nth = 1;  // 1: the next call; 0 or less: every later call
  int32_t code = 0;
  bool throwInteger = false;
};

struct FaultListResult {
  std::vector<Fault> faults;
  std::vector<std::string> rejected;  // entries that could not be read
};

// Reads "Op:nth:code[:throw],..." (code decimal or 0x hex, may be negative; the fourth
// field is "throw" or a number, non-zero meaning throw).
FaultListResult parseFaultList(std::string_view list);

class FaultInjector {
 public:
  // Arms fault relative to the calls counted so far. fromEnvironment marks faults that the
  // next armFromEnvironment replaces.
  void arm(const Fault& fault, bool fromEnvironment = false);
  void armFromEnvironment(const std::vector<Fault>& faults);
  void reset();

  // Counts one call of op; the fault to apply to it, if one is due.
  std::optional<Fault> onCall(std::string_view op);

  int32_t count(std::string_view op) const;
  int32_t totalCount() const;

 private:
  struct Armed {
    Fault fault;
    int32_t dueAt;  // the call number that fails; 0: every call from startAt on
    int32_t startAt;
    bool fromEnvironment;
  };
  std::map<std::string, int32_t, std::less<>> counts_;
  std::vector<Armed> armed_;
};

}  // namespace lumora::hotsync
