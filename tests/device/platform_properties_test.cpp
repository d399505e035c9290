#include "device/platform_properties.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/host_root.h"
#include "device_fakes.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::FakeDevice;
using test::StdoutCapture;
using test::TempRoot;

const std::string KProps = "/proc/morvantis/";

std::string OpenFailure(const TempRoot& root, const char* reader, const char* name) {
  return std::string(reader) + ": Unable to open " + root(KProps + name) + ": No such file or directory\n";
}

TEST(PlatformProperties, DefaultsWithoutPropertyDirectoryOneMessageEach) {
  TempRoot root;
  test::RemoveTree(root("/proc/morvantis"));
  StdoutCapture out;

  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(GetModelId(), 7);
    EXPECT_STREQ(GetModelName(), "Varnix QX");
    EXPECT_STREQ(GetShortName(), "QX");
    EXPECT_EQ(HasHandsfree(), 0);
    EXPECT_EQ(HasLightSensor(), 0);
    EXPECT_EQ(HasHardDisk(), 0);
    EXPECT_EQ(HasSdCard(), 1);
    EXPECT_EQ(HasGyro(), 0);
    EXPECT_EQ(HasBtServer(), 0);
    EXPECT_EQ(HasBluetoothServer(), 0);
    EXPECT_EQ(IsModel144Or400(), 0);
    if (round == 0) {
      EXPECT_EQ(out.Take(), OpenFailure(root, "GetProcInt", "modelid") +
                                OpenFailure(root, "GetProcString", "modelname") +
                                OpenFailure(root, "GetProcString", "shortname") +
                                OpenFailure(root, "GetProcInt", "handsfree") +
                                OpenFailure(root, "GetProcInt", "lightsensor") +
                                OpenFailure(root, "GetProcInt", "harddisk") +
                                OpenFailure(root, "GetProcInt", "sdcard") +
                                OpenFailure(root, "GetProcInt", "gyro"));
    }
  }
  EXPECT_EQ(out.Take(), "") << "a default is kept, its source is not tried again";
}

TEST(PlatformProperties, DefaultStaysWhenTheFileAppearsLater) {
  TempRoot root;
  StdoutCapture out;
  EXPECT_EQ(HasGyro(), 0);
  root.WriteFile(KProps + "gyro", "1\n");
  EXPECT_EQ(HasGyro(), 0);
  EXPECT_EQ(out.Take(), OpenFailure(root, "GetProcInt", "gyro"));
}

TEST(PlatformProperties, ValuesFromTheDriverFiles) {
  TempRoot root;
  root.WriteFile(KProps + "modelid", "400\n");
  root.WriteFile(KProps + "modelname", "Varnix QX 900\n");
  root.WriteFile(KProps + "shortname", "QX 900\n");
  StdoutCapture out;
  EXPECT_EQ(GetModelId(), 400);
  EXPECT_EQ(IsModel144Or400(), 1);
  EXPECT_STREQ(GetModelName(), "Varnix QX 900");
  EXPECT_STREQ(GetShortName(), "QX 900");
  CInlineString<8> small;
  EXPECT_STREQ(GetModelName(small), "Varnix ");  // cut at the target's capacity
  EXPECT_EQ(out.Take(), "");
}

TEST(PlatformProperties, Model144WithModelDataFileHasItsOwnNames) {
  TempRoot root;
  root.WriteFile(KProps + "modelid", "144");
  root.WriteFile(KProps + "modelname", "From the file\n");
  root.WriteFile(KProps + "shortname", "File\n");
  root.WriteFile("/mnt/sdcard/qx740.dat", "");
  EXPECT_STREQ(GetModelName(), "Varnix QX 740");
  EXPECT_STREQ(GetShortName(), "QX 740");
  EXPECT_EQ(IsModel144Or400(), 1);
}

TEST(PlatformProperties, Model144WithoutModelDataFileReadsTheNameFiles) {
  TempRoot root;
  root.WriteFile(KProps + "modelid", "144\n");
  root.WriteFile(KProps + "modelname", "From the file\n");
  root.WriteFile(KProps + "shortname", "File\n");
  root.MakeDirs("/mnt/sdcard/qx740.dat");  // a directory is not the data file
  EXPECT_STREQ(GetModelName(), "From the file");
  EXPECT_STREQ(GetShortName(), "File");
}

TEST(PlatformProperties, ModelDataFileCountsOnlyForModel144) {
  TempRoot root;
  root.WriteFile(KProps + "modelid", "7\n");
  root.WriteFile(KProps + "modelname", "Seven\n");
  root.WriteFile("/mnt/sdcard/qx740.dat", "x");
  EXPECT_STREQ(GetModelName(), "Seven");
}

