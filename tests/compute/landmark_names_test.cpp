// Labels as labs write them in their digitizing programs, to the landmark they name.
#include <gtest/gtest.h>

#include "compute/LandmarkNames.h"
#include "compute/Landmarks.h"

namespace morvik {
namespace {

TEST(LandmarkNames, EveryNameTheWindowShowsFindsItsOwnRow) {
    for (const LandmarkRow& row : kLandmarks) {
        for (std::string_view name : {row.abbreviation, row.nameCz, row.nameEn}) {
            SCOPED_TRACE(std::string(name));
            EXPECT_EQ(MatchLandmarkLabel(name), (LabelTarget{row.row, Euryon::None}));
        }
    }
}

TEST(LandmarkNames, SidesCaseAccentsAndSeparatorsInTheUsualPlaces) {
    const struct {
        std::string_view label;
        LabelTarget target;
    } cases[] = {
        {"zy_R", {8, Euryon::None}},
        {"R zygion", {8, Euryon::None}},
        {"Zygion  pravý", {8, Euryon::None}},
        {"levý zygion", {9, Euryon::None}},
        {"ZYGION (LEFT)", {9, Euryon::None}},
        {"zygion-sin", {9, Euryon::None}},
        {"dl", {16, Euryon::None}},
        {"d.r.", {12, Euryon::None}},
        {"Dakryon dx", {12, Euryon::None}},
        {"ekm_L", {11, Euryon::None}},
        {"ectomolare right", {10, Euryon::None}},
        {"fmo L", {18, Euryon::None}},
        {"Frontomalare-orbitale_dx", {14, Euryon::None}},
        {"zo-r", {15, Euryon::None}},
        {"SO left", {17, Euryon::None}},
        {"opisthocranium", {21, Euryon::None}},
        {"OPISTOKRANION", {21, Euryon::None}},
        {"Glabela", {1, Euryon::None}},
        {"g", {1, Euryon::None}},
        {"pr", {5, Euryon::None}},
        {"rh", {3, Euryon::None}},
        {"br", {20, Euryon::None}},
        {"\"Nasion\"", {2, Euryon::None}},
        {"eu_R", {0, Euryon::Right}},
        {"euryon dx", {0, Euryon::Right}},
        {"Euryon left", {0, Euryon::Left}},
        {"EUsin", {0, Euryon::Left}},
        {"eul", {0, Euryon::Left}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.label));
        EXPECT_EQ(MatchLandmarkLabel(c.label), c.target);
    }
}

TEST(LandmarkNames, LabelsThatNameNoOneLandmarkMatchNothing) {
    // A paired landmark without its side, a side on a midline landmark, defaults, near misses.
    for (std::string_view label : {"zygion", "ZYG", "eu", "euryon", "sor", "G right", "F-1", "F_1",
                                   "", "  ", "porion R", "glabellaa", "n2", "dx", "left", "x"}) {
        SCOPED_TRACE(std::string(label));
        EXPECT_FALSE(MatchLandmarkLabel(label).Matched());
    }
}

TEST(LandmarkNames, OwnNamesWinOverTheBuiltInOnesAndNeedAKnownTarget) {
    LandmarkNameTable table;
    EXPECT_TRUE(table.Add("LM 01", "G"));
    EXPECT_TRUE(table.Add("zyg-right-A", "zygdx"));
    EXPECT_TRUE(table.Add("nasion", "BA"));  // a lab's house name shadows the anatomical one
    EXPECT_TRUE(table.Add("EU R", "EUdx"));
    EXPECT_FALSE(table.Add("xx", "nothing"));
    EXPECT_FALSE(table.Add("yy", "zygion"));  // no side: no one landmark
    EXPECT_EQ(table.Match("lm01"), (LabelTarget{1, Euryon::None}));
    EXPECT_EQ(table.Match("ZYG RIGHT A"), (LabelTarget{8, Euryon::None}));
    EXPECT_EQ(table.Match("Nasion"), (LabelTarget{22, Euryon::None}));
    EXPECT_EQ(table.Match("eu-r"), (LabelTarget{0, Euryon::Right}));
    EXPECT_EQ(table.Match("bregma"), (LabelTarget{20, Euryon::None}));  // built-in still
    EXPECT_FALSE(table.Match("xx").Matched());
}

}  // namespace
}  // namespace morvik
