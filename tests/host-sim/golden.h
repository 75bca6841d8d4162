// What the simulator's tests share: capturing its output, and comparing it
// with the golden transcripts beside this file.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace Norv::HostSim {

// Runs `play` with a temporary file as the output; returns what it wrote.
template <class Play>
std::string Output(int& exitCode, Play play) {
    std::FILE* out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return {};
    exitCode = play(out);
    std::rewind(out);
    std::string text;
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, read);
    std::fclose(out);
    return text;
}

// Under Wine the source tree is reached through the drive that maps the root.
inline std::string SourcePath(std::string path) {
    return Platform::IsWindows() && path.front() == '/' ? "Z:" + path : path;
}

// Compares a transcript with its golden file; NORV_UPDATE_GOLDEN=1 rewrites it.
inline void ExpectGolden(const std::string& name, const std::string& text) {
    const std::string golden = SourcePath(std::string(NORV_HOST_SIM_GOLDEN_DIR) + "/golden/" + name);
    if (std::getenv("NORV_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(golden, std::ios::binary) << text;
        GTEST_SKIP() << "wrote " << golden;
    }
    std::ifstream file(golden, std::ios::binary);
    std::ostringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(text, expected.str()) << "differs from " << golden
                                    << "; run the test with NORV_UPDATE_GOLDEN=1 to accept it";
}

}  // namespace Norv::HostSim
