#include "storage/file_manager.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "storage/file_catalogue.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::TempRoot;

const char* const KCurrentMap = "/mnt/sdcard/CurrentMap.dat";

std::string Str(const CDynString& s) { return std::string(s.Data(), static_cast<size_t>(s.Length())); }

std::string Record(int32_t n, const std::string& bytes) {
  std::string r(4, '\0');
  for (int i = 0; i < 4; ++i) r[i] = static_cast<char>(static_cast<uint32_t>(n) >> (8 * i));
  return r + bytes;
}

// Reads the current map; expects every file it opened to be closed again
// and nothing left in the registry.
std::string ReadBack(CFileManager& manager, bool* isNull) {
  test::OsFaultGuard guard;
  test::CountCall("Fopen");
  test::CountCall("Fclose");
  char* text = manager.ReadCurrentMap();
  EXPECT_EQ(test::CallCount("Fopen"), test::CallCount("Fclose"));
  EXPECT_EQ(manager.Registry().Count(), 0);
  *isNull = text == nullptr;
  std::string result = text != nullptr ? text : "";
  free(text);
  return result;
}

TEST(FileManager, ConstructedEmpty) {
  CFileManager manager;
  EXPECT_EQ(manager.Registry().Count(), 0);
  EXPECT_EQ(manager.Registry().SuspendCount(), 0);
  EXPECT_EQ(manager.MapDirectory().Length(), 0);
  EXPECT_EQ(manager.MapValid(), 0);
  EXPECT_EQ(manager.WorkPath().Length(), 0);
  CFileManager* onHeap = new CFileManager;
  ASSERT_NE(onHeap, nullptr);
  CBase* base = onHeap;
  delete base;
}

TEST(FileManager, MapDirectoryNeedsItsMarkerFile) {
  TempRoot root;
  root.MakeDirs("/mnt/sdcard/Europe");
  root.WriteFile("/mnt/sdcard/Europe/MAPINFO.DAT", "");
  root.MakeDirs("/mnt/sdcard/Empty");
  CFileManager manager;
  CPathString europe;
  europe.AssignText(root("/mnt/sdcard/Europe/").c_str());

  EXPECT_EQ(manager.SetMapDirectory(europe), 0);
  EXPECT_EQ(manager.MapValid(), 1);
  EXPECT_EQ(Str(manager.MapDirectory()), root("/mnt/sdcard/Europe/"));
  const std::vector<std::pair<int, const char*>> mapFiles = {
      {4, "poi.dat"}, {9, "saved.log"}, {14, "mobile safety cameras.ov2"}, {37, "traffic.dat"}, {38, "tmccodes.dat"}};
  for (const auto& f : mapFiles) {
    CDynString& path = manager.GetMapFilePath(f.first);
    EXPECT_EQ(&path, &manager.WorkPath());
    EXPECT_EQ(Str(path), root("/mnt/sdcard/Europe/") + f.second);
  }
  for (int id : {0, 5, 11, 15, 44, -1}) EXPECT_EQ(manager.GetMapFilePath(id).Length(), 0) << id;
  EXPECT_EQ(Str(manager.GetMapSettingsPath(0)), root("/mnt/sdcard/Europe/MapSettings.cfg"));
  EXPECT_EQ(Str(manager.GetMapSettingsPath(7)), root("/mnt/sdcard/Europe/MapSettings.cfg_reset"));

  CPathString empty;
  empty.AssignText(root("/mnt/sdcard/Empty/").c_str());
  EXPECT_EQ(manager.SetMapDirectory(empty), -1);
  EXPECT_EQ(manager.MapValid(), 0);
  EXPECT_EQ(manager.MapDirectory().Length(), 0);
  EXPECT_EQ(Str(manager.GetMapFilePath(4)), "poi.dat");
}

TEST(FileManager, MarkerMustBeAReadableFile) {
  TempRoot root;
  root.MakeDirs("/mnt/sdcard/Odd/MAPINFO.DAT");
  CFileManager manager;
  CPathString odd;
  odd.AssignText(root("/mnt/sdcard/Odd/").c_str());
  EXPECT_EQ(manager.SetMapDirectory(odd), -1);
}

