// What a workbook shows depends on the user's locale and screen: the separators and date
// format of display texts, and the pixels per inch that row and column sizes follow. One
// value per workbook, given at construction; default-constructed it is en-US at 96 dpi.
#pragma once

#include "NumberFormat.h"

namespace morvik::xls {

struct TReaderSettings {
    TFormatSettings Format;
    int PixelsPerInch = 96;  // 0 or less counts as 96
};

}  // namespace morvik::xls
