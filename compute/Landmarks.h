// The 22 cranial landmarks, in the rows of sgImput they occupy.
#pragma once

#include <array>
#include <string_view>

#include "Workspace.h"

namespace morvik {

struct LandmarkRow {
    int row;  // row of sgImput (1..22)
    std::string_view abbreviation;
    std::string_view nameCz;
    std::string_view nameEn;
};

// The names are shown as they are; the Czech "Prosthion " keeps its trailing blank.
inline constexpr std::array<LandmarkRow, kLandmarkCount> kLandmarks{{
    {1, "G", "Glabela", "glabela"},
    {2, "N", "Nasion", "nasion"},
    {3, "RH", "Rhinion", "rhinion"},
    {4, "NS", "Nasospinale", "nasospinale"},
    {5, "P", "Prosthion ", "prosthion"},
    {6, "APTdx", "Apertion dx", "aperthion dx"},
    {7, "APTsin", "Apertion sin", "aperthion sin"},
    {8, "ZYGdx", "Zygion dx", "zygion dx"},
    {9, "ZYGsin", "Zygion sin", "zygion sin"},
    {10, "EKTdx", "Ektomolare dx", "ectomolare dx"},
    {11, "EKTsin", "Ektomolare sin", "ectomolare sin"},
    {12, "Ddx", "Dakryon dx", "dacryon dx"},
    {13, "SORdx", "Supraorbitalní bod dx", "supraorbital notch dx"},
    {14, "FMOdx", "Frotomalare orbitale dx", "frontomalare orbitale dx"},
    {15, "ZORdx", "Zygoorbitale dx", "zygoorbitale dx"},
    {16, "Dsin", "Dakryon sin", "dacryon sin"},
    {17, "SORsin", "Supraorbitalní bod sin", "supraorbital notch sin"},
    {18, "FMOsin", "Frotomalare orbitale sin", "frontomalare orbitale sin"},
    {19, "ZORsin", "Zygoorbitale sin", "zygoorbitale sin"},
    {20, "B", "Bregma", "bregma"},
    {21, "OP", "Opistokranion", "opisthocranion"},
    {22, "BA", "Basion", "basion"},
}};

}  // namespace morvik
