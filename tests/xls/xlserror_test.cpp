#include "xls/XLSError.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

namespace morvik::xls {
namespace {

// Every code the reader and its callers name. Callers tell failures apart by code and show
// the message as the failure's detail, so each code needs a text of its own; a table that
// lost or repeated an entry would give a code its neighbour's text or none.
constexpr TXLSErrorCode kNamedCodes[] = {
    kErrBufferTooSmall,       kErrStreamNotFound,     kErrInvalidCellValue,
    kErrInvalidCellProperty,  kErrInvalidRowOrColumn, kErrInvalidSheetName,
    kErrSheetNameLength,      kErrInvalidFormula,     kErrInvalidFunction,
    kErrFormulaStringLength,  kErrInvalidRangeName,   kErrNoSheets,
    kErrFormulaNotRecognized, kErrPasswordProtected,  kErrRecordUnreadable,
    kErrCompoundFile,         kErrSheetDataMissing,   kErrTooMuchText,
};

TEST(XLSError, EveryCodeHasAMessageOfItsOwn) {
    std::set<std::string> bare, filled;
    for (const TXLSErrorCode code : kNamedCodes) {
        SCOPED_TRACE(testing::Message() << "code " << int(code));
        const EXLSError withoutArgument(code);
        const EXLSError withArgument(code, "<arg>");
        EXPECT_EQ(withoutArgument.Code(), code);
        EXPECT_EQ(withArgument.Code(), code);
        EXPECT_FALSE(std::string_view(withoutArgument.what()).empty());
        EXPECT_TRUE(bare.insert(withoutArgument.what()).second) << withoutArgument.what();
        // A filled message keeps no placeholder, and shows the argument only where it had one.
        const std::string text = withArgument.what();
        EXPECT_EQ(text.find("%s"), std::string::npos) << text;
        const bool placeholder =
            std::string_view(withoutArgument.what()).find("%s") != std::string_view::npos;
        EXPECT_EQ(text.find("<arg>") != std::string::npos, placeholder) << text;
        EXPECT_TRUE(filled.insert(text).second) << text;
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
