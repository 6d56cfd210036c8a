#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

// A path in the temporary folder that is this process's alone: test runs side by side (a busy
// machine, a mutation run beside the suite) must not share files.
inline std::string UniqueTempPath(const std::string& name) {
    return testing::TempDir() + std::to_string(::getpid()) + "_" + name;
}
