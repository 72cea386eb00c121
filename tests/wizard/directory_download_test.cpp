// The bar of the directory download on the search screens.
#include <gtest/gtest.h>

#include <string>

#include "wizard/web_update.h"

TEST(DirectoryDownload, TheBarFollowsTheBytesAndAnUnusableLengthShowsNone) {
  std::string percent = "unset";
  EXPECT_EQ(directory_share(false, 0, -1, &percent), 0.0f) << "no transfer yet";
  EXPECT_EQ(percent, "0");
  EXPECT_NEAR(directory_share(true, 1234, 4096, &percent), 0.3013f, 0.0001f);
  EXPECT_EQ(percent, "30");
  EXPECT_FLOAT_EQ(directory_share(true, 4096, 4096, &percent), 1.0f);
  EXPECT_EQ(percent, "100");
  // No length, or a length of 0 or below: no bar and no caption, and no
  // division by it.
  for (const long long length : {-1LL, 0LL, -5LL}) {
    percent = "unset";
    EXPECT_FLOAT_EQ(directory_share(true, 100, length, &percent), -0.01f) << length;
    EXPECT_EQ(percent, "0") << length;
  }
}
