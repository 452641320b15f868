// Recordings on disk: what a file holds, and what is left of it when the disk says no.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/recording/scan_recorder.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

namespace {

constexpr double kStep = 2.5 / 4096;

engine::ScanRecorder::Header header(int traces) {
    engine::ScanRecorder::Header h;
    h.comments = {"Zelmor recording", "requested rate 1000 scans/s"};
    h.traces = traces;
    return h;
}

}  // namespace

TEST(ScanRecorder, WritesEveryCodeSoThatItCanBeRecoveredAndTimesFromTheStart) {
    TempFolder dir;
    const std::string file = dir.path + "/scans.csv";
    engine::ScanRecorder r;
    ASSERT_TRUE(r.open(file, false, 100.0, header(3))) << r.error();
    const int codes[][3] = {{0, 1, 4095}, {2048, 1234, 7}};
    for (int k = 0; k < 2; ++k) {
        const double v[3] = {codes[k][0] * kStep, codes[k][1] * kStep, codes[k][2] * kStep};
        r.append(100.0 + 0.001 * k, v);
    }
    r.comment("rate changed to 500 scans/s at 0.002000 s");
    ASSERT_TRUE(r.close());
    const RecordedFile f(file);
    EXPECT_EQ(f.lines, (std::vector<std::string>{
                           "# Zelmor recording", "# requested rate 1000 scans/s",
                           "time_s,ch0_V,ch1_V,ch2_V", "0.000000,0,0.0006103515625,2.4993896484375",
                           "0.001000,1.25,0.753173828125,0.0042724609375",
                           "# rate changed to 500 scans/s at 0.002000 s"}));
    EXPECT_EQ(r.scans(), 2);
}

TEST(ScanRecorder, RefusesToStartWithAReasonAndKeepsAnExistingFile) {
    TempFolder dir;
    std::ofstream(dir.path + "/kept.csv") << "an earlier run\n";
    const struct {
        std::string path;
        bool overwrite;
        const char* reason;
    } refusals[] = {
        {dir.path + "/kept.csv", false, "already exists"},
        {dir.path + "/gone/scans.csv", false, "folder does not exist"},
        {dir.path, true, "that is a folder"},
        {"/dev/full", true, "disk is full"},  // the header cannot be written
    };
    for (const auto& [path, overwrite, reason] : refusals) {
        if (access(path.c_str(), F_OK) != 0 && path == "/dev/full") continue;
        engine::ScanRecorder r;
        EXPECT_FALSE(r.open(path, overwrite, 0, header(8))) << path;
        EXPECT_NE(r.error().find(reason), std::string::npos) << r.error();
        EXPECT_FALSE(r.isOpen());
    }
    EXPECT_EQ(RecordedFile(dir.path + "/kept.csv").lines,
              std::vector<std::string>{"an earlier run"});
}

TEST(ScanRecorder, AFileSizeLimitStopsItOnAWholeLineAndSaysWhatIsLeft) {
    TempFolder dir;
    engine::ScanRecorder sized;  // the header alone, for the limits below
    ASSERT_TRUE(sized.open(dir.path + "/header.csv", false, 0, header(8)));
    const auto headerBytes = static_cast<rlim_t>(sized.bytesWritten());
    const struct {
        const char* what;
        rlim_t limit;
        const char* said;
        std::size_t leastRows;
    } cases[] = {
        {"the header does not fit", headerBytes - 1, "; nothing was written.", 0},
        {"no scan fits", headerBytes + 10, "No scan was written to", 0},
        {"scans fit", 20000, "The scans written before stay in", 100},
    };
    for (const auto& c : cases) {
        const std::string file = dir.path + "/limited.csv", said = dir.path + "/said.txt";
        std::remove(file.c_str());
        // In a child: the limit is the process's own. Nothing there has set SIGXFSZ aside.
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit{c.limit, old.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
            engine::ScanRecorder r;
            auto tell = [&] {
                setrlimit(RLIMIT_FSIZE, &old);
                std::ofstream(said) << r.error();
                _exit(0);
            };
            if (!r.open(file, false, 0, header(8))) tell();
            const double v[8] = {1.25, 0.5, 2.4993896484375, 0, 1, 2, 0.0006103515625, 1.875};
            for (int i = 0; i < 100000; ++i) {
                r.append(i * 0.001, v);
                if (i % 37 == 0 && !r.flush()) tell();
            }
            _exit(4);  // never refused
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << c.what << ": killed by signal " << WTERMSIG(status);
        ASSERT_EQ(WEXITSTATUS(status), 0) << c.what;
        std::string error;
        std::getline(std::ifstream(said), error);
        EXPECT_NE(error.find("largest size"), std::string::npos) << error;
        EXPECT_NE(error.find(c.said), std::string::npos) << c.what << ": " << error;
        std::ifstream in(file, std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)), {});
        EXPECT_LE(all.size(), c.limit) << c.what;
        EXPECT_TRUE(all.empty() || all.back() == '\n') << c.what;  // no torn line
        const RecordedFile f(file);
        for (const auto& row : f.rows) EXPECT_EQ(row.size(), 9u) << c.what;
        EXPECT_GE(f.rows.size(), c.leastRows) << c.what;
    }
}

TEST(ScanRecorder, AFolderRemovedWhileRecordingStopsItWithTheReason) {
    TempFolder dir;
    const std::string folder = dir.path + "/run";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    engine::ScanRecorder r;
    ASSERT_TRUE(r.open(folder + "/scans.csv", false, 0, header(8))) << r.error();
    const double v[8] = {};
    r.append(0.001, v);
    std::system(("rm -rf '" + folder + "'").c_str());
    r.append(0.002, v);
    EXPECT_FALSE(r.flush());
    EXPECT_FALSE(r.isOpen());
    EXPECT_NE(r.error().find("folder removed"), std::string::npos) << r.error();
}
