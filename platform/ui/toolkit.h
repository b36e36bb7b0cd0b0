// The user-interface operations the conduit needs, behind one replaceable table, so the
// logic runs the same against a real toolkit, a console and a scripted test toolkit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::ui {

using Window = void*;  // opaque owner window; nullptr for none

enum : uint32_t { kMbOk = 0x0 };
enum : int { kIdOk = 1, kIdCancel = 2 };

// The open-file dialog request in the shape the font selection fills it.
struct OpenFileRequest {
  Window owner = nullptr;
  char* fileBuffer = nullptr;  // selection buffer, Explorer-style multi-selection layout
  uint32_t fileBufferSize = 0;
  std::string_view filter;     // pairs of description and pattern, '\0'-separated
  std::string_view initialDir;
  uint32_t flags = 0;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;
  // MessageBoxA: returns the button pressed (kIdOk for an OK-only box).
  virtual int messageBox(Window owner, std::string_view text, std::string_view caption,
                         uint32_t flags) = 0;
  // GetOpenFileNameA: true when a selection was made and stored in the request's buffer.
  virtual bool getOpenFileName(OpenFileRequest& request) = 0;
  // CommDlgExtendedError for the last dialog.
  virtual uint32_t commDlgExtendedError() = 0;
};

// The toolkit in use; the default one writes message boxes to standard error and
// answers every file dialog with "cancelled".
Toolkit& toolkit();
Toolkit* setToolkit(Toolkit* t);

}  // namespace lumora::ui
