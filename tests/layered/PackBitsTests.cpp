// PackBits rows decode back to themselves, however runs and literals fall,
// and never grow past the bound that sizes the format's row lengths.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "layered/PackBits.h"

namespace {

std::vector<uint8_t> Unpacked(const std::vector<uint8_t>& coded) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < coded.size();) {
        const int8_t header = int8_t(coded[i++]);
        if (header >= 0) {
            out.insert(out.end(), coded.begin() + long(i), coded.begin() + long(i) + header + 1);
            i += size_t(header) + 1;
        } else {
            out.insert(out.end(), size_t(1 - header), coded[i++]);
        }
    }
    return out;
}

TEST(PackBitsTests, EveryKindOfRowDecodesBackWithinTheBound) {
    std::mt19937 random(7);
    std::vector<std::vector<uint8_t>> rows = {{},
                                              {9},
                                              {1, 1},
                                              {1, 2},
                                              std::vector<uint8_t>(128, 5),
                                              std::vector<uint8_t>(129, 5),
                                              std::vector<uint8_t>(1000, 0)};
    for (int kind = 0; kind < 200; ++kind) {
        std::vector<uint8_t> row(size_t(random() % 700));
        // Few values make runs of every length; many make literals.
        const unsigned values = kind % 3 == 0 ? 2 : kind % 3 == 1 ? 4 : 256;
        for (uint8_t& v : row) v = uint8_t(random() % values);
        rows.push_back(row);
    }
    for (const std::vector<uint8_t>& row : rows) {
        std::vector<uint8_t> coded = {0xAA};  // appended to, not replaced
        const size_t size = layered::PackBits(row.data(), row.size(), coded);
        ASSERT_EQ(coded.size(), size + 1);
        EXPECT_LE(size, row.size() + (row.size() + 127) / 128);
        EXPECT_EQ(Unpacked(std::vector<uint8_t>(coded.begin() + 1, coded.end())), row);
    }
}

TEST(PackBitsTests, FlatColourCodesToTwoBytesARun) {
    const std::vector<uint8_t> row(1280, 200);
    std::vector<uint8_t> coded;
    EXPECT_EQ(layered::PackBits(row.data(), row.size(), coded), 20u);
}

}  // namespace
