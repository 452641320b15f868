// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <string>

#include <stdlib.h>

struct TempFolder {
    TempFolder() {
        char name[] = "/tmp/zelmor-test-XXXXXX";
        if (mkdtemp(name)) path = name;
    }
    ~TempFolder() {
        if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
};
