// Recordings on disk: what a file holds, and what is left of it when the disk says no.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/recording/scan_recorder.h"
#include "support/temp_folder.h"

namespace {

constexpr double kStep = 2.5 / 4096;

std::vector<std::string> lines(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> v;
    std::stringstream s(line);
    for (std::string f; std::getline(s, f, ',');) v.push_back(f);
    return v;
}

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
    const auto l = lines(file);
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0], "# Zelmor recording");
    EXPECT_EQ(l[2], "time_s,ch0_V,ch1_V,ch2_V");
    EXPECT_EQ(l[3], "0.000000,0,0.0006103515625,2.4993896484375");
    EXPECT_EQ(fields(l[4])[0], "0.001000");
    for (int k = 0; k < 2; ++k)
        for (int t = 0; t < 3; ++t) {
            const double code = std::stod(fields(l[3 + k])[1 + t]) / kStep;
            EXPECT_EQ(code, codes[k][t]);  // exactly a whole code
        }
    EXPECT_EQ(l[5], "# rate changed to 500 scans/s at 0.002000 s");
    EXPECT_EQ(r.scans(), 2);
}

TEST(ScanRecorder, KeepsAnExistingFileAndSaysWhyItCannotStart) {
    TempFolder dir;
    const std::string file = dir.path + "/kept.csv";
    std::ofstream(file) << "an earlier run\n";
    engine::ScanRecorder r;
    EXPECT_FALSE(r.open(file, false, 0, header(8)));
    EXPECT_NE(r.error().find("already exists"), std::string::npos) << r.error();
    EXPECT_EQ(lines(file), std::vector<std::string>{"an earlier run"});

    EXPECT_FALSE(r.open(dir.path + "/gone/scans.csv", false, 0, header(8)));
    EXPECT_NE(r.error().find("folder does not exist"), std::string::npos) << r.error();

    // A disk that is full from the first byte: the header cannot be written.
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(r.open("/dev/full", true, 0, header(8)));
        EXPECT_NE(r.error().find("disk is full"), std::string::npos) << r.error();
        EXPECT_FALSE(r.isOpen());
    }
}

TEST(ScanRecorder, AFileSizeLimitStopsItOnAWholeLine) {
    TempFolder dir;
    const std::string file = dir.path + "/limited.csv";
    // In a child: the limit is the process's own.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
        engine::ScanRecorder r;
        if (!r.open(file, false, 0, header(8))) _exit(2);
        const double v[8] = {1.25, 0.5, 2.4993896484375, 0, 1, 2, 0.0006103515625, 1.875};
        for (int i = 0; i < 100000; ++i) {
            r.append(i * 0.001, v);
            if (i % 37 == 0 && !r.flush())
                _exit(r.error().find("largest size") != std::string::npos ? 0 : 3);
        }
        _exit(4);  // never refused
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    std::ifstream in(file, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(all.empty());
    EXPECT_LE(all.size(), 20000u);
    EXPECT_EQ(all.back(), '\n');  // no torn line
    int scans = 0;
    for (const auto& l : lines(file)) {
        if (l.empty() || l[0] == '#' || l.rfind("time_s", 0) == 0) continue;
        EXPECT_EQ(fields(l).size(), 9u) << l;
        ++scans;
    }
    EXPECT_GT(scans, 100);
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
