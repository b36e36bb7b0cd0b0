#include "hotsync/api/fault_injector.h"

#include <algorithm>
#include <charconv>

namespace lumora::hotsync {
namespace {

std::optional<int64_t> parseNumber(std::string_view text) {
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFFFFFFull)
    return std::nullopt;
  int64_t signedValue = static_cast<int64_t>(value);
  return negative ? -signedValue : signedValue;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<Fault> parseEntry(std::string_view entry) {
  auto fields = split(entry, ':');
  if (fields.size() < 3 || fields.size() > 4 || fields[0].empty()) return std::nullopt;
  auto nth = parseNumber(fields[1]);
  auto code = parseNumber(fields[2]);
  if (!nth || !code || *nth > INT32_MAX || *nth < INT32_MIN) return std::nullopt;
  // Codes are 32-bit patterns: 0x10004403 and -1005 are both welcome.
  if (*code < INT32_MIN || *code > int64_t{UINT32_MAX}) return std::nullopt;
  Fault fault{std::string(fields[0]), static_cast<int32_t>(*nth),
              static_cast<int32_t>(static_cast<uint32_t>(*code)), false};
  if (fields.size() == 4) {
    if (fields[3] == "throw") {
      fault.throwInteger = true;
    } else {
      auto flag = parseNumber(fields[3]);
      if (!flag) return std::nullopt;
      fault.throwInteger = *flag != 0;
    }
  }
  return fault;
}

}  // namespace

FaultListResult parseFaultList(std::string_view list) {
  FaultListResult result;
  for (std::string_view entry : split(list, ',')) {
    entry = trim(entry);
    if (entry.empty()) continue;
    if (auto fault = parseEntry(entry))
      result.faults.push_back(*fault);
    else
      result.rejected.emplace_back(entry);
  }
  return result;
}

void FaultInjector::arm(const Fault& fault, bool fromEnvironment) {
  int32_t now = count(fault.op);
  Armed a{fault, fault.nth > 0 ? now + fault.nth : 0, now + 1, fromEnvironment};
  armed_.push_back(a);
}

void FaultInjector::armFromEnvironment(const std::vector<Fault>& faults) {
  std::erase_if(armed_, [](const Armed& a) { return a.fromEnvironment; });
  for (const Fault& f : faults) arm(f, /*fromEnvironment=*/true);
}

void FaultInjector::reset() {
  counts_.clear();
  armed_.clear();
}

std::optional<Fault> FaultInjector::onCall(std::string_view op) {
  auto it = counts_.find(op);
  if (it == counts_.end()) it = counts_.emplace(std::string(op), 0).first;
  int32_t call = ++it->second;
  for (auto a = armed_.begin(); a != armed_.end(); ++a) {
    if (a->fault.op != op) continue;
    if (a->dueAt == call) {
      Fault due = a->fault;
      armed_.erase(a);
      return due;
    }
    if (a->dueAt == 0 && call >= a->startAt) return a->fault;
  }
  return std::nullopt;
}

int32_t FaultInjector::count(std::string_view op) const {
  auto it = counts_.find(op);
  return it == counts_.end() ? 0 : it->second;
}

int32_t FaultInjector::totalCount() const {
  int32_t total = 0;
  for (const auto& [op, n] : counts_) total += n;
  return total;
}

}  // namespace lumora::hotsync
