#include "base/stream_file.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::OsFaultGuard;
using test::TempRoot;

// The file's bytes as the kernel has them, read without the class under test.
std::string ReadWithPosix(const std::string& path) {
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return "<missing>";
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
  close(fd);
  return bytes;
}

class StreamFileTest : public ::testing::Test {
 protected:
  // A path string for a device path inside the temporary root.
  CPathString& PathOf(const std::string& devicePath) {
    path.AssignText(root(devicePath).c_str());
    return path;
  }

  TempRoot root;
  CPathString path;
};

TEST_F(StreamFileTest, NewFileIsClosed) {
  CStreamFile file;
  EXPECT_EQ(file.Registry(), nullptr);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.CachedSize(), -2);
  EXPECT_EQ(file.RegistryIndex(), -1);
  EXPECT_EQ(file.Handle(), nullptr);
  EXPECT_EQ(file.IsWritable(), 0);
  EXPECT_EQ(file.RegisteredPath(), nullptr);
}

TEST_F(StreamFileTest, OpenWriteCreatesOrEmptiesAndAppendNeedsAnExistingFile) {
  CStreamFile file;
  EXPECT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/missing.dat"), nullptr, 1), -1);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/missing.dat"));
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.Handle(), nullptr);

  EXPECT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/new.dat"), nullptr, 0), 0);
  EXPECT_EQ(file.IsOpen(), 1);
  EXPECT_EQ(file.IsWritable(), 1);
  EXPECT_EQ(file.CachedSize(), -2);
  file.Close();
  EXPECT_EQ(ReadWithPosix(root("/mnt/sdcard/new.dat")), "");

  root.WriteFile("/mnt/sdcard/old.dat", "old contents");
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/old.dat"), nullptr, 0), 0);
  file.Close();
  EXPECT_EQ(ReadWithPosix(root("/mnt/sdcard/old.dat")), "");
}

TEST_F(StreamFileTest, AppendOpenWritesAtTheEnd) {
  root.WriteFile("/mnt/sdcard/log.txt", "first\n");
  CStreamFile file;
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/log.txt"), nullptr, 1), 0);
  EXPECT_EQ(file.Tell(), 6);
  EXPECT_EQ(file.WriteLine("second"), 0);
  file.Close();
  EXPECT_EQ(ReadWithPosix(root("/mnt/sdcard/log.txt")), "first\nsecond\n");
}

TEST_F(StreamFileTest, OpenReadOfAMissingFileFailsAndStaysClosed) {
  CStreamFile file;
  EXPECT_EQ(file.OpenRead(PathOf("/mnt/sdcard/none"), nullptr), -1);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.Handle(), nullptr);
  EXPECT_EQ(file.CachedSize(), -2);
}

TEST_F(StreamFileTest, OpenTerminatesThePathInPlace) {
  root.WriteFile("/mnt/sdcard/a.dat", "x");
  // "a.datXYZ" cut back to "a.dat" without a terminator after it.
  path.AssignText((root("/mnt/sdcard/a.dat") + "XYZ").c_str());
  path.SetLength(path.Length() - 3);
  CStreamFile file;
  EXPECT_EQ(file.OpenRead(path, nullptr), 0);
  EXPECT_EQ(path.Data()[path.Length()], 0);
}

TEST_F(StreamFileTest, SizeOfAFileOpenedForReadingIsMeasuredOnce) {
  root.WriteFile("/mnt/sdcard/grow.dat", "12345");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/grow.dat"), nullptr), 0);
  EXPECT_EQ(file.CachedSize(), -1);
  char two[2];
  ASSERT_EQ(file.Read(two, 2), 2);
  EXPECT_EQ(file.Size(), 5);
  EXPECT_EQ(file.CachedSize(), 5);
  EXPECT_EQ(file.Tell(), 2);

  root.WriteFile("/mnt/sdcard/grow.dat", "1234567890");
  EXPECT_EQ(file.Size(), 5);
  EXPECT_EQ(file.Tell(), 2);
}

