// The one failure of the PDF layer, with what the user is told named apart from the words,
// so that the layers above can say it in the interface language.
#pragma once

#include <exception>
#include <string>

namespace morvik::pdf {

class PdfError : public std::exception {
  public:
    enum class Kind {
        FontMissing,   // subject: the font's name; fontconfig finds no DejaVu for it
        FontUnusable,  // subject: the font file; detail: why (it cannot be read, is damaged…)
        NotMade,       // detail: what failed
        Unavailable,   // this build writes no PDF
    };
    PdfError(Kind kind, std::string subject, std::string detail = {});
    const char* what() const noexcept override { return text_.c_str(); }
    Kind WhatKind() const { return kind_; }
    const std::string& Subject() const { return subject_; }
    const std::string& Detail() const { return detail_; }

  private:
    Kind kind_;
    std::string subject_, detail_, text_;  // text_: the English sentence
};

}  // namespace morvik::pdf
