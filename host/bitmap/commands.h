// Sub-commands of lumora-bitmap. Each takes the arguments after its name and returns the
// exit status: 0 done, 1 the picture or bitmap was refused, 2 usage or I/O error.
#pragma once

#include <string>
#include <vector>

namespace lumora::bitmaptool {

inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;
inline constexpr int kUsageOrIo = 2;

int runEncode(const std::vector<std::string>& args);
int runDecode(const std::vector<std::string>& args);
int runInfo(const std::vector<std::string>& args);
int runPreview(const std::vector<std::string>& args);

// Prints "lumora-bitmap: message" on the error stream.
void complain(const std::string& message);

}  // namespace lumora::bitmaptool
