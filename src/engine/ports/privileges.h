// Giving up, before any window opens, whatever raised this process above its user: root
// through sudo, a setuid or setgid binary, a file capability (cap_sys_rawio for direct port
// access). Whatever needed it (devices, port permission, physical memory) is opened first.
#pragma once

#include <string>

namespace engine {

// What the back end allows of a plain root session (root login, container, CI): the simulated
// converter and ppdev run there as the user chose; direct port access has nobody to return to
// and refuses.
enum class RootSession { stays, refused };

// Returns empty when nothing raised the process, or when everything was given up for good:
// supplementary groups, gid and uid back to the real user (to the SUDO_UID user, with that
// user's own group from the password database, when root came from sudo), every capability
// cleared, and regaining any of it tried and failed. Otherwise one line saying why the
// program will not start.
std::string GiveUpPrivileges(RootSession rootSession);

// The one line start-up prints when it will not go on, "zelmor: " once before it: the port
// back end's refusal when opening it failed (said first, as it came first), else the reason
// privileges could not be given up; empty when neither.
std::string RefusalLine(const std::string& backendError, const std::string& privilegesError);

// A user or group number as the whole of text, decimal, nothing else; -1 when it is not one.
long ParseId(const char* text);

}  // namespace engine
