// A test with its own temporary folder, removed afterwards, and a helper that
// writes a file of given bytes into it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tw::test {

class TTempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwex-file-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& bytes, const std::string& name) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string dir_;
};

}  // namespace tw::test