TEST(FileManager, MapDirectoryFromItsOwnWorkPath) {
  TempRoot root;
  root.MakeDirs("/mnt/sdcard/Map");
  root.WriteFile("/mnt/sdcard/Map/MAPINFO.DAT", "");
  CFileManager manager;
  manager.WorkPath().AssignText(root("/mnt/sdcard/Map/").c_str());
  EXPECT_EQ(manager.SetMapDirectory(manager.WorkPath()), 0);
  EXPECT_EQ(Str(manager.MapDirectory()), root("/mnt/sdcard/Map/"));
}

TEST(FileManager, MapSettingsBeforeAnyMapDirectory) {
  CFileManager manager;
  EXPECT_EQ(Str(manager.GetMapSettingsPath(1)), "MapSettings.cfg_reset");
  EXPECT_EQ(Str(manager.GetMapSettingsPath(0)), "MapSettings.cfg");
}

TEST(FileManager, ChkFileInVoicesOrCardRoot) {
  TempRoot root;
  CFileManager manager;
  EXPECT_EQ(Str(manager.GetChkFilePath(7)), root("/mnt/sdcard/data07.chk"));
  EXPECT_EQ(manager.ChkFileExists(7), 0);
  EXPECT_EQ(Str(manager.GetChkFilePath(123)), root("/mnt/sdcard/data123.chk"));
  EXPECT_EQ(Str(manager.GetChkFilePath(99)), root("/mnt/sdcard/data99.chk"));

  root.WriteFile("/mnt/sdcard/data07.chk", "x");
  EXPECT_EQ(manager.ChkFileExists(7), 1);

  root.MakeDirs("/mnt/sdcard/voices");
  root.WriteFile("/mnt/sdcard/voices/data07.chk", "x");
  CDynString& inVoices = manager.GetChkFilePath(7);
  EXPECT_EQ(&inVoices, &manager.WorkPath());
  EXPECT_EQ(Str(inVoices), root("/mnt/sdcard/voices/data07.chk"));
  root.WriteFile("/mnt/sdcard/voices/data100.chk", "x");
  EXPECT_EQ(Str(manager.GetChkFilePath(100)), root("/mnt/sdcard/voices/data100.chk"));
  EXPECT_EQ(manager.ChkFileExists(100), 1);
}

TEST(CurrentMap, RoundTrips) {
  TempRoot root;
  CFileManager manager;
  const std::vector<std::string> texts = {"", "Europe", "/mnt/sdcard/Western_Europe/", std::string(255, 'm'),
                                          "caf\xc3\xa9 \x01\x7f\xff"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.size());
    manager.WriteCurrentMap(CDynString::WrapChars(text.data(), static_cast<int>(text.size())));
    EXPECT_EQ(root.ReadFile(KCurrentMap), Record(static_cast<int32_t>(text.size()) + 1, text + '\0'));
    EXPECT_EQ(manager.Registry().Count(), 0);
    bool isNull = true;
    EXPECT_EQ(ReadBack(manager, &isNull), text);
    EXPECT_FALSE(isNull);
  }
}

TEST(CurrentMap, EmptyTextIsLengthOneAndOneNul) {
  TempRoot root;
  CFileManager manager;
  manager.WriteCurrentMap(CDynString::WrapText(""));
  EXPECT_EQ(root.ReadFile(KCurrentMap), std::string("\x01\x00\x00\x00\x00", 5));
}

TEST(CurrentMap, LongTextIsCutSoThatItReadsBack) {
  TempRoot root;
  CFileManager manager;
  std::string text(300, 'L');
  CInlineString<400> longText;
  longText.AssignText(text.c_str());
  manager.WriteCurrentMap(longText);
  EXPECT_EQ(root.ReadFile(KCurrentMap), Record(256, std::string(255, 'L') + '\0'));
  bool isNull = true;
  EXPECT_EQ(ReadBack(manager, &isNull), std::string(255, 'L'));
  EXPECT_FALSE(isNull);
}

TEST(CurrentMap, ReplacesALongerFile) {
  TempRoot root;
  root.WriteFile(KCurrentMap, Record(11, std::string("0123456789") + '\0') + "trailing");
  CFileManager manager;
  manager.WriteCurrentMap(CDynString::WrapText("ab"));
  EXPECT_EQ(root.ReadFile(KCurrentMap), Record(3, std::string("ab") + '\0'));
}

