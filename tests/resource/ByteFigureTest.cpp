#include <gtest/gtest.h>

#include <limits>

#include "Resource/ByteFigure.h"

using namespace veska;

TEST(ByteFigure, GroupsDigitsInThreesWhateverTheirNumber) {
    EXPECT_EQ(FormatBytes(uint64_t{1}), "1 Bytes");
    EXPECT_EQ(FormatBytes(uint64_t{999}), "999 Bytes");
    EXPECT_EQ(FormatBytes(uint64_t{1000}), "1,000 Bytes");
    EXPECT_EQ(FormatBytes(uint64_t{33554432}), "33,554,432 Bytes");
    EXPECT_EQ(FormatBytes(uint64_t{4294967295}), "4,294,967,295 Bytes");
    EXPECT_EQ(FormatBytes(uint64_t{25769803776}), "25,769,803,776 Bytes");  // 24 GiB
    EXPECT_EQ(FormatBytes(std::numeric_limits<uint64_t>::max()), "18,446,744,073,709,551,615 Bytes");
    EXPECT_EQ(FormatBytes(int64_t{3000000000}), "3,000,000,000 Bytes");
    EXPECT_EQ(FormatBytes(int64_t{100000}), "100,000 Bytes");
}

TEST(ByteFigure, ZeroHasNoDigitAndNegativesKeepTheirSign) {
    EXPECT_EQ(FormatBytes(uint64_t{0}), " Bytes");
    EXPECT_EQ(FormatBytes(int64_t{0}), " Bytes");
    EXPECT_EQ(FormatBytes(int64_t{-1}), "-1 Bytes");
    EXPECT_EQ(FormatBytes(int64_t{-1234567}), "-1,234,567 Bytes");
    EXPECT_EQ(FormatBytes(int64_t{-100}), "-100 Bytes");
    EXPECT_EQ(FormatBytes(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808 Bytes");
}
