// Windows-1250 at the file boundary: the program holds UTF-8, its files hold 8-bit text.
// The conversions are the reader's (one table for the whole program); case folding of names
// is the app's own.
#pragma once

#include "Cp1250.h"

namespace morvik::app {

// Characters the code page cannot hold become '?', and so do malformed UTF-8 bytes. The five
// bytes the code page leaves unassigned pass through as C1 controls, so a file read and
// written again keeps them.
using xls::Cp1250ToUtf8;
using xls::Utf8ToCp1250;

// Lower case of one Windows-1250 byte, for names that compare without regard to case.
char FoldCp1250(char c);

}  // namespace morvik::app
