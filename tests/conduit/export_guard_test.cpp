// No exception of any type leaves a conduit export: it is logged as one line and the
// export returns as after a caught integer.
#include "conduit/export_guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "conduit/exports.h"
#include "conduit/transfer_table.h"
#include "platform/ui/headless_toolkit.h"
#include "tests/conduit/hotsync_fixture.h"

namespace lumora::conduit {
namespace {

struct NotAnException {};

using Lines = std::vector<test::LogLine>;

class ExportGuard : public test::HandheldTest {};

TEST_F(ExportGuard, EveryTypeIsCaughtAndLoggedOnce) {
  const struct {
    const char* name;
    void (*thrower)();
    test::LogLine line;
  } cases[] = {
      {"no memory",
       [] { throw std::bad_alloc(); },
       {"Lumora: OpenConduit stopped on an unexpected error (std::bad_alloc).", 22}},
      {"control bytes in the text",
       [] { throw std::runtime_error("two\nlines\x7f"); },
       {"Lumora: OpenConduit stopped on an unexpected error (two?lines?).", 22}},
      {"long text",
       [] { throw std::runtime_error(std::string(500, 'x')); },
       {"Lumora: OpenConduit stopped on an unexpected error (" + std::string(120, 'x') + ").", 22}},
      {"not an exception class",
       [] { throw NotAnException(); },
       {"Lumora: OpenConduit stopped on an unexpected error (an exception of unknown type).", 22}},
      {"an integer", [] { throw int32_t{7}; }, {"Quillet: error 7.", 22}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    EXPECT_EQ(guardExport("OpenConduit", -5,
                          [&]() -> int32_t {
                            c.thrower();
                            return 1;
                          }),
              -5);
    EXPECT_EQ(log, Lines{c.line});
  }
  log.clear();
  EXPECT_EQ(guardExport("OpenConduit", -5, [] { return 3; }), 3);
  EXPECT_TRUE(log.empty());
}

TEST_F(ExportGuard, ALogCallThatThrowsTooLosesOnlyTheLine) {
  HsInjectFault("LogAddEntry", 1, 9, 1);
  EXPECT_EQ(guardExport("CfgConduit", 0, []() -> int32_t { throw std::bad_alloc(); }), 0);
  EXPECT_TRUE(log.empty());
}

// OpenConduit with a transfer that runs out of memory: the HotSync ends as after a caught
// integer, without deleting the font database.
bool desktopOutOfMemory(uint32_t, uint32_t, bool) {
  throw std::bad_alloc();
}
bool handheldNothing(uint32_t, bool) {
  return true;
}

TEST_F(ExportGuard, OpenConduitReturnsZeroWhenATransferThrows) {
  createDatabase("TTFonts_DB", fourCC("ttfn"), fourCC("TTFt"));
  const Transfers saved = transfers();
  transfers() = {&desktopOutOfMemory, &handheldNothing};
  for (uint32_t type : {0u, 2u}) {
    log.clear();
    uint8_t props[4];
    std::memcpy(props, &type, sizeof type);
    EXPECT_EQ(OpenConduit(nullptr, props), 0) << type;
    EXPECT_EQ(log,
              (Lines{{"Lumora: OpenConduit stopped on an unexpected error (std::bad_alloc).", 22}}))
        << type;
  }
  transfers() = saved;
  EXPECT_TRUE(databaseExists("TTFonts_DB"));
}

// A front end whose dialog fails as it opens.
class BrokenToolkit final : public ui::HeadlessToolkit {
 public:
  BrokenToolkit() { previous_ = ui::setToolkit(this); }
  ~BrokenToolkit() override { ui::setToolkit(previous_); }
  intptr_t dialogBox(const ui::DialogTemplate&, ui::Window, ui::DialogProc, void*) override {
    throw std::runtime_error("no window");
  }

 private:
  ui::Toolkit* previous_ = nullptr;
};

TEST_F(ExportGuard, CfgConduitReturnsZeroWhenTheDialogThrows) {
  BrokenToolkit toolkit;
  std::vector<uint8_t> record(352, 0);
  storeLe32(record.data(), 1);
  uint32_t size = 352;
  EXPECT_EQ(CfgConduit(0, record.data(), &size), 0);
  EXPECT_EQ(log, (Lines{{"Lumora: CfgConduit stopped on an unexpected error (no window).", 22}}));
}

TEST_F(ExportGuard, RegistrationFailsWhenTheConduitManagerThrows) {
  const struct {
    const char* op;
    int32_t (*call)();
  } cases[] = {
      {"CmInstallCreator", &DllRegisterServer},
      {"CmSetCreatorTitle", &DllRegisterServer},
      {"CmRemoveConduitByCreatorID", &DllUnregisterServer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.op);
    log.clear();
    HsResetFaults();
    HsInjectFault(c.op, 1, -3, 1);
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(log, (Lines{{"Quillet: error -3.", 22}}));
  }
}

}  // namespace
}  // namespace lumora::conduit
