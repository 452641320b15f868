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

// What raised a start above its user.
enum class Rise { sudo, sudoUid, setuidRoot, rawioCapability };

// Takes rise on in this child, with value as SUDO_GID (sudo) or SUDO_UID (sudoUid); non-zero
// when it could not.
int takeOn(Rise rise, const char* value, gid_t group) {
    if (rise == Rise::sudo) return setenv("SUDO_UID", "65534", 1) | setenv("SUDO_GID", value, 1);
    if (rise == Rise::sudoUid) return setenv("SUDO_UID", value, 1);
    unsetenv("SUDO_UID");
    setgroups(0, nullptr);
    if (rise == Rise::setuidRoot) return setresgid(group, 0, 0) | setresuid(kNobody, 0, 0) ? 7 : 0;
    // A file capability (cap_sys_rawio) on a binary an ordinary user starts.
    prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0);
    if (setresgid(group, group, group) || setresuid(kNobody, kNobody, kNobody)) return 7;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct rawio[2] = {};
    rawio[0].effective = rawio[0].permitted = 1u << CAP_SYS_RAWIO;
    return syscall(SYS_capset, &header, rawio) != 0 || noCapabilities() ? 8 : 0;
}

}  // namespace

TEST(Privileges, IdsAreParsedStrictly) {
    EXPECT_EQ(engine::ParseId("65534"), 65534);
    EXPECT_EQ(engine::ParseId("0"), 0);
    for (const char* bad : {"", "abc", "65534junk", "-1", " 1", "1 ", "99999999999", "0x10"})
        EXPECT_EQ(engine::ParseId(bad), -1) << bad;
    EXPECT_EQ(engine::ParseId(nullptr), -1);
}

TEST(Privileges, AStartRefusalIsOneLineSayingZelmorOnce) {
    const std::string open =
        "direct: no parallel port: neither the BIOS table nor the kernel "
        "lists one.";
    const std::string root = "direct: started as root with no user to return to";
    const struct {
        std::string backendError, privilegesError, line;
    } cases[] = {
        {open, root, "zelmor: " + open},  // root, and the port could not be opened either
        {open, "", "zelmor: " + open},
        {"", root, "zelmor: " + root},
        {"", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(engine::RefusalLine(c.backendError, c.privilegesError), c.line);
}

TEST(Privileges, EveryRiseIsGivenUpOnEveryBackEnd) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on each rise";
    const passwd* nobody = getpwuid(kNobody);
    ASSERT_TRUE(nobody);
    const gid_t group = nobody->pw_gid;
    ASSERT_NE(group, 0u);
    const struct {
        Rise rise;
        const char* value;
        bool givenUp;
    } cases[] = {
        // sudo: the group comes from the password entry, never from SUDO_GID.
        {Rise::sudo, "0", true},
        {Rise::sudo, "", true},
        {Rise::sudo, "65534junk", true},
        // A SUDO_UID that names nobody in particular is refused, not guessed.
        {Rise::sudoUid, "", false},
        {Rise::sudoUid, "abc", false},
        {Rise::sudoUid, "65534junk", false},
        {Rise::sudoUid, "4000000000", false},
        {Rise::setuidRoot, "", true},
        {Rise::rawioCapability, "", true},
    };
    for (RootSession session : {RootSession::stays, RootSession::refused}) {
        for (const auto& c : cases) {
            EXPECT_EQ(inChild([&] {
                          if (const int failed = takeOn(c.rise, c.value, group)) return failed;
                          const bool gaveUp = GiveUpPrivileges(session).empty();
                          if (!c.givenUp) return gaveUp ? 1 : 0;
                          return gaveUp ? droppedTo(kNobody, group) : 1;
                      }),
                      0)
                << static_cast<int>(c.rise) << " " << c.value;
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