TEST(PlatformProperties, FlagsTrueOnlyAboveZero) {
  TempRoot root;
  root.WriteFile(KProps + "handsfree", "2\n");
  root.WriteFile(KProps + "lightsensor", "0\n");
  root.WriteFile(KProps + "harddisk", "-1\n");
  root.WriteFile(KProps + "sdcard", "0");
  root.WriteFile(KProps + "gyro", " \n1");
  StdoutCapture out;
  EXPECT_EQ(HasHandsfree(), 1);
  EXPECT_EQ(HasLightSensor(), 0);
  EXPECT_EQ(HasHardDisk(), 0);
  EXPECT_EQ(HasSdCard(), 0);
  EXPECT_EQ(HasGyro(), 1);
  EXPECT_EQ(out.Take(), "");
}

TEST(PlatformProperties, FlagFileWithoutNumberGivesDefaultAndMessage) {
  TempRoot root;
  root.WriteFile(KProps + "sdcard", "yes\n");
  root.WriteFile(KProps + "handsfree", std::string("\x01\xff\0" "7", 4));
  StdoutCapture out;
  EXPECT_EQ(HasSdCard(), 1);
  EXPECT_EQ(HasHandsfree(), 0);
  EXPECT_EQ(HasSdCard(), 1);
  EXPECT_EQ(out.Take(), "GetProcInt: Unable to read value from " + root(KProps + "sdcard") + "\n" +
                            "GetProcInt: Unable to read value from " + root(KProps + "handsfree") + "\n");
}

TEST(PlatformProperties, ModelIdMinusOneIsReadAgain) {
  TempRoot root;
  root.WriteFile(KProps + "modelid", "-1\n");
  EXPECT_EQ(GetModelId(), -1);
  root.WriteFile(KProps + "modelid", "144\n");
  EXPECT_EQ(GetModelId(), 144);
  root.WriteFile(KProps + "modelid", "400\n");
  EXPECT_EQ(GetModelId(), 144) << "a known id is kept";
}

TEST(PlatformProperties, ModelIdGarbageGivesDefault) {
  TempRoot root;
  root.WriteFile(KProps + "modelid", "model 144\n");
  StdoutCapture out;
  EXPECT_EQ(GetModelId(), 7);
  EXPECT_EQ(out.Take(), "GetProcInt: Unable to read value from " + root(KProps + "modelid") + "\n");
}

TEST(PlatformProperties, PathsAreCutAt127Characters) {
  TempRoot root;
  std::string longRoot = root.Path() + "/" + std::string(100, 'd');
  ASSERT_EQ(mkdir(longRoot.c_str(), 0755), 0);
  std::string dir = longRoot + "/proc";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  dir += "/morvantis";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  std::string full = dir + "/modelid";
  ASSERT_GT(full.size(), 127u);
  FILE* file = fopen(full.c_str(), "w");
  ASSERT_NE(file, nullptr);
  fputs("144\n", file);
  fclose(file);
  SetHostRoot(longRoot.c_str());

  StdoutCapture out;
  EXPECT_EQ(GetModelId(), 7);
  EXPECT_EQ(out.Take(), "GetProcInt: Unable to open " + full.substr(0, 127) + ": No such file or directory\n");
}

TEST(PlatformProperties, BtServerFromTheDeviceLayerOnce) {
  FakeDevice device;
  device.Answers().feature = 5;
  EXPECT_EQ(HasBtServer(), 1);
  EXPECT_EQ(device.Calls().lastFeature, "btserver");
  device.Answers().feature = 0;
  EXPECT_EQ(HasBtServer(), 1);
  EXPECT_EQ(HasBluetoothServer(), 1);
}

// ---- GetProcInt: any content --------------------------------------------

struct TIntCase {
  const char* name;
  std::string content;
  bool read;
  int32_t value;
};

TEST(GetProcInt, ReadsOneDecimalIntegerFromAnyContent) {
  TempRoot root;
  const std::vector<TIntCase> cases = {
      {"plain", "42\n", true, 42},
      {"noLineEnd", "42", true, 42},
      {"blanksAndLines", " \t\r\n\n  -17 kB\n", true, -17},
      {"plus", "+5", true, 5},
      {"trailingText", "12abc", true, 12},
      {"secondLineIgnored", "3\n4\n", true, 3},
      {"manyBlanks", std::string(5000, ' ') + "8", true, 8},
      {"tooLarge", "99999999999999999999999999", true, INT32_MAX},
      {"tooSmall", "-99999999999", true, INT32_MIN},
      {"empty", "", false, 1234},
      {"onlySign", "-", false, 1234},
      {"signThenBlank", "- 5", false, 1234},
      {"letters", "abc", false, 1234},
      {"hex", "x10", false, 1234},
      {"binary", std::string("\0\x01\x02\xfe\xff" "9", 6), false, 1234},
  };
  for (const TIntCase& c : cases) {
    SCOPED_TRACE(c.name);
    root.WriteFile(KProps + c.name, c.content);
    int32_t value = 1234;
    StdoutCapture out;
    EXPECT_EQ(GetProcInt(c.name, value), c.read);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(out.Take(), c.read ? "" : "GetProcInt: Unable to read value from " + root(KProps + c.name) + "\n");
  }
}

