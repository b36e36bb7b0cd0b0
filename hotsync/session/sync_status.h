// The live status of a HotSync, counted from the Sync Manager calls the conduit makes and
// the bytes over the link: one line that rewrites itself on a terminal, a plain line every
// few seconds elsewhere (the journal, a pipe), and a summary with the totals at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <utility>

namespace lumora::host {

enum class StatusMode { Terminal, Lines, Quiet };

// The counting and the texts, with the clock given by the caller.
class SyncStatus {
 public:
  static constexpr int64_t kLineIntervalMs = 5000;   // plain lines: at most one per this
  static constexpr int64_t kRedrawIntervalMs = 200;  // terminal: at most one redraw per this
  static constexpr int64_t kRateWindowMs = 5000;     // the current rate is over this

  // columns: the terminal's width, to which the rewritten line is cut.
  SyncStatus(StatusMode mode, int64_t startMs, size_t columns = 79)
      : mode_(mode), startMs_(startMs), lastMs_(startMs), columns_(columns) {}

  // One Sync Manager call that succeeded (HsCallObserver's arguments).
  void call(const std::string& op, const char* dbName, uint32_t dbType, uint32_t bytes,
            int64_t nowMs);
  // Bytes sent and received over a link; once any are counted, the calls' bytes are not.
  void linkBytes(uint64_t bytes, int64_t nowMs);

  // What to write now: a redrawn terminal line, a plain line when one is due, or nothing.
  std::string due(int64_t nowMs);
  // Before a line of other output: wipes the terminal line, if one is drawn.
  std::string clear();
  // The last output: the summary line (terminal: after wiping the status line); nothing
  // is due after it.
  std::string finish(int64_t nowMs);

  std::string statusText(int64_t nowMs) const;
  std::string summaryText(int64_t nowMs) const;

 private:
  void addBytes(uint64_t bytes, int64_t nowMs);
  double rate(int64_t nowMs) const;

  StatusMode mode_;
  int64_t startMs_;
  int64_t lastMs_;  // when a line was last written (terminal: drawn)
  size_t columns_;
  bool drawn_ = false;
  bool changed_ = false;
  bool countLink_ = false;
  int read_ = 0, written_ = 0, toDesktop_ = 0, toHandheld_ = 0;
  uint64_t bytes_ = 0;
  std::string moving_;
  std::set<std::string> pictures_;                   // picture databases found on the handheld
  std::deque<std::pair<int64_t, uint64_t>> recent_;  // (time, bytes so far) within the window
};

// The status of the HotSync in progress on standard output, while this object lives: it
// observes the Sync Manager's calls, and printLogEntry wipes its line before each log line.
class StatusDisplay {
 public:
  explicit StatusDisplay(bool quiet);
  ~StatusDisplay();
  StatusDisplay(const StatusDisplay&) = delete;
  StatusDisplay& operator=(const StatusDisplay&) = delete;

  // Prints the summary line, once; the destructor does when it was not called.
  void finish();

 private:
  SyncStatus status_;
  bool finished_ = false;
};

// Bytes over the link of the HotSync in progress, if a status is shown.
void statusLinkBytes(uint64_t bytes);
// Before a line of output during a HotSync: wipes the status line on a terminal.
void statusBeforeLine();

}  // namespace lumora::host
