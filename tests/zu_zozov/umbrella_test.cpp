#include <gtest/gtest.h>

#include <string>

#include "zu_zozov/zu_zozov.h"

TEST(Umbrella, CompilesAndReportsVersion) { EXPECT_EQ(std::string("0.1.0"), qvt::ht::version()); }
