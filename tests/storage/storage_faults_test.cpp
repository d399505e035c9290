// Moving the files of a directory and writing the current-map record under
// every OS failure they can meet: each call they make fails in turn.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <string>

#include "storage/directory_file_operations.h"
#include "storage/file_manager.h"
#include "support/fault_table.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

// No file is lost or damaged: each is whole, either still in the source or
// already in the target; a result of 0 means all of them moved.
TEST(StorageFaults, MovingFilesLosesNoneAndReportsWhatWasLeft) {
  test::TempRoot root;
  const std::map<std::string, std::string> files = {
      {"a.dat", std::string(3000, 'a')}, {"b.dat", "bee"}, {"c.ov2", std::string(70000, 'c')}};
  CPathString source, target;
  source.AssignText(root("/mnt/sdcard/from/").c_str());
  target.AssignText(root("/mnt/sdcard/to/").c_str());
  auto where = [&](const std::string& name) {
    bool inSource = root.Exists("/mnt/sdcard/from/" + name);
    bool inTarget = root.Exists("/mnt/sdcard/to/" + name) &&
                    root.ReadFile("/mnt/sdcard/to/" + name) == files.at(name);
    return std::make_pair(inSource, inTarget);
  };

  test::TFaultScenario scenario;
  scenario.prepare = [&] {
    test::RemoveTree(root("/mnt/sdcard/from"));
    test::RemoveTree(root("/mnt/sdcard/to"));
    root.MakeDirs("/mnt/sdcard/from");
    root.MakeDirs("/mnt/sdcard/to");
    for (const auto& file : files) root.WriteFile("/mnt/sdcard/from/" + file.first, file.second);
    root.WriteFile("/mnt/sdcard/to/b.dat", "an older b, to be replaced");
  };
  scenario.run = [&] { return MoveDirectoryFiles(source, target); };
  scenario.checkSuccess = [&](int result) {
    EXPECT_EQ(result, 0);
    for (const auto& file : files) EXPECT_EQ(where(file.first), std::make_pair(false, true)) << file.first;
  };
  scenario.checkFault = [&](int result, bool fired, const test::TFaultCase& fault) {
    EXPECT_TRUE(fired);
    bool allMoved = true;
    for (const auto& file : files) {
      std::pair<bool, bool> at = where(file.first);
      EXPECT_NE(at.first, at.second) << file.first << " is lost or in both places";
      if (at.first) {
        EXPECT_EQ(root.ReadFile("/mnt/sdcard/from/" + file.first), file.second) << file.first;
      }
      allMoved = allMoved && at.second;
    }
    // A source that cannot be opened counts as empty: nothing moved, 0.
    if (result == 0 && fault.call != "Opendir") {
      EXPECT_TRUE(allMoved) << "files were left behind, result 0";
    }
    if (result != 0) {
      EXPECT_EQ(result, -1);
    }
  };
  EXPECT_GE(test::RunFaultTable(scenario).size(), 10u);
}

// A failed write of the record never leaves a record that reads as another
// text: the reader gets the new text, the old one (nothing was written) or
// nothing.
TEST(StorageFaults, AFailedCurrentMapWriteNeverReadsAsAnotherText) {
  test::TempRoot root;
  CFileManager manager;
  const std::string older = "/mnt/sdcard/maps/Old_Map/";
  const std::string newer = "/mnt/sdcard/maps/" + std::string(200, 'N') + "/";
  auto readBack = [&](bool* isNull) {
    char* text = manager.ReadCurrentMap();
    *isNull = text == nullptr;
    std::string result = text != nullptr ? text : "";
    free(text);
    return result;
  };

  test::TFaultScenario scenario;
  scenario.prepare = [&] {
    manager.WriteCurrentMap(CDynString::WrapText(older.c_str()));
    bool isNull;
    ASSERT_EQ(readBack(&isNull), older);
  };
  scenario.run = [&] {
    manager.WriteCurrentMap(CDynString::WrapText(newer.c_str()));
    return 0;
  };
  scenario.checkSuccess = [&](int) {
    bool isNull;
    EXPECT_EQ(readBack(&isNull), newer);
    EXPECT_EQ(manager.Registry().Count(), 0);
  };
  scenario.checkFault = [&](int, bool fired, const test::TFaultCase&) {
    EXPECT_TRUE(fired);
    bool isNull;
    std::string text = readBack(&isNull);
    EXPECT_TRUE(isNull || text == newer || text == older) << "read as " << text;
    EXPECT_EQ(manager.Registry().Count(), 0);
  };
  EXPECT_GE(test::RunFaultTable(scenario).size(), 10u);
}

}  // namespace
}  // namespace varnix