TEST_F(StreamFileTest, SizeOfAFileOpenedForWritingFollowsEveryWrite) {
  CStreamFile file;
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/w.dat"), nullptr, 0), 0);
  EXPECT_EQ(file.Size(), 0);
  ASSERT_EQ(file.Write("abcdef", 6), 0);
  EXPECT_EQ(file.Size(), 6);
  ASSERT_EQ(file.Seek(2), 0);
  EXPECT_EQ(file.Size(), 6);
  EXPECT_EQ(file.Tell(), 2);
  ASSERT_EQ(file.Write("XYZWVU", 6), 0);
  EXPECT_EQ(file.Size(), 8);
  EXPECT_EQ(file.Tell(), 8);
  EXPECT_EQ(file.CachedSize(), -2);
}

TEST_F(StreamFileTest, WriteLineWritesTheTextAndOneLineFeed) {
  CStreamFile file;
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/line.txt"), nullptr, 0), 0);
  EXPECT_EQ(file.WriteLine("abc"), 0);
  EXPECT_EQ(file.Write("ignored", 0), 0);
  EXPECT_EQ(file.WriteLine(""), 0);
  file.Close();
  EXPECT_EQ(ReadWithPosix(root("/mnt/sdcard/line.txt")), std::string("abc\n\n"));
}

TEST_F(StreamFileTest, ReadLineKeepsTheLineFeedAndCutsAtTheBufferSize) {
  root.WriteFile("/mnt/sdcard/lines.txt", "abcdefg\nxy\nlast");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/lines.txt"), nullptr), 0);
  struct {
    int size;
    int result;
    const char* text;
  } const steps[] = {
      {5, 4, "abcd"}, {5, 4, "efg\n"}, {64, 3, "xy\n"}, {64, 4, "last"}, {64, -1, nullptr}, {64, -1, nullptr},
  };
  for (const auto& step : steps) {
    char buffer[64];
    int n = file.ReadLine(buffer, step.size);
    ASSERT_EQ(n, step.result);
    if (step.text != nullptr) {
      EXPECT_STREQ(buffer, step.text);
    }
  }
}

TEST_F(StreamFileTest, ReadGivesZeroAtTheEnd) {
  root.WriteFile("/mnt/sdcard/r.dat", "hello");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/r.dat"), nullptr), 0);
  char buffer[16];
  EXPECT_EQ(file.Read(buffer, 3), 3);
  EXPECT_EQ(file.Read(buffer, 16), 2);
  EXPECT_EQ(std::string(buffer, 2), "lo");
  EXPECT_EQ(file.Read(buffer, 16), 0);
}

TEST_F(StreamFileTest, SeekAndTell) {
  root.WriteFile("/mnt/sdcard/s.dat", "0123456789");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/s.dat"), nullptr), 0);
  EXPECT_EQ(file.Seek(7), 0);
  EXPECT_EQ(file.Tell(), 7);
  char ch;
  EXPECT_EQ(file.Read(&ch, 1), 1);
  EXPECT_EQ(ch, '7');
  EXPECT_EQ(file.Seek(-1), -1);
}

TEST_F(StreamFileTest, CloseIsHarmlessOnAClosedFileAndTwice) {
  CStreamFile file;
  EXPECT_EQ(file.Close(), 0);
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/c.dat"), nullptr, 0), 0);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.Handle(), nullptr);
  EXPECT_EQ(file.CachedSize(), -2);
}

TEST_F(StreamFileTest, OperationsOnAClosedFileFailQuietly) {
  CStreamFile file;
  char buffer[8];
  EXPECT_EQ(file.Read(buffer, 8), 0);
  EXPECT_EQ(file.ReadLine(buffer, 8), -1);
  EXPECT_EQ(file.Write("x", 1), KErrShortWrite);
  EXPECT_EQ(file.Seek(0), -1);
  EXPECT_EQ(file.Tell(), KErrNoPosition);
  EXPECT_EQ(file.Size(), KErrNoPosition);
}

TEST_F(StreamFileTest, AWrittenFileIsOnTheMediumWhenCloseReturns) {
  OsFaultGuard guard;
  test::CountCall("Fsync");
  test::CountCall("Fflush");
  std::string payload(100000, 'q');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 26);
  {
    CStreamFile file;
    ASSERT_EQ(file.OpenWrite(PathOf("/mnt/flash/durable.dat"), nullptr, 0), 0);
    ASSERT_EQ(file.Write(payload.data(), static_cast<int>(payload.size())), 0);
    ASSERT_EQ(file.WriteLine("end"), 0);
    EXPECT_EQ(file.Close(), 0);
  }
  EXPECT_EQ(test::CallCount("Fflush"), 1);
  EXPECT_EQ(test::CallCount("Fsync"), 1);
  EXPECT_EQ(ReadWithPosix(root("/mnt/flash/durable.dat")), payload + "end\n");
}

