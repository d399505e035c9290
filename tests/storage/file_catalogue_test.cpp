#include "storage/file_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/host_root.h"
#include "storage/directory_catalogue.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::TempRoot;

std::string Str(const CDynString& s) { return std::string(s.Data(), static_cast<size_t>(s.Length())); }

struct TFileCase {
  int id;
  int directory;
  const char* path;  // device path; null: no file of its own
};

const std::vector<TFileCase> KFileCases = {
    {1, 1, "/mnt/sdcard/data.chk"},
    {2, 3, "/mnt/sdcard/vxmobile.bif"},
    {3, EDirContacts, "/mnt/sdcard/contacts/buddies.dat"},
    {4, EDirNone, nullptr},
    {5, EDirCardRoot, "/mnt/sdcard/CurrentMap.dat"},
    {6, EDirDemo, "/mnt/sdcard/demo/demovideo.avi"},
    {7, EDirCardRoot, "/mnt/sdcard/devicelist.bin"},
    {8, EDirLogging, "/mnt/sdcard/logging/gps.log"},
    {9, EDirNone, nullptr},
    {10, EDirContacts, "/mnt/sdcard/contacts/address.txt"},
    {11, EDirCardRoot, "/mnt/sdcard/qx740.dat"},
    {12, EDirItn, "/mnt/sdcard/itn/temporary.iti"},
    {13, EDirCardRoot, "/mnt/sdcard/vxsystem"},
    {14, EDirNone, nullptr},
    {15, EDirNone, nullptr},
    {16, EDirArt, "/mnt/sdcard/art/crowd.bmp"},
    {17, EDirNone, nullptr},
    {18, EDirContacts, "/mnt/sdcard/contacts/contacts.txt"},
    {19, EDirContacts, "/mnt/sdcard/contacts/callers.txt"},
    {20, EDirContacts, "/mnt/sdcard/contacts/called.txt"},
    {21, EDirContacts, "/mnt/sdcard/contacts/inbox.txt"},
    {22, EDirContacts, "/mnt/sdcard/contacts/outbox.txt"},
    {23, EDirCardRoot, "/mnt/sdcard/phncps.dat"},
    {24, EDirCardRoot, "/mnt/sdcard/pluserror.txt"},
    {25, EDirZip, "/mnt/sdcard/zip/Great_Britain.Postal"},
    {26, EDirZip, "/mnt/sdcard/zip/Nederland.Postal"},
    {27, 19, "/mnt/sdcard/ringtone.ogg"},
    {28, EDirScreen, "/mnt/sdcard/screen/capture"},
    {29, EDirCardRoot, "/mnt/sdcard/master.script"},
    {30, EDirCardRoot, "/mnt/sdcard/autostart.txt"},
    {31, EDirScript, "/mnt/sdcard/script/demo.script"},
    {32, EDirCardRoot, "/mnt/sdcard/replay.html"},
    {33, EDirSdkRegistry, "/mnt/sdcard/SdkRegistry/varnix.mnu"},
    {34, EDirCardRoot, "/mnt/sdcard/servicediscovery.txt"},
    {35, EDirFlash, "/mnt/flash/settings.dat"},
    {36, 19, "/mnt/sdcard/smsreceived.ogg"},
    {37, EDirNone, nullptr},
    {38, EDirNone, nullptr},
    {39, EDirEphem, "/mnt/sdcard/ephem/packedephemeris.ee"},
    {40, EDirEphem, "/mnt/sdcard/ephem/ee_meta.txt"},
    {41, 34, "/mnt/sdcard/tmcevents.dat"},
    {42, 35, "/mnt/sdcard/RDSTMC.exe"},
    {43, EDirCardRoot, "/mnt/sdcard/hsdc.txt"},
    {0, EDirNone, nullptr},
    {44, EDirNone, nullptr},
    {-1, EDirNone, nullptr},
    {1000, EDirNone, nullptr},
};

TEST(FileCatalogue, EveryFileResolvesUnderTheHostRoot) {
  TempRoot root;
  const std::string noFile = Str(GetDirectoryPath(EDirNone));
  for (const TFileCase& c : KFileCases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(GetFileDirectory(c.id), c.directory);
    CDynString& path = GetFilePath(c.id);
    EXPECT_EQ(Str(path), c.path != nullptr ? root(c.path) : noFile);
    EXPECT_EQ(path.Data()[path.Length()], '\0') << "terminated";
  }
}

TEST(FileCatalogue, DevicePathsWithoutHostRoot) {
  SetHostRoot(nullptr);
  EXPECT_EQ(Str(GetFilePath(EFileCurrentMap)), "/mnt/sdcard/CurrentMap.dat");
  EXPECT_EQ(Str(GetFilePath(EFileSettings)), "/mnt/flash/settings.dat");
}

TEST(FileCatalogue, ResultIsTheSharedCatalogueString) {
  TempRoot root;
  CDynString& first = GetFilePath(8);
  CDynString& second = GetFilePath(3);
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(&first, &GetDirectoryPath(EDirRun));
  GetFilePath(3);
  EXPECT_EQ(Str(first), root("/mnt/sdcard/contacts/buddies.dat"));
}

