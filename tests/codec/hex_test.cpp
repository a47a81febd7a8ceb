#include <gtest/gtest.h>
#include "hex.hpp"
TEST(Hex, Placeholder) { EXPECT_EQ(字符串加密::BytesToHex("Hi"), u"48 69"); }
