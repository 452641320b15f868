// A file of scans as a reader takes it: its lines, "# " comments, column names and fields.
#pragma once

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RecordedFile {
    explicit RecordedFile(const std::string& path) {
        std::ifstream in(path);
        for (std::string l; std::getline(in, l); lines.push_back(l)) {
            if (l.rfind("# ", 0) == 0) {
                comments.push_back(l.substr(2));
            } else if (l.rfind("time_s", 0) == 0) {
                columns = l;
            } else {
                std::stringstream s(l);
                rows.emplace_back();
                for (std::string f; std::getline(s, f, ',');) rows.back().push_back(f);
            }
        }
    }
    bool mentions(const std::string& text) const {
        return std::any_of(comments.begin(), comments.end(),
                           [&](const std::string& c) { return c.find(text) != std::string::npos; });
    }
    std::vector<std::string> lines, comments;
    std::string columns;
    std::vector<std::vector<std::string>> rows;
};
