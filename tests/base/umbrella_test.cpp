// The umbrella header compiles on its own, twice (include guards), and gives
// an application every public name it documents.
#include "varnix.h"
#include "varnix.h"

#include <gtest/gtest.h>

TEST(Umbrella, ExampleOfTheHeaderWorks) {
  varnix::CPathString path;
  path.Format("data%02d.chk", 5);
  EXPECT_STREQ(path.Text(), "data05.chk");
  varnix::CInlineString<32> name;
  name.AssignText("client");
  EXPECT_EQ(name.Length(), 6);
  EXPECT_EQ(name.Capacity(), 32);
}
