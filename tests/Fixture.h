// Shared test setup: a temporary folder, a global state object with the test
// host, and a small library builder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/LibClasses.h"
#include "state/Commands.h"
#include "state/Globals.h"
#include "tests/TestHost.h"

namespace tw::test {

// LoadLibrary on the program's library with its own progress display, and
// the global lists filled from what was read, as the open commands do.
void LoadLibraryNow(TGlobalData& g, const std::string& file, bool merge);

class TLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir + "/" + name; }
  TLibObj& Lib() { return *g->CurrentLibrary; }

  // Builders: a volume, a folder record with its folder entry in the parent,
  // and a file entry.
  TFolderNode* AddVolume(const std::string& name, const std::string& serial = {}, const std::string& source = {});
  TFolderNode* AddFolder(TFolderNode* parent, const std::string& name, int64_t entrySize = 0);
  TLibFolderItem* AddFile(TFolderNode* folder, const std::string& name, int64_t size, double date = 0);

  std::string dir;
  TTestHost host;
  std::unique_ptr<TGlobalData> g;
};

}  // namespace tw::test
