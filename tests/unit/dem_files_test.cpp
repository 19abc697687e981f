// The name of every file the program touches, built as the dialogue builds it.
#include <gtest/gtest.h>

#include "dem/dem_files.hpp"

namespace {
std::string joined(std::string_view folder, std::string_view name, std::string_view suffix) {
    return folder_prefix(folder) + std::string(name) + std::string(suffix);
}
} // namespace

TEST(DemFiles, EveryInputAndOutputName) {
    EXPECT_EQ(joined("dems", "site", input_raw_suffix(0)), "c:\\images\\dems\\site_m2.raw");
    EXPECT_EQ(joined("dems", "site", input_descriptor_suffix(0)), "c:\\images\\dems\\site_m2.txt");
    EXPECT_EQ(joined("dems", "site", input_raw_suffix(1)), "c:\\images\\dems\\site_m4.raw");
    EXPECT_EQ(joined("dems", "site", input_descriptor_suffix(1)), "c:\\images\\dems\\site_m4.txt");
    EXPECT_EQ(joined("dems", "site", input_ascii_suffix), "c:\\images\\dems\\site.asc");
    EXPECT_EQ(joined("dems", "site", output_raw_suffix(0)),
              "c:\\images\\dems\\site_new_base_m2.raw");
    EXPECT_EQ(joined("dems", "site", output_descriptor_suffix(0)),
              "c:\\images\\dems\\site_new_base_m2.txt");
    EXPECT_EQ(joined("x", "dem1", output_raw_suffix(1)), "c:\\images\\x\\dem1_new_base_m4.raw");
    EXPECT_EQ(joined("x", "dem1", output_descriptor_suffix(1)),
              "c:\\images\\x\\dem1_new_base_m4.txt");
    EXPECT_EQ(joined("dems", "site", output_ascii_suffix), "c:\\images\\dems\\site_new_base.asc");
}

TEST(DemFiles, AnyWidthAnswerButZeroMeans32Bits) {
    for (int answer : {1, -1, -100}) {
        EXPECT_EQ(input_raw_suffix(answer), "_m4.raw");
        EXPECT_EQ(output_descriptor_suffix(answer), "_new_base_m4.txt");
        EXPECT_EQ(sample_bytes(answer), 4);
    }
    EXPECT_EQ(sample_bytes(0), 2);
}

TEST(DemFiles, NamesOfAnyLengthAreJoinedWhole) {
    const std::string folder(300, 'f'), name(500, 'n');
    const std::string path = joined(folder, name, output_raw_suffix(0));
    EXPECT_EQ(path.size(), 10 + 300 + 1 + 500 + 16);
    EXPECT_EQ(path.substr(path.size() - 17), "n_new_base_m2.raw");
}
