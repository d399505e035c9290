#include "storage/directory_catalogue.h"

#include <gtest/gtest.h>
#include <limits.h>

#include <string>

#include "base/host_root.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::TempRoot;

std::string TextOf(CDynString& s) { return std::string(s.Data(), static_cast<size_t>(s.Length())); }

// Every identifier and the device path it gives; the identifiers without a
// directory of their own (EDirNone, 32, out of range) give the card root.
struct TDirectoryCase {
  int id;
  const char* subdirectory;
  const char* path;
};
const TDirectoryCase KDirectories[] = {
    {EDirNone, "", "/mnt/sdcard/"},
    {1, "", "/mnt/sdcard/"},
    {EDirArt, "art/", "/mnt/sdcard/art/"},
    {3, "", "/mnt/sdcard/"},
    {EDirSchemes, "schemes/", "/mnt/sdcard/schemes/"},
    {EDirContacts, "contacts/", "/mnt/sdcard/contacts/"},
    {6, "", "/mnt/sdcard/"},
    {EDirDemo, "demo/", "/mnt/sdcard/demo/"},
    {EDirItn, "itn/", "/mnt/sdcard/itn/"},
    {EDirLogging, "logging/", "/mnt/sdcard/logging/"},
    {EDirMicrobrowser, "microbrowser/", "/mnt/sdcard/microbrowser/"},
    {EDirLoquendoTTS, "", "/mnt/sdcard/LoquendoTTS/"},
    {EDirMicrobrowserCache, "microbrowser/cache/", "/mnt/sdcard/microbrowser/cache/"},
    {EDirMicrobrowserDownload, "microbrowser/download/", "/mnt/sdcard/microbrowser/download/"},
    {EDirMicrobrowserResource, "microbrowser/resource/", "/mnt/sdcard/microbrowser/resource/"},
    {EDirMp3, "mp3/", "/mnt/sdcard/mp3/"},
    {EDirPhotos, "photos/", "/mnt/sdcard/photos/"},
    {EDirZip, "zip/", "/mnt/sdcard/zip/"},
    {EDirRaster, "raster/", "/mnt/sdcard/raster/"},
    {19, "", "/mnt/sdcard/"},
    {EDirScreen, "screen/", "/mnt/sdcard/screen/"},
    {21, "", "/mnt/sdcard/"},
    {22, "", "/mnt/sdcard/"},
    {EDirScript, "script/", "/mnt/sdcard/script/"},
    {24, "", "/mnt/sdcard/"},
    {25, "", "/mnt/sdcard/"},
    {EDirRun, "", "/var/run/"},
    {EDirSdkRegistry, "", "/mnt/sdcard/SdkRegistry/"},
    {EDirFlash, "", "/mnt/flash/"},
    {EDirCardRoot, "", "/mnt/sdcard/"},
    {EDirVoices, "voices/", "/mnt/sdcard/voices/"},
    {EDirDocs, "docs/", "/mnt/sdcard/docs/"},
    {32, "", "/mnt/sdcard/"},
    {EDirEphem, "ephem/", "/mnt/sdcard/ephem/"},
    {34, "", "/mnt/sdcard/"},
    {35, "", "/mnt/sdcard/"},
    {36, "", "/mnt/sdcard/"},
    {1000, "", "/mnt/sdcard/"},
    {-1, "", "/mnt/sdcard/"},
    {INT_MIN, "", "/mnt/sdcard/"},
    {INT_MAX, "", "/mnt/sdcard/"},
};

TEST(DirectoryCatalogueTest, EveryIdentifierGivesItsDevicePathWithoutAHostRoot) {
  SetHostRoot(nullptr);
  for (const TDirectoryCase& c : KDirectories) {
    CDynString& path = GetDirectoryPath(c.id);
    EXPECT_EQ(TextOf(path), c.path) << "id " << c.id;
    EXPECT_EQ(path.Data()[path.Length()], 0) << "terminated, id " << c.id;
    EXPECT_EQ(TextOf(GetSubdirectory(c.id)), c.subdirectory) << "id " << c.id;
  }
}

TEST(DirectoryCatalogueTest, EveryIdentifierLiesUnderTheHostRoot) {
  TempRoot root;
  for (const TDirectoryCase& c : KDirectories) EXPECT_EQ(TextOf(GetDirectoryPath(c.id)), root(c.path)) << "id " << c.id;
}

