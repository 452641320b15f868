// Recordings on disk: what a file holds, and what is left of it when the disk says no.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "engine/recording/scan_recorder.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

const engine::ScanRecorder::Header kHeader{{"Zelmor recording", "requested rate 1000 scans/s"}};

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
        EXPECT_FALSE(r.open(path, overwrite, 0, kHeader)) << path;
        EXPECT_NE(r.error().find(reason), std::string::npos) << r.error();
        EXPECT_FALSE(r.isOpen());
    }
    EXPECT_EQ(RecordedFile(dir.path + "/kept.csv").lines,
              std::vector<std::string>{"an earlier run"});
}

TEST(ScanRecorder, AFileSizeLimitStopsItOnAWholeLineAndSaysWhatIsLeft) {
    TempFolder dir;
    const struct {  // the header of 8 traces takes 104 bytes
        rlim_t limit;
        const char* said;
        std::size_t leastRows;
    } cases[] = {
        {103, "largest size allowed here; nothing was written.", 0},
        {114, "largest size allowed here. No scan was written to", 0},
        {20000, "largest size allowed here. The scans written before stay in", 100},
    };
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    for (const auto& c : cases) {
        const std::string file = dir.path + "/limited" + std::to_string(c.limit) + ".csv";
        // The signal a write past the limit raises would end this test, unless held back.
        rlimit limit{c.limit, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        engine::ScanRecorder r;
        const double v[8] = {1.25, 0.5, 2.4993896484375, 0, 1, 2, 0.0006103515625, 1.875};
        bool going = r.open(file, false, 0, kHeader);
        for (int i = 0; going && i < 100000; ++i) {
            r.append(i * 0.001, v);
            going = i % 37 != 0 || r.flush();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_NE(r.error().find(c.said), std::string::npos) << r.error();
        std::ifstream in(file, std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)), {});
        EXPECT_LE(all.size(), c.limit) << c.said;
        EXPECT_TRUE(all.empty() || all.back() == '\n') << c.said;  // no torn line
        EXPECT_GE(RecordedFile(file).rows.size(), c.leastRows) << c.said;
    }
}

TEST(ScanRecorder, AFolderRemovedWhileRecordingStopsItWithTheReason) {
    TempFolder dir;
    const std::string folder = dir.path + "/run";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    engine::ScanRecorder r;
    ASSERT_TRUE(r.open(folder + "/scans.csv", false, 0, kHeader)) << r.error();
    const double v[8] = {};
    r.append(0.001, v);
    std::system(("rm -rf '" + folder + "'").c_str());
    EXPECT_FALSE(r.flush());
    EXPECT_FALSE(r.isOpen());
    EXPECT_NE(r.error().find("folder removed"), std::string::npos) << r.error();
}
