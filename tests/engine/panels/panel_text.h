// The engine's good test panel as text, for tests that make broken ones from it.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

inline std::string GoodPanel() {
    std::ifstream in(ZELMOR_TEST_PANELS "/good.uir");
    return {std::istreambuf_iterator<char>(in), {}};
}

// text with the first occurrence of from replaced by to; from must be there.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}
