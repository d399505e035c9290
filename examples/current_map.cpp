// The file manager and the current map.
//
// Maps live in directories of the memory card, each marked by a file
// "MAPINFO.DAT". The application looks for them, makes one the current map
// (the one named on the command line, else the first found), records it in
// "CurrentMap.dat" for the next start, and resolves the per-map files.
//
//   example-current-map [MAPNAME]
//
// Exit status 0 when a map was made current and read back.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "varnix.h"

using namespace varnix;

namespace {

// Walks the card root's directories; the first one holding "MAPINFO.DAT"
// (and named wanted, when given) becomes the manager's map directory.
bool ChooseMap(CFileManager& manager, const char* wanted) {
  CPathString cardRoot;
  cardRoot.Assign(GetDirectoryPath(EDirCardRoot));  // shared string: copy it
  CFileScanner scanner(cardRoot, EScanDirectoriesOnly);
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next()) {
    CPathString directory;
    directory.Assign(*entry->path);  // the full path, ending in "/"
    if (wanted != nullptr) {
      CDynString name = CDynString::MidView(directory, directory.Length() - entry->nameLength,
                                            entry->nameLength - 1);
      CDynString wantedName = CDynString::WrapText(wanted);
      if (name.Compare(wantedName) != 0) continue;
    }
    if (manager.SetMapDirectory(directory) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const char* wanted = argc > 1 ? argv[1] : nullptr;

  // Heap objects of the runtime come from malloc: null, not an exception,
  // when memory is short.
  CFileManager* manager = new CFileManager;
  if (manager == nullptr) {
    puts("Out of memory");
    return 1;
  }

  char* previous = manager->ReadCurrentMap();  // ours to free
  printf("Current map before: %s\n", previous != nullptr ? previous : "(none recorded)");
  free(previous);

  if (!ChooseMap(*manager, wanted)) {
    printf("No map%s%s on the card %s\n", wanted ? " named " : "", wanted ? wanted : "",
           GetDirectoryPath(EDirCardRoot).Text());
    delete manager;
    return 1;
  }

  // The map's name is the last folder of its directory.
  CPathString directory;
  directory.Assign(manager->MapDirectory());
  directory.SetLength(directory.Length() - 1);  // drop the final "/"
  CPathString mapName;
  mapName.Assign(CDynString::TailView(directory, directory.LastIndexOfChar('/') + 1));
  printf("Map directory: %s\n", directory.Text());

  manager->WriteCurrentMap(mapName);
  char* recorded = manager->ReadCurrentMap();
  bool readBack = recorded != nullptr && strcmp(recorded, mapName.Text()) == 0;
  printf("Current map now: %s (recorded in %s)\n", recorded != nullptr ? recorded : "(unreadable)",
         GetFilePath(EFileCurrentMap).Text());
  free(recorded);

  // Paths handed out by the manager live in its work path until the next
  // path operation: print (or copy) each before asking for the next.
  printf("  points of interest: %s\n", manager->GetMapFilePath(EFilePoi).Text());
  printf("  traffic:            %s\n", manager->GetMapFilePath(EFileTraffic).Text());
  printf("  map settings:       %s\n", manager->GetMapSettingsPath(0).Text());
  int voicesPresent = manager->ChkFileExists(7);
  printf("  voice data 7:       %s (%s)\n", manager->GetChkFilePath(7).Text(),
         voicesPresent ? "present" : "missing");

  delete manager;
  return readBack ? 0 : 1;
}
