#include "platform/com_apartment.h"

#include <gtest/gtest.h>

#include <thread>

namespace korvane::platform {
namespace {

TEST(ComApartment, CountsPerThreadAndScopesBalance) {
  const int before = ComInitCount();
  {
    ComScope outer;
    ComScope inner;
    EXPECT_EQ(ComInitCount(), before + 2);
    int otherThread = -1;
    std::thread([&] { otherThread = ComInitCount(); }).join();
    EXPECT_EQ(otherThread, 0);
  }
  EXPECT_EQ(ComInitCount(), before);
  CoUninitialize();  // an unmatched release shows as a negative balance
  EXPECT_EQ(ComInitCount(), before - 1);
  CoInitialize();
}

}  // namespace
}  // namespace korvane::platform