// Whatever came before, an identifier without a subdirectory gives its root
// alone, never the previous call's left-overs.
TEST(DirectoryCatalogueTest, NoIdentifierSeesThePreviousResult) {
  SetHostRoot(nullptr);
  for (const TDirectoryCase& before : KDirectories) {
    for (const TDirectoryCase& c : KDirectories) {
      CDynString& previous = GetDirectoryPath(before.id);
      previous.AppendTerminated(CDynString::WrapText("leftover.dat"));
      EXPECT_EQ(TextOf(GetDirectoryPath(c.id)), c.path) << "id " << c.id << " after " << before.id;
    }
  }
}

TEST(DirectoryCatalogueTest, OneSharedResultThatEveryCallOverwrites) {
  SetHostRoot(nullptr);
  CDynString& run = GetDirectoryPath(EDirRun);
  EXPECT_EQ(TextOf(run), "/var/run/");
  CDynString& flash = GetDirectoryPath(EDirFlash);
  EXPECT_EQ(&run, &flash);
  EXPECT_EQ(TextOf(run), "/mnt/flash/");
  EXPECT_EQ(&GetSubdirectory(EDirArt), &run);
  EXPECT_EQ(run.Capacity(), 256);

  CDynString& file = GetDirectoryPath(EDirContacts);
  file.AppendTerminated(CDynString::WrapText("buddies.dat"));
  EXPECT_EQ(TextOf(file), "/mnt/sdcard/contacts/buddies.dat");
  GetDirectoryPath(EDirContacts);
  EXPECT_EQ(TextOf(file), "/mnt/sdcard/contacts/");
}

TEST(DirectoryCatalogueTest, LongAppendsAreCutAt255Characters) {
  SetHostRoot(nullptr);
  CDynString& path = GetDirectoryPath(EDirMicrobrowserResource);
  EXPECT_EQ(path.Length(), 34);
  std::string name(300, 'n');
  path.AppendTerminated(CDynString::WrapText(name.c_str()));
  EXPECT_EQ(path.Length(), 255);
  EXPECT_EQ(path.Data()[255], 0);
  EXPECT_EQ(TextOf(path), "/mnt/sdcard/microbrowser/resource/" + std::string(255 - 34, 'n'));
}

TEST(DirectoryCatalogueTest, RootFunctions) {
  struct {
    CDynString& (*function)(CDynString&);
    const char* devicePath;
  } const roots[] = {
      {GetFlashRoot, "/mnt/flash/"},
      {GetCardRoot, "/mnt/sdcard/"},
      {GetRunRoot, "/var/run/"},
      {GetBinRoot, "/bin/"},
      {GetRegistryRoot, "/mnt/sdcard/SdkRegistry/"},
      {GetTtsRoot, "/mnt/sdcard/LoquendoTTS/"},
      {GetDataRoot, "/mnt/sdcard/"},
      {GetSettingsFilePath, "/mnt/flash/settings.dat"},
  };
  for (int rooted = 0; rooted < 2; ++rooted) {
    TempRoot root;
    if (!rooted) SetHostRoot(nullptr);
    for (const auto& r : roots) {
      CPathString out;
      out.AssignText("previous contents");
      CDynString& result = r.function(out);
      EXPECT_EQ(&result, &out);
      EXPECT_EQ(TextOf(out), rooted ? root(r.devicePath) : std::string(r.devicePath));
      EXPECT_EQ(out.Data()[out.Length()], 0);
    }
  }
}

TEST(DirectoryCatalogueTest, CardFilePath) {
  SetHostRoot(nullptr);
  CDynString& path = GetCardFilePath(CDynString::WrapText("a.dat"));
  EXPECT_EQ(TextOf(path), "/mnt/sdcard/a.dat");
  EXPECT_EQ(path.Data()[path.Length()], 0);
  EXPECT_EQ(&path, &GetSubdirectory(0));  // the shared result

  TempRoot root;
  EXPECT_EQ(TextOf(GetCardFilePath(CDynString::WrapText("CurrentMap.dat"))), root("/mnt/sdcard/CurrentMap.dat"));
}

TEST(DirectoryCatalogueTest, PathSeparator) { EXPECT_EQ(PathSeparator(), '/'); }

}  // namespace
}  // namespace varnix
