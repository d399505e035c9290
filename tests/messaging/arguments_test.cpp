#include "messaging/arguments.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/os_fault.h"

namespace varnix {
namespace {

// A list as an endpoint makes it: on the heap, zero-filled.
struct ListFixture : ::testing::Test {
  void SetUp() override {
    list = new CCsvArguments('|');
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override { delete static_cast<MArguments*>(list); }

  bool UsesInlineBuffer() const {
    const char* buffer = list->Buffer();
    const char* object = reinterpret_cast<const char*>(list);
    return buffer >= object && buffer < object + sizeof(CCsvArguments);
  }
  std::vector<std::string> Fields() const {
    std::vector<std::string> fields;
    for (int32_t i = 0; i < list->Count(); ++i) fields.push_back(list->At(i));
    return fields;
  }
  void Fill(int32_t textLength) {
    std::string text(static_cast<size_t>(textLength) - 1, 'a');  // plus the separator
    ASSERT_EQ(list->Append(text.c_str()), textLength - 1);
    ASSERT_EQ(TextOf(), static_cast<size_t>(textLength));
  }
  size_t TextOf() const { return std::string(list->Buffer()).size(); }

  CCsvArguments* list = nullptr;
};

TEST_F(ListFixture, NewListIsEmpty) {
  EXPECT_STREQ(list->Buffer(), "");
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->At(0), nullptr);
  EXPECT_EQ(list->Separator(), '|');
  EXPECT_TRUE(UsesInlineBuffer());
}

TEST_F(ListFixture, AppendAddsTheSeparatorAndReturnsTheLengthBeforeIt) {
  EXPECT_EQ(list->Append("abc"), 3);
  EXPECT_STREQ(list->Buffer(), "abc|");
  EXPECT_EQ(list->Append(""), 4);
  EXPECT_STREQ(list->Buffer(), "abc||");
  EXPECT_EQ(list->Count(), 0);  // Append builds; only Split counts
}

TEST_F(ListFixture, InlineBufferHoldsUpTo1023BytesOfText) {
  Fill(1000);
  std::string exact(22, 'b');  // 1000 + 22 + separator + zero byte = 1024
  EXPECT_EQ(list->Append(exact.c_str()), 1022);
  EXPECT_TRUE(UsesInlineBuffer());
  EXPECT_EQ(list->HeapCapacity(), 0);
  EXPECT_EQ(TextOf(), 1023u);
}

TEST_F(ListFixture, OneMoreByteMovesTheTextToA2048ByteHeapBuffer) {
  Fill(1000);
  std::string text(23, 'b');
  EXPECT_EQ(list->Append(text.c_str()), 1023);
  EXPECT_FALSE(UsesInlineBuffer());
  EXPECT_EQ(list->HeapCapacity(), 2048);
  EXPECT_EQ(std::string(list->Buffer()), std::string(999, 'a') + "|" + text + "|");
}

TEST(ListGrowth, HeapBufferGrowsBy1024UntilTheTextFits) {
  struct TCase {
    int32_t appended;
    int32_t capacity;
  } cases[] = {{46, 2048}, {47, 3072}, {1070, 3072}, {1071, 4096}, {1100, 4096}};
  for (const TCase& c : cases) {
    CCsvArguments* list = new CCsvArguments('|');
    list->Append(std::string(1999, 'a').c_str());  // 2000 bytes of text
    ASSERT_EQ(list->HeapCapacity(), 2048);
    std::string text(static_cast<size_t>(c.appended), 'b');
    EXPECT_EQ(list->Append(text.c_str()), 2000 + c.appended);
    EXPECT_EQ(list->HeapCapacity(), c.capacity) << "appending " << c.appended;
    EXPECT_EQ(std::string(list->Buffer()).size(), static_cast<size_t>(2000 + c.appended + 1));
    delete list;
  }
}

TEST(ListSplit, CutsAtSeparatorsAndDropsThePieceAfterTheLast) {
  struct TCase {
    const char* text;
    std::vector<std::string> fields;
  } cases[] = {
      {"a|bc||", {"a", "bc", ""}},
      {"a|b", {"a"}},
      {"abc", {}},
      {"", {}},
      {"|", {""}},
      {"0|\n", {"0"}},
      {"0|1\n2|", {"0", "1\n2"}},
  };
  for (const TCase& c : cases) {
    CCsvArguments* list = new CCsvArguments('|');
    std::string(c.text).copy(list->Buffer(), std::string::npos);
    list->Buffer()[std::string(c.text).size()] = 0;
    list->Split();
    std::vector<std::string> fields;
    for (int32_t i = 0; i < list->Count(); ++i) fields.push_back(list->At(i));
    EXPECT_EQ(fields, c.fields) << "text " << c.text;
    EXPECT_EQ(list->At(-1), nullptr);
    EXPECT_EQ(list->At(list->Count()), nullptr);
    delete list;
  }
}

TEST_F(ListFixture, ThirtySeparatorsUseTheInlineTableThirtyOneAHeapTable) {
  for (int i = 0; i < 30; ++i) list->Append(std::to_string(i).c_str());
  list->Split();
  EXPECT_EQ(list->Count(), 30);
  EXPECT_FALSE(list->UsesHeapFieldTable());
  EXPECT_STREQ(list->At(29), "29");

  list->Reset();
  for (int i = 0; i < 31; ++i) list->Append(std::to_string(i).c_str());
  list->Split();
  EXPECT_EQ(list->Count(), 31);
  EXPECT_TRUE(list->UsesHeapFieldTable());
  EXPECT_STREQ(list->At(30), "30");
  EXPECT_STREQ(list->At(0), "0");
  EXPECT_EQ(list->At(31), nullptr);
}

TEST_F(ListFixture, ResetReleasesBothHeapBlocks) {
  for (int i = 0; i < 300; ++i) list->Append("field");
  list->Split();
  ASSERT_TRUE(list->UsesHeapFieldTable());
  ASSERT_GT(list->HeapCapacity(), 0);
  list->Reset();
  EXPECT_TRUE(UsesInlineBuffer());
  EXPECT_STREQ(list->Buffer(), "");
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->HeapCapacity(), 0);
  EXPECT_FALSE(list->UsesHeapFieldTable());
}

TEST_F(ListFixture, ReserveProvidesAnEmptyHeapBufferOfExactlyTheSize) {
  list->Append("a");
  list->Split();
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Reserve(4096), 1);
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->HeapCapacity(), 4096);
  EXPECT_FALSE(UsesInlineBuffer());
  list->Buffer()[4095] = 0;  // the whole block is ours (ASan checks the bound)
}

