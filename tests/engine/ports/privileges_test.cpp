// Giving up privileges, in forked children of a root test run: each child takes on the
// rise a real start would have (sudo, setuid, a file capability) and then gives it up.
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>

#include "engine/ports/privileges.h"

using engine::GiveUpPrivileges;
using engine::RootSession;

namespace {

// Runs check in a forked child; its exit code says what failed (0: all held).
int inChild(const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) _exit(check());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

bool noCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    syscall(SYS_capget, &header, data);
    return !data[0].effective && !data[0].permitted && !data[1].effective && !data[1].permitted;
}

// Back to who, for good: ids, groups, capabilities, and no way back to root.
int droppedTo(uid_t uid, gid_t gid) {
    uid_t r, e, s;
    gid_t rg, eg, sg;
    getresuid(&r, &e, &s);
    getresgid(&rg, &eg, &sg);
    if (r != uid || e != uid || s != uid) return 2;
    if (rg != gid || eg != gid || sg != gid) return 3;
    if (getgroups(0, nullptr) != 0) return 4;
    if (!noCapabilities()) return 5;
    if (setuid(0) == 0 || setgid(0) == 0) return 6;
    return 0;
}

constexpr uid_t kNobody = 65534;

}  // namespace

TEST(Privileges, IdsAreParsedStrictly) {
    EXPECT_EQ(engine::ParseId("65534"), 65534);
    EXPECT_EQ(engine::ParseId("0"), 0);
    for (const char* bad : {"", "abc", "65534junk", "-1", " 1", "1 ", "99999999999", "0x10"})
        EXPECT_EQ(engine::ParseId(bad), -1) << bad;
    EXPECT_EQ(engine::ParseId(nullptr), -1);
}

// Root whose port could not be opened either: the port's reason, "zelmor:" once, and what
// the system named in it escaped.
TEST(Privileges, AStartRefusalSaysZelmorOnce) {
    const std::string open = "direct: no parallel port", root = "direct: started as root";
    const std::string none;
    for (const auto& [backend, privileges, line] :
         {std::tuple{open, root, "zelmor: direct: no parallel port"},
          {open, none, "zelmor: direct: no parallel port"},
          {none, root, "zelmor: direct: started as root"},
          {"ppdev: /dev/parport\n0\x1b[2J", none, "zelmor: ppdev: /dev/parport\\x0a0\\x1b[2J"},
          {none, none, ""}})
        EXPECT_EQ(engine::RefusalLine(backend, privileges), line);
}

TEST(Privileges, EveryRiseIsGivenUpOnEveryBackEnd) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on each rise";
    const passwd* nobody = getpwuid(kNobody);
    ASSERT_TRUE(nobody);
    const gid_t nobodyGroup = nobody->pw_gid;
    ASSERT_NE(nobodyGroup, 0u);

    for (RootSession session : {RootSession::stays, RootSession::refused}) {
        // sudo: the group comes from the password entry, never from SUDO_GID.
        for (const char* sudoGid : {"0", "", "abc", "65534junk"}) {
            EXPECT_EQ(inChild([&] {
                          setenv("SUDO_UID", "65534", 1);
                          setenv("SUDO_GID", sudoGid, 1);
                          if (!GiveUpPrivileges(session).empty()) return 1;
                          return droppedTo(kNobody, nobodyGroup);
                      }),
                      0)
                << "SUDO_GID=" << sudoGid;
        }
        // A SUDO_UID that names nobody in particular is refused, not guessed, and quoted
        // back on one line that cannot steer the terminal.
        for (auto [sudoUid, quoted] : {std::pair{"", "(\"\")"},
                                       {"abc", "(\"abc\")"},
                                       {"65534junk", "(\"65534junk\")"},
                                       {"4000000000", "(\"4000000000\")"},
                                       {"1\n\x1b[2J\xc2\x9b", "(\"1\\x0a\\x1b[2J\\xc2\\x9b\")"}}) {
            EXPECT_EQ(inChild([&] {
                          setenv("SUDO_UID", sudoUid, 1);
                          const std::string refusal = GiveUpPrivileges(session);
                          return refusal.find(std::string("SUDO_UID ") + quoted) ==
                                 std::string::npos;
                      }),
                      0)
                << "SUDO_UID=" << quoted;
        }
        // setuid root: back to the real user.
        EXPECT_EQ(inChild([&] {
                      unsetenv("SUDO_UID");
                      setgroups(0, nullptr);
                      if (setresgid(nobodyGroup, 0, 0) || setresuid(kNobody, 0, 0)) return 7;
                      if (!GiveUpPrivileges(session).empty()) return 1;
                      return droppedTo(kNobody, nobodyGroup);
                  }),
                  0);
        // A file capability (cap_sys_rawio) on a binary an ordinary user starts.
        EXPECT_EQ(inChild([&] {
                      unsetenv("SUDO_UID");
                      setgroups(0, nullptr);
                      prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0);
                      if (setresgid(nobodyGroup, nobodyGroup, nobodyGroup) ||
                          setresuid(kNobody, kNobody, kNobody))
                          return 7;
                      __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
                      __user_cap_data_struct rawio[2] = {};
                      rawio[0].effective = rawio[0].permitted = 1u << CAP_SYS_RAWIO;
                      if (syscall(SYS_capset, &header, rawio) != 0 || noCapabilities()) return 8;
                      if (!GiveUpPrivileges(session).empty()) return 1;
                      return droppedTo(kNobody, nobodyGroup);
                  }),
                  0);
    }

    // A root session of its own stays root for the simulator and ppdev; direct refuses.
    EXPECT_EQ(inChild([] {
                  unsetenv("SUDO_UID");
                  if (!GiveUpPrivileges(RootSession::stays).empty()) return 1;
                  if (getuid() != 0 || geteuid() != 0) return 2;
                  return GiveUpPrivileges(RootSession::refused).empty() ? 3 : 0;
              }),
              0);
}
