#include "Error.h"

namespace morvik::pdf {

PdfError::PdfError(Kind kind, std::string subject, std::string detail)
    : kind_(kind), subject_(std::move(subject)), detail_(std::move(detail)) {
    switch (kind_) {
        case Kind::FontMissing:
            text_ =
                "The font \"" + subject_ + "\" is not installed (Debian package fonts-dejavu-core)";
            break;
        case Kind::FontUnusable:
            text_ = "The font file \"" + subject_ + "\" cannot be used";
            break;
        case Kind::NotMade:
            text_ = "The PDF cannot be made";
            break;
        case Kind::Unavailable:
            text_ = "PDF reports are not part of this build";
            break;
    }
    if (!detail_.empty()) text_ += ": " + detail_;
    text_ += '.';
}

}  // namespace morvik::pdf
