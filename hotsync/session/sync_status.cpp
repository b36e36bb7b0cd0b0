#include "hotsync/session/sync_status.h"

#include <algorithm>
#include <cstdio>

#include "common/monotonic_clock.h"
#include "hotsync/api/hotsync_host.h"
#include "platform/process/terminal.h"

namespace lumora::host {
namespace {

constexpr uint32_t kPictureTypes[] = {0x62706D66u /* bpmf */, 0x62706D63u /* bpmc */};

bool isPictureType(uint32_t type) {
  return std::find(std::begin(kPictureTypes), std::end(kPictureTypes), type) !=
         std::end(kPictureTypes);
}

std::string formatBytes(double bytes) {
  char text[32];
  if (bytes < 1024)
    std::snprintf(text, sizeof text, "%.0f B", bytes);
  else if (bytes < 1024 * 1024)
    std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
  else
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024 * 1024));
  return text;
}

std::string count(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string formatElapsed(int64_t ms) {
  const int64_t s = std::max<int64_t>(ms, 0) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60));
  return text;
}

// A handheld's database name may hold any byte; the status line shows none that a terminal
// could take for a control (C1 controls included) or a broken character.
std::string printable(const char* name) {
  std::string out;
  for (const char* p = name; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    out += c < 0x20 || c >= 0x7F ? '?' : static_cast<char>(c);
  }
  return out;
}

}  // namespace

void SyncStatus::call(const std::string& op, const char* dbName, uint32_t dbType, uint32_t bytes,
                      int64_t nowMs) {
  changed_ = true;
  if (op == "SyncFindDbByTypeCreator" && dbName && isPictureType(dbType)) {
    pictures_.insert(dbName);
  } else if (op == "SyncOpenDB" && dbName) {
    ++read_;
    if (pictures_.count(dbName)) ++toDesktop_;
    moving_ = printable(dbName);
  } else if (op == "SyncCreateDB" && dbName) {
    ++written_;
    if (isPictureType(dbType)) ++toHandheld_;
    moving_ = printable(dbName);
  } else if (op == "SyncCloseDB") {
    moving_.clear();
  }
  if (!countLink_ && bytes > 0) addBytes(bytes, nowMs);
}

void SyncStatus::linkBytes(uint64_t bytes, int64_t nowMs) {
  if (!countLink_) {
    countLink_ = true;
    bytes_ = 0;
    recent_.clear();
  }
  changed_ = true;
  addBytes(bytes, nowMs);
}

void SyncStatus::addBytes(uint64_t bytes, int64_t nowMs) {
  if (recent_.empty()) recent_.emplace_back(startMs_, bytes_);
  bytes_ += bytes;
  recent_.emplace_back(nowMs, bytes_);
  // Keep one sample at or before the window's start as the base of the rate.
  while (recent_.size() > 2 && recent_[1].first <= nowMs - kRateWindowMs) recent_.pop_front();
}

double SyncStatus::rate(int64_t nowMs) const {
  if (recent_.empty()) return 0;
  // From the last sample at or before the window's start (the first one early on).
  const std::pair<int64_t, uint64_t>* base = &recent_.front();
  for (const auto& sample : recent_)
    if (sample.first <= nowMs - kRateWindowMs) base = &sample;
  const int64_t span = std::max<int64_t>(nowMs - base->first, 1);
  return static_cast<double>(bytes_ - base->second) * 1000.0 / static_cast<double>(span);
}

std::string SyncStatus::statusText(int64_t nowMs) const {
  std::string text = "HotSync " + formatElapsed(nowMs - startMs_) + ": " +
                     count(read_, "database", "databases") + " read, " + std::to_string(written_) +
                     " written, " + formatBytes(static_cast<double>(bytes_)) + " at " +
                     formatBytes(rate(nowMs)) + "/s";
  if (!moving_.empty()) text += ", now " + moving_;
  return text;
}

std::string SyncStatus::summaryText(int64_t nowMs) const {
  const int64_t elapsed = std::max<int64_t>(nowMs - startMs_, 1);
  return "HotSync totals: " + count(toDesktop_, "picture", "pictures") + " to the desktop, " +
         std::to_string(toHandheld_) + " to the handheld, " +
         count(read_, "database", "databases") + " read, " + std::to_string(written_) +
         " written, " + formatBytes(static_cast<double>(bytes_)) + " in " + formatElapsed(elapsed) +
         " (" + formatBytes(static_cast<double>(bytes_) * 1000.0 / static_cast<double>(elapsed)) +
         "/s)";
}

std::string SyncStatus::due(int64_t nowMs) {
  switch (mode_) {
    case StatusMode::Quiet:
      return {};
    case StatusMode::Terminal: {
      if (!changed_ || (drawn_ && nowMs - lastMs_ < kRedrawIntervalMs)) return {};
      std::string text = statusText(nowMs);
      if (text.size() > columns_) text.resize(columns_);
      drawn_ = true;
      changed_ = false;
      lastMs_ = nowMs;
      return "\r" + text + "\x1b[K";
    }
    case StatusMode::Lines:
      if (nowMs - lastMs_ < kLineIntervalMs) return {};
      lastMs_ = nowMs;
      return statusText(nowMs) + "\n";
  }
  return {};
}

std::string SyncStatus::clear() {
  if (mode_ != StatusMode::Terminal || !drawn_) return {};
  drawn_ = false;
  changed_ = true;
  return "\r\x1b[K";
}

std::string SyncStatus::finish(int64_t nowMs) {
  if (mode_ == StatusMode::Quiet) return {};
  std::string text = clear() + summaryText(nowMs) + "\n";
  mode_ = StatusMode::Quiet;
  return text;
}

namespace {

SyncStatus* active = nullptr;

void write(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void onCall(const char* op, const char* dbName, uint32_t dbType, uint32_t bytes, void*) {
  if (!active) return;
  const int64_t now = steadyMs();
  active->call(op, dbName, dbType, bytes, now);
  write(active->due(now));
}

StatusMode modeFor(bool quiet) {
  if (quiet) return StatusMode::Quiet;
  return process::stdoutIsTerminal() ? StatusMode::Terminal : StatusMode::Lines;
}

}  // namespace

StatusDisplay::StatusDisplay(bool quiet)
    : status_(modeFor(quiet), steadyMs(), process::terminalColumns()) {
  active = &status_;
  HsSetCallObserver(onCall, nullptr);
}

StatusDisplay::~StatusDisplay() {
  HsSetCallObserver(nullptr, nullptr);
  write(status_.clear());
  active = nullptr;
}

void StatusDisplay::finish() {
  if (finished_) return;
  finished_ = true;
  write(status_.finish(steadyMs()));
}

void statusLinkBytes(uint64_t bytes) {
  if (!active) return;
  const int64_t now = steadyMs();
  active->linkBytes(bytes, now);
  write(active->due(now));
}

void statusBeforeLine() {
  if (active) write(active->clear());
}

}  // namespace lumora::host