TEST_F(StreamFileTest, DestroyingAnOpenFileClosesAndSyncsIt) {
  OsFaultGuard guard;
  test::CountCall("Fsync");
  test::CountCall("Fclose");
  {
    CStreamFile file;
    ASSERT_EQ(file.OpenWrite(PathOf("/mnt/flash/d.dat"), nullptr, 0), 0);
    ASSERT_EQ(file.Write("kept", 4), 0);
  }
  EXPECT_EQ(test::CallCount("Fsync"), 1);
  EXPECT_EQ(test::CallCount("Fclose"), 1);
  EXPECT_EQ(ReadWithPosix(root("/mnt/flash/d.dat")), "kept");
}

TEST_F(StreamFileTest, AFileOpenedForReadingIsNotSynced) {
  root.WriteFile("/mnt/flash/r.dat", "r");
  OsFaultGuard guard;
  test::CountCall("Fsync");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/flash/r.dat"), nullptr), 0);
  file.Close();
  EXPECT_EQ(test::CallCount("Fsync"), 0);
}

TEST_F(StreamFileTest, ReopeningAnOpenFileClosesTheOldStreamFirst) {
  root.WriteFile("/mnt/sdcard/one", "1");
  root.WriteFile("/mnt/sdcard/two", "22");
  OsFaultGuard guard;
  test::CountCall("Fclose");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/one"), nullptr), 0);
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/two"), nullptr), 0);
  EXPECT_EQ(test::CallCount("Fclose"), 1);
  EXPECT_EQ(file.Size(), 2);
}

TEST_F(StreamFileTest, PlatformFailuresGiveTheirCodes) {
  CStreamFile file;
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/f.dat"), nullptr, 0), 0);
  {
    OsFaultGuard guard;
    test::FailCall("Fwrite", 1, ENOSPC);
    EXPECT_EQ(file.Write("abc", 3), KErrShortWrite);
    EXPECT_EQ(file.Write("abc", 3), 0);
  }
  {
    OsFaultGuard guard;
    test::FailCall("Fwrite", 2, ENOSPC);
    EXPECT_EQ(file.WriteLine("abc"), KErrShortWrite);  // the line feed failed
  }
  {
    OsFaultGuard guard;
    test::FailCall("Ftell", 1, EIO);
    EXPECT_EQ(file.Tell(), KErrNoPosition);
  }
  {
    OsFaultGuard guard;
    test::FailCall("Fseek", 1, EIO);
    EXPECT_EQ(file.Size(), KErrNoPosition);
    EXPECT_EQ(file.Seek(0), 0);
  }
  {
    OsFaultGuard guard;
    test::FailCall("Ftell", 2, EIO);  // the size itself cannot be told
    EXPECT_EQ(file.Size(), KErrNoPosition);
  }
}

TEST_F(StreamFileTest, AFailedSyncIsReportedAndTheFileIsClosedAnyway) {
  CStreamFile file;
  ASSERT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/sync.dat"), nullptr, 0), 0);
  ASSERT_EQ(file.Write("data", 4), 0);
  OsFaultGuard guard;
  test::FailCall("Fsync", 1, EIO);
  test::CountCall("Fclose");
  EXPECT_EQ(file.Close(), -1);
  EXPECT_EQ(test::CallCount("Fclose"), 1);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.Handle(), nullptr);
}

TEST_F(StreamFileTest, AnAppendOpenThatCannotReachTheEndClosesTheStream) {
  root.WriteFile("/mnt/sdcard/a.dat", "abc");
  OsFaultGuard guard;
  test::FailCall("Fseek", 1, EIO);
  test::CountCall("Fclose");
  CStreamFile file;
  EXPECT_EQ(file.OpenWrite(PathOf("/mnt/sdcard/a.dat"), nullptr, 1), -1);
  EXPECT_EQ(test::CallCount("Fclose"), 1);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.Handle(), nullptr);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/a.dat"), "abc");
}

}  // namespace
}  // namespace varnix
