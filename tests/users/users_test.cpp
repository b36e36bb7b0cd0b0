// Who may HotSync: one table of handhelds and desktop user lists, run in this process (the
// handheld answering through the DLP server directly) and over NetSync on 127.0.0.1 with
// lumora-handheld, the session told whether its peer counts as local. A refused handheld
// leaves both sides byte-identical; an accepted one ends with this desktop's ID in its
// last-sync field.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "hotsync/link/dlp_server.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/session/link_session.h"
#include "hotsync/session/user_list.h"
#include "hotsync/store/handheld_state.h"
#include "hotsync/store/handheld_store.h"
#include "hotsync/transport/tcp_stream.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace lumora::host {
namespace {

namespace fs = std::filesystem;
constexpr int kWaitMs = 10000;

// Every file under dir, hidden ones too, by relative path.
std::map<std::string, Bytes> snapshot(const std::string& dir) {
  std::map<std::string, Bytes> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      out[fs::relative(e.path(), dir).string()] = test::readFile(e.path().string());
  return out;
}

// A desktop (Windows folder with the conduit registered, sync folder) and the sample
// handheld with the given user.
struct Scene {
  Scene(const std::string& usersText, const link::HandheldUser& user) {
    fs::create_directories(root.file("windows"));
    fs::copy(LUMORA_SOURCE_DIR "/samples/handheld", handheld);
    fs::copy(LUMORA_SOURCE_DIR "/samples/sync", root.file("sync"));
    test::writeText(root.file("windows/Lumdex.ini"),
                    "[Lumdex]\r\nSyncDir=" + root.file("sync") + "\r\n");
    const std::string command = "LUMORA_WINDOWS_DIR='" + root.file("windows") + "' '" +
                                LUMORA_HOTSYNC_EXE "' register >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::string error;
    thisDesktop = desktopId(error).value_or(0);
    test::writeText(userListFile(), usersText);
    EXPECT_TRUE(saveHandheldState(state, user));
  }
  std::map<std::string, Bytes> everything() const { return snapshot(root.path()); }

  test::TempDir root;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", root.file("windows")};
  std::string handheld = root.file("handheld");
  std::string state = handheld + "/" + kHandheldStateFile;
  uint32_t thisDesktop = 0;
};

// The handheld in this process: each request answered as it is sent.
class DirectLink final : public link::MessageLink {
 public:
  explicit DirectLink(link::DlpServer& server) : server_(server) {}
  bool send(ByteView message) override {
    answer_ = server_.answer(message);
    return true;
  }
  link::LinkMessage receive(int) override { return {link::StreamStatus::Ok, answer_, {}}; }

 private:
  link::DlpServer& server_;
  Bytes answer_;
};

// One HotSync of the scene's handheld; the handheld keeps its user as lumora-handheld does.
LinkSessionResult syncInProcess(const Scene& scene, const LinkSessionOptions& options) {
  hotsync::HandheldStore store(scene.handheld, [](const std::string&) {});
  link::DlpServer server(store, loadHandheldState(scene.state));
  DirectLink direct(server);
  LinkSessionResult result = runLinkSession(direct, options);
  if (server.ended()) {
    EXPECT_TRUE(saveHandheldState(scene.state, server.user()));
  }
  return result;
}

LinkSessionResult syncOverNetwork(const Scene& scene, const LinkSessionOptions& options) {
  std::string error;
  auto listener = TcpListener::open({kLoopback, 0}, error);
  EXPECT_TRUE(listener) << error;
  if (!listener) return {};
  const std::string address = "127.0.0.1:" + std::to_string(listener->port());
  const char* argv[] = {LUMORA_HANDHELD_EXE,    "connect", address.c_str(), "--folder",
                        scene.handheld.c_str(), nullptr};
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &quiet, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&quiet);
  LinkSessionResult result;
  auto accepted = listener->accept(kWaitMs);
  if (accepted.stream) {
    link::NetSyncLink wire(*accepted.stream, link::LinkRole::Desktop);
    if (auto hello = link::desktopHandshake(wire, kWaitMs); hello)
      result = runLinkSession(wire, options);
    else
      ADD_FAILURE() << hello.error;
  }
  accepted.stream.reset();
  int status = 0;
  waitpid(pid, &status, 0);  // lumora-handheld gives up by itself within its time-outs
  return result;
}

