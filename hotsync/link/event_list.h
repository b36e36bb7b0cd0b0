// The recorded-session format: a JSON list of {"type": "read"|"write", "data": "<hex>"},
// one entry per read or write call on the desktop's side. The reader accepts exactly this
// shape and names the line and column of anything else.
#pragma once

#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "hotsync/link/result.h"

namespace lumora::link {

struct StreamEvent {
  bool fromHandheld = true;  // "read": the desktop received it; "write": the desktop sent it
  Bytes data;
  bool operator==(const StreamEvent&) const = default;
};

Result<std::vector<StreamEvent>> parseEventList(std::string_view json);

}  // namespace lumora::link
