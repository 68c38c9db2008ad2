#include "xls/XLSError.h"

#include <gtest/gtest.h>

#include <iterator>

namespace morvik::xls {
namespace {

TEST(XLSError, MessageTableKeepsItsEntriesInOrder) {
    ASSERT_EQ(std::size(kXLSErrorMessages), 19u);
    struct Case {
        std::uint8_t code;
        const char* message;
    };
    // Callers tell failures apart by code, so every code must keep its text.
    const Case cases[] = {
        {0, ""},
        {1, "Buffer size is too small"},
        {2, "Stream not found: %s. File format is not Excel 97 or higher."},
        {3, "Invalid cell value or type"},
        {4, "Invalid cell property value"},
        {5, "Invalid row or column number"},
        {6, "Invalid or duplicated sheet name"},
        {7, "Sheet name must have a length 1..255"},
        {8, "Invalid formula"},
        {9, "Invalid function in formula: %s"},
        {10, "String constants in formula must have a length 0..255"},
        {11, "Invalid range name: %s"},
        {12, "There are no sheets in the workbook"},
        {13, "Formula not recognized"},
        {14, "Reading of password-protected workbooks not supported"},
        {15, "Error: BIFF record can not be processed"},
    };
    for (const Case& c : cases) {
        const EXLSError e(c.code);
        EXPECT_STREQ(e.what(), c.message) << "code " << int(c.code);
        EXPECT_EQ(e.Code(), c.code);
    }
}

TEST(XLSError, ArgumentFillsThePlaceholder) {
    const EXLSError stream(2, "Workbook");
    EXPECT_STREQ(stream.what(),
                 "Stream not found: Workbook. File format is not Excel 97 or higher.");
    EXPECT_EQ(stream.Code(), 2);

    const EXLSError range(11, "my range");
    EXPECT_STREQ(range.what(), "Invalid range name: my range");

    // An argument that itself looks like a placeholder is inserted verbatim, not expanded again.
    const EXLSError tricky(9, "%s%d");
    EXPECT_STREQ(tricky.what(), "Invalid function in formula: %s%d");

    // A message without a placeholder ignores the argument.
    EXPECT_STREQ(EXLSError(13, "x").what(), "Formula not recognized");
}

TEST(XLSError, IsTheProgramsErrorCarryingItsCodeAndCause) {
    try {
        throw EXLSError(kErrPasswordProtected);
    } catch (const morvik::Error& e) {
        EXPECT_STREQ(e.what(), "Reading of password-protected workbooks not supported");
        EXPECT_EQ(e.Code(), 14);
        EXPECT_EQ(e.Cause(), nullptr);
    }
    const EXLSError wrapped(kErrCompoundFile, "Can not open a docfile",
                            std::make_exception_ptr(EListIndexError(3)));
    EXPECT_STREQ(wrapped.what(), "Can not open a docfile");
    EXPECT_THROW(std::rethrow_exception(wrapped.Cause()), EListIndexError);
}

TEST(XLSError, CodeOutsideTheTableGivesEmptyMessage) {
    const EXLSError e(200);
    EXPECT_STREQ(e.what(), "");
    EXPECT_EQ(e.Code(), 200);
    EXPECT_STREQ(EXLSError(19, "arg").what(), "");
}

}  // namespace
}  // namespace morvik::xls