TEST(WhoMayHotSync, MatchingRulesInProcessAndOverTheNetwork) {
  constexpr uint32_t kNew = 0xFFFFFFFF;  // a fresh ID, neither 0 nor one the list had
  struct Case {
    const char* name;
    const char* users;  // Users.txt
    uint32_t handheldId;
    const char* handheldName;
    bool local, acceptNewUsers;
    const char* user;     // whose HotSync; nullptr: refused
    uint32_t idAfter;     // the handheld's and the list's user ID afterwards
    const char* refusal;  // part of the refusal line
  };
  const Case cases[] = {
      {"known ID", "111\t\tAlice\n", 111, "Alice", false, false, "Alice", 111, nullptr},
      {"known ID, renamed handheld", "111\t\tAlice\n", 111, "Ally", false, false, "Alice", 111,
       nullptr},
      {"ID 0, local", "", 0, "Bob", true, false, "Bob", kNew, nullptr},
      {"ID 0, local, known name", "111\t\tBob\n", 0, "Bob", true, false, "Bob", kNew, nullptr},
      {"ID 0, network", "", 0, "Bob", false, false, nullptr, 0,
       "over the network; to accept it, run 'lumora-hotsync users pair Bob'"},
      {"ID 0, network, --accept-new-users", "", 0, "Bob", false, true, "Bob", kNew, nullptr},
      {"known name, another ID", "111\t\tAlice\n", 222, "Alice", true, true, nullptr, 0,
       "user ID 222 is not the one this desktop knows for Alice; to accept this handheld, "
       "run 'lumora-hotsync users pair Alice'"},
      {"paired name, another ID, network", "pair\t\tAlice\n", 222, "Alice", false, false, "Alice",
       222, nullptr},
      {"paired name, ID 0, network", "pair\t\tCarl\n", 0, "Carl", false, false, "Carl", kNew,
       nullptr},
  };
  for (bool overNetwork : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (overNetwork ? ", over the network" : ", in process"));
      link::HandheldUser user;
      user.userId = c.handheldId;
      user.name = c.handheldName;
      Scene scene(c.users, user);
      LinkSessionOptions options;
      options.peerIsLocal = c.local;
      options.acceptNewUsers = c.acceptNewUsers;
      options.timeoutMs = kWaitMs;
      const auto before = scene.everything();
      testing::internal::CaptureStdout();
      LinkSessionResult result =
          overNetwork ? syncOverNetwork(scene, options) : syncInProcess(scene, options);
      testing::internal::GetCapturedStdout();

      if (!c.user) {
        EXPECT_FALSE(result.ran);
        EXPECT_NE(result.error.find(c.refusal), std::string::npos) << result.error;
        EXPECT_TRUE(scene.everything() == before) << "a refused HotSync changed a file";
        continue;
      }
      ASSERT_TRUE(result.ran) << result.error;
      EXPECT_EQ(result.user, c.user);
      const link::HandheldUser after = loadHandheldState(scene.state);
      EXPECT_EQ(after.lastSyncPc, scene.thisDesktop);
      EXPECT_NE(scene.thisDesktop, 0u);
      std::string error;
      auto list = UserList::load(error);
      ASSERT_TRUE(list) << error;
      const KnownUser* known = list->byName(c.user);
      ASSERT_TRUE(known);
      EXPECT_FALSE(known->pairing);
      EXPECT_FALSE(known->lastSync.empty());
      EXPECT_EQ(known->userId, after.userId);
      if (c.idAfter == kNew) {
        EXPECT_NE(after.userId, 0u);
        EXPECT_NE(after.userId, 111u);
      } else {
        EXPECT_EQ(after.userId, c.idAfter);
      }
    }
  }
}

}  // namespace
}  // namespace lumora::host
