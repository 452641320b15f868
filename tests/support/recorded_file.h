// A file of scans as a reader takes it: every line, the "# " comments, the column names and the
// rows of fields.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RecordedFile {
    explicit RecordedFile(const std::string& path) {
        std::ifstream in(path);
        for (std::string l; std::getline(in, l);) {
            lines.push_back(l);
            if (l.rfind("# ", 0) == 0) {
                comments.push_back(l.substr(2));
            } else if (l.rfind("time_s", 0) == 0) {
                columns = l;
            } else {
                rows.emplace_back();
                std::stringstream s(l);
                for (std::string f; std::getline(s, f, ',');) rows.back().push_back(f);
            }
        }
    }
    bool mentions(const std::string& text) const {
        for (const auto& c : comments)
            if (c.find(text) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> lines, comments;
    std::string columns;
    std::vector<std::vector<std::string>> rows;
};
