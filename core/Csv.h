// Comma-separated tables as RFC 4180 has them: fields quoted only when they must be, CR LF
// after every record, UTF-8 text, numbers with a '.' that read back to the same double.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/Error.h"
#include "text/Utf8.h"  // ValidUtf8, which every field goes through

namespace morvik::core {

// Appends one field: quoted, with its quotes doubled, when it holds a comma, a quote, a CR or
// an LF. Bytes that are not UTF-8 become U+FFFD, so the table stays valid UTF-8 whatever a
// file name holds.
void AppendCsvField(std::string& out, std::string_view text);

// The shortest text that reads back to the same double ("0.1", "-3.5e-07"); empty for what is
// not finite, which no cell of ours should ever hold.
std::string CsvNumber(double value);

// A JSON string literal: quotes, backslashes and control characters escaped, bytes that are
// not UTF-8 replaced (ValidUtf8).
std::string JsonString(std::string_view text);
// A JSON list of strings: ["a", "b"].
std::string JsonList(const std::vector<std::string>& items);

// One record from fields, ended by CR LF.
std::string CsvRecord(const std::vector<std::string>& fields);

class ECsvError : public Error {
  public:
    using Error::Error;
};

// Splits a whole CSV text into records of fields. Accepts LF or CR LF line ends, a UTF-8 byte
// order mark at the start and a missing line end after the last record; blank lines are
// skipped. Throws ECsvError "Line N: ..." for a quote that is never closed or text right after
// a closing quote.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

}  // namespace morvik::core
