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

TEST(Privileges, IdsAreParsedStrictlyAndARefusalSaysZelmorOnce) {
    EXPECT_EQ(engine::ParseId("65534"), 65534);
    for (const char* bad : {"", "65534junk", "-1", " 1", "99999999999", "0x10"})
        EXPECT_EQ(engine::ParseId(bad), -1) << bad;

    // Root whose port could not be opened either: the port's reason, and what the system
    // named in it escaped.
    const std::string open = "ppdev: /dev/parport\n0\x1b[2J", root = "direct: started as root";
    for (const auto& [backend, privileges, line] :
         {std::tuple{open, root, "zelmor: ppdev: /dev/parport\\x0a0\\x1b[2J"},
          {"", root, "zelmor: direct: started as root"},
          {"", "", ""}})
        EXPECT_EQ(engine::RefusalLine(backend, privileges), line);
}

TEST(Privileges, EveryRiseIsGivenUpOnEveryBackEnd) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on each rise";
    const passwd* nobody = getpwuid(kNobody);
    ASSERT_TRUE(nobody);
    const gid_t nobodyGroup = nobody->pw_gid;
    ASSERT_NE(nobodyGroup, 0u);

    // Each rise a real start can have, taken on by a child of root (0 when it took), and the
    // refusal it must meet; none: it must be given up for good.
    const std::tuple<const char*, std::function<int()>, std::string> rises[] = {
        {"sudo",
         [] {
             const gid_t rootGroup = 0;  // root's groups must go too
             setgroups(1, &rootGroup);
             setenv("SUDO_UID", "65534", 1);
             setenv("SUDO_GID", "0", 1);  // never trusted: the group is the password entry's
             return 0;
         },
         ""},
        {"sudo with an empty SUDO_UID, naming nobody in particular",
         [] { return setenv("SUDO_UID", "", 1); }, "SUDO_UID (\"\") names no user"},
        {"setuid root",
         [&] { return setresgid(nobodyGroup, 0, 0) || setresuid(kNobody, 0, 0) ? 7 : 0; }, ""},
        {"a file capability (cap_sys_rawio) on a binary an ordinary user starts",
         [&] {
             prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0);
             if (setresgid(nobodyGroup, nobodyGroup, nobodyGroup) ||
                 setresuid(kNobody, kNobody, kNobody))
                 return 7;
             __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
             __user_cap_data_struct rawio[2] = {};
             rawio[0].effective = rawio[0].permitted = 1u << CAP_SYS_RAWIO;
             return syscall(SYS_capset, &header, rawio) != 0 || noCapabilities() ? 8 : 0;
         },
         ""},
    };
    for (RootSession session : {RootSession::stays, RootSession::refused}) {
        for (const auto& [what, rise, refusal] : rises) {
            EXPECT_EQ(inChild([&] {
                          unsetenv("SUDO_UID");
                          setgroups(0, nullptr);
                          if (const int failed = rise()) return failed;
                          const std::string said = GiveUpPrivileges(session);
                          if (!refusal.empty())
                              return said.find(refusal) == std::string::npos ? 1 : 0;
                          return !said.empty() ? 1 : droppedTo(kNobody, nobodyGroup);
                      }),
                      0)
                << what;
        }
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