TEST(GetProcInt, MissingFileLeavesValueAlone) {
  TempRoot root;
  int32_t value = 99;
  StdoutCapture out;
  EXPECT_FALSE(GetProcInt("absent", value));
  EXPECT_EQ(value, 99);
  EXPECT_EQ(out.Take(), OpenFailure(root, "GetProcInt", "absent"));
}

// ---- GetProcString: any content -----------------------------------------

struct TStringCase {
  const char* name;
  std::string content;
  int size;
  bool read;
  std::string text;
};

TEST(GetProcString, ReadsOneLineWithinTheBufferFromAnyContent) {
  TempRoot root;
  const std::vector<TStringCase> cases = {
      {"lf", "Varnix QX 500\n", 128, true, "Varnix QX 500"},
      {"crlf", "Varnix QX 500\r\n", 128, true, "Varnix QX 500"},
      {"noLineEnd", "Varnix", 128, true, "Varnix"},
      {"secondLine", "one\ntwo\n", 128, true, "one"},
      {"crInside", "A\rB\n", 128, true, "A"},
      {"leadingCrStays", "\rName\r\n", 128, true, "\rName"},
      {"leadingLfIsTheLine", "\nName\n", 128, true, "\n"},
      {"overLong", std::string(300, 'x') + "\n", 16, true, std::string(15, 'x')},
      {"exactFit", "123456789012345", 16, true, "123456789012345"},
      {"binary", std::string("\x01\x02\0zz\n", 6), 16, true, "\x01\x02"},
      {"highBytes", "\xc3\xa9t\xc3\xa9\n", 16, true, "\xc3\xa9t\xc3\xa9"},
      {"empty", "", 16, false, ""},
  };
  for (const TStringCase& c : cases) {
    SCOPED_TRACE(c.name);
    root.WriteFile(KProps + c.name, c.content);
    std::vector<char> guarded(c.size + 32, '\x5a');
    StdoutCapture out;
    EXPECT_EQ(GetProcString(c.name, guarded.data(), c.size), c.read);
    EXPECT_EQ(std::string(guarded.data()), c.text);
    for (size_t i = c.size; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], '\x5a') << "written past the buffer at " << i;
    EXPECT_EQ(out.Take(), c.read ? "" : "GetProcString: Unable to read string from " + root(KProps + c.name) + "\n");
  }
}

TEST(GetProcString, MissingFileGivesMessageAndEmptyBuffer) {
  TempRoot root;
  char buffer[8] = "old";
  StdoutCapture out;
  EXPECT_FALSE(GetProcString("absent", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(out.Take(), OpenFailure(root, "GetProcString", "absent"));
}

// ---- Level and state readings --------------------------------------------

TEST(GetLevelPercent, ScalesTheReadingBetween10And310) {
  FakeDevice device;
  const int cases[][2] = {{0, 0}, {10, 0}, {11, 0}, {13, 1}, {160, 50}, {309, 99}, {310, 100}, {500, 100}, {-40, 0}};
  for (const auto& c : cases) {
    device.Answers().level = c[0];
    EXPECT_EQ(GetLevelPercent(), c[1]) << "reading " << c[0];
  }
}

TEST(GetStateCode, PassesOnlyZeroOneOrTwo) {
  FakeDevice device;
  const int cases[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}, {256, 0}};
  for (const auto& c : cases) {
    device.Answers().state = c[0];
    EXPECT_EQ(GetStateCode(), c[1]) << "reading " << c[0];
  }
}

TEST(DeviceLayer, FixedAnswersOfThisSystem) {
  EXPECT_EQ(GetLevelPercent(), 0);
  EXPECT_EQ(GetStateCode(), 0);
  EXPECT_EQ(DeviceHasFeature("btserver"), 0);
  EXPECT_EQ(DeviceIsCharging(), 0);
  TBatteryReading reading = {1, 2, 3};
  EXPECT_EQ(DeviceReadBattery(&reading), 0);
  EXPECT_EQ(reading.voltage, 1);
  EXPECT_EQ(reading.reference, 2);
  EXPECT_EQ(reading.current, 3);
  char serial[KDeviceSerialLength];
  memset(serial, 'k', sizeof serial);
  int length = KDeviceSerialLength;
  EXPECT_EQ(DeviceReadDiskSerial(serial, &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(DeviceReadSdSerial(serial), 1);
  EXPECT_EQ(std::string(serial, sizeof serial), std::string(16, 'k'));
  EXPECT_EQ(DeviceReadValue(), 0);
  EXPECT_EQ(DeviceApplySetting(3), 1);
}

}  // namespace
}  // namespace varnix
