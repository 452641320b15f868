// The settings file the look is read from: whatever it holds, the reader gives one of the
// looks, and its word on the status line is safe to print on one line.
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/panels/looks.h"
#include "utf8_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = [] {
        char home[] = "/tmp/zelmor-looks-fuzz-XXXXXX";
        if (!mkdtemp(home)) std::abort();
        qputenv("XDG_CONFIG_HOME", home);
        QDir().mkpath(QString(home) + "/zelmor");
        return QString(home) + "/zelmor";
    }();
    QFile file(folder + "/zelmor.ini");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    std::string problem;
    const engine::Look look = engine::SavedLook(problem);
    if (look != engine::Look::desktop && look != engine::Look::light && look != engine::Look::dark)
        std::abort();
    fuzz::RequireSafe(problem, "SavedLook");
    if (!problem.empty() && look != engine::Look::desktop) {
        std::fprintf(stderr, "a problem, yet a look other than the desktop's\n");
        std::abort();
    }
    return 0;
}