struct TDamagedCase {
  const char* name;
  std::string content;
};

TEST(CurrentMap, DamagedFilesReadAsNullAndAreClosed) {
  TempRoot root;
  const std::vector<TDamagedCase> cases = {
      {"empty", ""},
      {"oneByte", std::string("\x05", 1)},
      {"threeBytes", std::string("\x05\x00\x00", 3)},
      {"lengthZero", Record(0, "")},
      {"lengthZeroWithText", Record(0, std::string("abc") + '\0')},
      {"length257", Record(257, std::string(256, 'x') + '\0')},
      {"negativeLength", Record(-1, std::string("x") + '\0')},
      {"bigEndianLength", std::string("\x00\x00\x00\x03", 4) + "ab" + '\0'},
      {"noFinalNul", Record(3, "abc")},
      {"nulInsideButNotLast", Record(3, std::string("a\0b", 3))},
      {"shortText", Record(10, "abc")},
      {"shortTextWithNul", Record(10, std::string("abc") + '\0')},
      {"garbage", std::string("\xff\xfe\xfd\xfc\x01\x02\x03", 7)},
  };
  for (const TDamagedCase& c : cases) {
    SCOPED_TRACE(c.name);
    root.WriteFile(KCurrentMap, c.content);
    CFileManager manager;
    bool isNull = false;
    ReadBack(manager, &isNull);
    EXPECT_TRUE(isNull);
  }
}

TEST(CurrentMap, LimitsOfTheLengthAreAccepted) {
  TempRoot root;
  CFileManager manager;
  bool isNull = true;
  root.WriteFile(KCurrentMap, Record(1, std::string(1, '\0')));
  EXPECT_EQ(ReadBack(manager, &isNull), "");
  EXPECT_FALSE(isNull);
  root.WriteFile(KCurrentMap, Record(256, std::string(255, 'z') + '\0') + "more");
  EXPECT_EQ(ReadBack(manager, &isNull), std::string(255, 'z'));
  EXPECT_FALSE(isNull);
}

TEST(CurrentMap, MissingFileReadsAsNull) {
  TempRoot root;
  CFileManager manager;
  EXPECT_EQ(manager.ReadCurrentMap(), nullptr);
}

TEST(CurrentMap, NoMemoryForTheTextReadsAsNullAndCloses) {
  TempRoot root;
  root.WriteFile(KCurrentMap, Record(4, std::string("abc") + '\0'));
  CFileManager manager;
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM);
  test::CountCall("Fclose");
  EXPECT_EQ(manager.ReadCurrentMap(), nullptr);
  EXPECT_EQ(test::FaultsFired("Malloc"), 1);
  EXPECT_EQ(test::CallCount("Fclose"), 1);
  EXPECT_EQ(manager.Registry().Count(), 0);
}

TEST(CurrentMap, WriteWithoutCardDirectoryDoesNothing) {
  TempRoot root;
  test::RemoveTree(root("/mnt/sdcard"));
  CFileManager manager;
  manager.WriteCurrentMap(CDynString::WrapText("Europe"));
  EXPECT_FALSE(root.Exists(KCurrentMap));
  EXPECT_EQ(manager.Registry().Count(), 0);
}

TEST(CurrentMap, WrittenFileIsSyncedWhenClosed) {
  TempRoot root;
  CFileManager manager;
  test::OsFaultGuard guard;
  test::CountCall("Fsync");
  manager.WriteCurrentMap(CDynString::WrapText("Europe"));
  EXPECT_EQ(test::CallCount("Fsync"), 1);
}

TEST(CurrentMap, WorksWhileTheRegistryIsSuspended) {
  TempRoot root;
  CFileManager manager;
  manager.Registry().Suspend();
  manager.WriteCurrentMap(CDynString::WrapText("Asia"));
  bool isNull = true;
  EXPECT_EQ(ReadBack(manager, &isNull), "Asia");
  EXPECT_EQ(manager.Registry().Resume(), 0);
  EXPECT_EQ(manager.Registry().Count(), 0);
}

}  // namespace
}  // namespace varnix