TEST_F(ListFixture, ReserveThatCannotAllocateLeavesTheInlineBuffer) {
  test::OsFaultGuard guard;
  list->Append("a");
  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(list->Reserve(5001), 0);
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->HeapCapacity(), 0);
  EXPECT_TRUE(UsesInlineBuffer());
  EXPECT_STREQ(list->Buffer(), "");
}

// Appending that needs memory which cannot be obtained changes nothing and
// says so with -1; the next append that gets its memory works as usual.
TEST_F(ListFixture, AppendWithoutMemoryLeavesTheListAsItWas) {
  test::OsFaultGuard guard;
  Fill(1000);
  std::string big(100, 'b');

  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(list->Append(big.c_str()), -1);
  EXPECT_TRUE(UsesInlineBuffer());
  EXPECT_EQ(std::string(list->Buffer()), std::string(999, 'a') + "|");

  EXPECT_EQ(list->Append(big.c_str()), 1100);
  EXPECT_EQ(list->HeapCapacity(), 2048);

  std::string more(2000, 'c');
  test::FailCall("Realloc", 1, ENOMEM);
  EXPECT_EQ(list->Append(more.c_str()), -1);
  EXPECT_EQ(list->HeapCapacity(), 2048);
  EXPECT_EQ(std::string(list->Buffer()), std::string(999, 'a') + "|" + big + "|");

  EXPECT_EQ(list->Append(more.c_str()), 3101);
  EXPECT_EQ(list->HeapCapacity(), 4096);
}

// A split that cannot get a table for its many fields leaves the text uncut
// and reports no fields, as for a malformed message.
TEST_F(ListFixture, SplitWithoutMemoryForTheTableGivesNoFields) {
  test::OsFaultGuard guard;
  for (int i = 0; i < 40; ++i) list->Append("x");
  std::string before = list->Buffer();

  test::FailCall("Malloc", 1, ENOMEM);
  list->Split();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->At(0), nullptr);
  EXPECT_FALSE(list->UsesHeapFieldTable());
  EXPECT_EQ(std::string(list->Buffer()), before);

  list->Split();
  EXPECT_EQ(list->Count(), 40);
  EXPECT_STREQ(list->At(39), "x");
}

TEST_F(ListFixture, MovingTheTextDropsTheFieldsOfAnEarlierSplit) {
  list->Append("a");
  list->Split();
  ASSERT_EQ(list->Count(), 1);
  list->Append(std::string(2000, 'b').c_str());
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->At(0), nullptr);
}

// Long random sequences of appends against a plain model of the text, the
// capacity (inline below 1024 bytes, then 2048 growing by 1024) and the fields.
TEST(ListModel, RandomAppendsAndSplitsMatchAPlainModel) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 200; ++round) {
    CCsvArguments* list = new CCsvArguments('|');
    std::string model;
    size_t capacity = 0;
    std::vector<std::string> fields;
    int appends = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < appends; ++i) {
      size_t length = random() % 4 == 0 ? random() % 1500 : random() % 40;
      std::string text(length, static_cast<char>('a' + random() % 26));
      size_t needed = model.size() + length + 1;
      if (capacity == 0 && needed >= 1024) capacity = 2048;
      while (capacity != 0 && needed >= capacity) capacity += 1024;

      ASSERT_EQ(list->Append(text.c_str()), static_cast<int32_t>(model.size() + length));
      model += text + "|";
      fields.push_back(text);
      ASSERT_EQ(std::string(list->Buffer()), model);
      ASSERT_EQ(list->HeapCapacity(), static_cast<int32_t>(capacity));
    }
    list->Split();
    ASSERT_EQ(list->Count(), static_cast<int32_t>(fields.size()));
    for (size_t i = 0; i < fields.size(); ++i) ASSERT_EQ(list->At(static_cast<int32_t>(i)), fields[i]);
    delete list;
  }
}

}  // namespace
}  // namespace varnix
