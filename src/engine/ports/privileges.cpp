#include "engine/ports/privileges.h"

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/escape.h"

namespace engine {
namespace {

bool anyCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return true;  // cannot tell: assume raised
    for (const auto& d : data)
        if (d.effective || d.permitted || d.inheritable) return true;
    return prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, CAP_SYS_RAWIO, 0, 0) == 1;
}

std::string failed(const char* what) {
    return std::string("cannot give up privileges (") + what + "): " + std::strerror(errno) +
           "; refusing to open a window with them";
}

}  // namespace

long ParseId(const char* text) {
    if (!text || !*text || std::strlen(text) > 10) return -1;
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
    }
    return value <= 0x7FFFFFFE ? value : -1;
}

std::string GiveUpPrivileges(RootSession rootSession) {
    uid_t ruid, euid, suid;
    gid_t rgid, egid, sgid;
    getresuid(&ruid, &euid, &suid);
    getresgid(&rgid, &egid, &sgid);
    const char* sudoUid = std::getenv("SUDO_UID");
    const bool root = ruid == 0 && euid == 0 && suid == 0;

    // Root through sudo from root (SUDO_UID 0) raised nothing either.
    if (root && (!sudoUid || ParseId(sudoUid) == 0)) {
        if (rootSession == RootSession::stays) return {};
        return "direct: started as root with no user to return to; start zelmor from your own "
               "account, through sudo, or give the binary the capability "
               "(sudo setcap cap_sys_rawio+ep zelmor)";
    }
    const bool raised = euid != ruid || suid != ruid || egid != rgid || sgid != rgid ||
                        (root && sudoUid) || (ruid != 0 && anyCapability());
    if (!raised) return {};

    uid_t uid = ruid;
    gid_t gid = rgid;
    if (ruid == 0) {
        // Root through sudo: back to the user who asked, in that user's own group. SUDO_GID is
        // not trusted; a value that is not plainly a user number is refused.
        const long asked = ParseId(sudoUid);
        const passwd* user = asked > 0 ? getpwuid(static_cast<uid_t>(asked)) : nullptr;
        if (!user)
            return "started through sudo, but SUDO_UID (\"" + Printable(sudoUid) +
                   "\") names no user to return to; refusing to run as root";
        uid = user->pw_uid;
        gid = user->pw_gid;
    }
    if (uid == 0 || gid == 0)
        return "the user to return to is root or in group root (uid " + std::to_string(uid) +
               ", gid " + std::to_string(gid) + "); refusing to run with those privileges";

    if (euid == 0 && setgroups(0, nullptr) != 0) return failed("supplementary groups");
    if (setresgid(gid, gid, gid) != 0) return failed("group");
    if (setresuid(uid, uid, uid) != 0) return failed("user");
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    if (syscall(SYS_capset, &header, none) != 0) return failed("capabilities");
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    if (setuid(0) == 0 || seteuid(0) == 0 || setgid(0) == 0 || setegid(0) == 0 || anyCapability())
        return "privileges could be regained after giving them up; refusing to go on";
    return {};
}

std::string RefusalLine(const std::string& backendError, const std::string& privilegesError) {
    // The reasons quote what the system and the environment said (device names, ids).
    const std::string& why = backendError.empty() ? privilegesError : backendError;
    return why.empty() ? why : "zelmor: " + Printable(why);
}

}  // namespace engine