TEST(FileCatalogue, PerMapFilesHaveNamesButNoDirectory) {
  const std::vector<std::pair<int, const char*>> names = {
      {4, "poi.dat"}, {9, "saved.log"}, {14, "mobile safety cameras.ov2"}, {37, "traffic.dat"}, {38, "tmccodes.dat"}};
  for (const auto& n : names) {
    EXPECT_STREQ(GetFileName(n.first), n.second);
    EXPECT_EQ(GetFileDirectory(n.first), EDirNone);
  }
  EXPECT_EQ(GetFileName(15), nullptr);
  EXPECT_EQ(GetFileName(-3), nullptr);
}

TEST(FileTypes, ExtensionsOfEveryType) {
  const char* const expected[] = {"",     ".bif", "",     ".bmp", ".bin", ".mac", ".mds", ".mms", ".mpr", ".ogg", ".pna",
                                  ".ov2", ".sat", ".xml", ".ee",  ".vif", ".jpeg", ".jpg", ".mp3", ".avi", ""};
  for (int type = 0; type <= 20; ++type) EXPECT_EQ(Str(GetFileExtension(type)), expected[type]) << type;
  for (int type : {25, -1, 1000}) EXPECT_EQ(GetFileExtension(type).Length(), 0) << type;
}

TEST(FileTypes, EndsWithNoCase) {
  struct {
    const char* text;
    const char* suffix;
    int result;
  } cases[] = {
      {"/x/IMG.JPG", ".jpg", 1}, {"/x/img.jpg", ".JPG", 1}, {"/x/img.jpeg", ".jpg", 0}, {"a.ov2", ".ov2", 1},
      {"ov2", ".ov2", 0},        {"", "", 1},               {"abc", "", 1},           {"", "x", 0},
      {".ov2", ".OV2", 1},       {"a.ov2x", ".ov2", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EndsWithNoCase(CDynString::WrapText(c.text), CDynString::WrapText(c.suffix)), c.result)
        << c.text << " / " << c.suffix;
}

TEST(FileTypes, HasFileType) {
  EXPECT_EQ(HasFileType(CDynString::WrapText("/mnt/sdcard/photos/IMG.JPG"), EFileTypeJpg), 1);
  EXPECT_EQ(HasFileType(CDynString::WrapText("/mnt/sdcard/photos/IMG.JPG"), EFileTypeJpeg), 0);
  EXPECT_EQ(HasFileType(CDynString::WrapText("/any/path.xyz"), EFileTypeNone), 1);
  EXPECT_EQ(HasFileType(CDynString::WrapText("/any/path.xyz"), 25), 1);
  EXPECT_EQ(HasFileType(CDynString::WrapText("ee"), EFileTypeEe), 0);
}

TEST(FileTypes, SetFileTypeCutsAtTheLastDot) {
  struct {
    const char* path;
    int type;
    const char* result;
  } cases[] = {
      {"/mnt/sdcard/a.b/file", EFileTypeBmp, "/mnt/sdcard/a.bmp"},
      {"/mnt/sdcard/file.bin", EFileTypeXml, "/mnt/sdcard/file.xml"},
      {"/mnt/sdcard/file", EFileTypeOgg, "/mnt/sdcard/file.ogg"},
      {"/mnt/sdcard/file.tar.gz", EFileTypeNone, "/mnt/sdcard/file.tar"},
      {"name.", EFileTypeAvi, "name.avi"},
      {"", EFileTypeMp3, ".mp3"},
  };
  for (const auto& c : cases) {
    CPathString path;
    path.AssignText(c.path);
    CDynString& result = SetFileType(path, c.type);
    EXPECT_EQ(&result, &path);
    EXPECT_STREQ(path.Text(), c.result);
    EXPECT_EQ(path.Data()[path.Length()], '\0');
  }
}

TEST(FileTypes, SetFileTypeCutsAtTheCapacity) {
  CInlineString<12> path;
  path.AssignText("abcdefgh.x");
  SetFileType(path, EFileTypeJpeg);
  EXPECT_STREQ(path.Text(), "abcdefgh.jp");
}

TEST(FileTypes, GetFileTitle) {
  struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"/mnt/sdcard/a.b/file", "file"}, {"/x/name.tar.gz", "name.tar"}, {"name", "name"}, {"name.txt", "name"},
      {"/dir/", ""},                    {"/x/.hidden", ""},             {"/a/b.", "b"},   {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Str(GetFileTitle(CDynString::WrapText(c.path))), c.title) << c.path;
}

TEST(FileTypes, GetFileTitleIsAViewOfThePath) {
  CPathString path;
  path.AssignText("/maps/Europe.map");
  CDynString title = GetFileTitle(path);
  EXPECT_EQ(title.Data(), path.Data() + 6);
  EXPECT_EQ(title.Length(), 6);
}

}  // namespace
}  // namespace varnix
