#include <gtest/gtest.h>
#include "codec.hpp"
TEST(Codec, Placeholder) { EXPECT_EQ(字符串加密::TextToHex(u"中"), u"D6 D0"); }
