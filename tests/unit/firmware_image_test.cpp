// The carried image: its stored form de-scrambles to the plain image the
// build was made from, and the lane sums catch a changed byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "firmware_plain.h"
#include "update/FirmwareImage.h"

namespace {

std::vector<BYTE> Descrambled() {
    std::vector<BYTE> working(FIRM_WORK_SIZE, 0xA5);
    DescrambleImage(0, working.data());
    return working;
}

TEST(FirmwareImage, DescramblesToThePlainImageAndPassesItsSums) {
    const auto& plain = PlainFirmwareImage();
    ASSERT_EQ(plain.size(), FIRM_IMAGE_SIZE);
    std::vector<BYTE> working = Descrambled();
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), working.begin()));
    // The slack past the image is neither written nor needed.
    EXPECT_EQ(std::vector<BYTE>(working.begin() + FIRM_IMAGE_SIZE, working.end()), std::vector<BYTE>(16, 0xA5));
    EXPECT_TRUE(VerifyImage(0, working.data()));
    EXPECT_EQ(g_adwFirmBlocks[0], 4);
}

TEST(FirmwareImage, StoredFormIsThePlainImagePermutedInsideEachBlock) {
    int anBlockOrder[256];
    BuildBlockOrder(anBlockOrder);
    std::vector<int> sorted(anBlockOrder, anBlockOrder + 256);
    std::sort(sorted.begin(), sorted.end());
    for (int j = 0; j < 256; ++j) ASSERT_EQ(sorted[j], j) << "the block order is not a permutation";

    const auto& plain = PlainFirmwareImage();
    ASSERT_EQ(plain.size(), FIRM_IMAGE_SIZE);
    size_t moved = 0;
    for (size_t b = 0; b < FIRM_IMAGE_SIZE; b += 256) {
        for (int j = 0; j < 256; ++j) {
            ASSERT_EQ(g_abFirmImage[b + anBlockOrder[j]], plain[b + j]) << "block " << b / 256 << " byte " << j;
            moved += anBlockOrder[j] != j;
        }
    }
    EXPECT_GT(moved, FIRM_IMAGE_SIZE / 2) << "the stored image is hardly scrambled";
}

TEST(FirmwareImage, StoredSumsAreTheLaneSumsOfThePlainImage) {
    const auto& plain = PlainFirmwareImage();
    ASSERT_EQ(plain.size(), FIRM_IMAGE_SIZE);
    std::vector<unsigned> sums = LaneSumsOf(plain.data(), plain.size());
    for (int i = 0; i < FIRM_LANES; ++i) EXPECT_EQ(g_adwFirmCheckSum[i], sums[i]) << "lane " << i;
}

// One changed byte anywhere, the first and last lanes and the short last
// round included, is caught by exactly its own lane.
TEST(FirmwareImage, OneChangedByteMakesItsLaneDifferAndFailsTheCheck) {
    const size_t offsets[] = {0, 1, 12, 13, 0x7FFF, 0x8000, 0x1FFFF, 0x20000, 0x2FFF3, 0x2FFFE, 0x2FFFF};
    for (size_t at : offsets) {
        for (int delta : {1, 0x80, 0xFF}) {
            std::vector<BYTE> working = Descrambled();
            working[at] = static_cast<BYTE>(working[at] + delta);
            std::vector<unsigned> sums = LaneSumsOf(working.data(), FIRM_IMAGE_SIZE);
            std::vector<int> differing;
            for (int i = 0; i < FIRM_LANES; ++i)
                if (sums[i] != g_adwFirmCheckSum[i]) differing.push_back(i);
            EXPECT_EQ(differing, std::vector<int>{static_cast<int>(at % 13)}) << "offset " << at;
            EXPECT_FALSE(VerifyImage(0, working.data())) << "offset " << at << " delta " << delta;
        }
    }
}

// Two changes that cancel out within one lane keep the sums; in different
// lanes they do not.
TEST(FirmwareImage, ChangesInTwoLanesAreCaughtEvenWhenTheTotalStays) {
    std::vector<BYTE> working = Descrambled();
    size_t up = 0x100, down = 0x101;  // lanes differ
    while (working[up] == 0xFF) up += 13;
    while (working[down] == 0x00) down += 13;
    ++working[up];
    --working[down];
    EXPECT_FALSE(VerifyImage(0, working.data()));
}

}  // namespace
