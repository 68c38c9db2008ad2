#include "XlsLoader.h"

#include "Messages.h"
#include "ModelLoader.h"
#include "xls/CFile.h"
#include "xls/XLSError.h"
#include "xls/XLSReader.h"
#include "xls/XLSWorkbook.h"

namespace morvik::core {
namespace {

// What a reader's failure means for the user's file; the reader's own text and code follow.
Msg Meaning(const std::exception& e) {
    if (const auto* cfile = dynamic_cast<const xls::ECFileError*>(&e)) {
        return cfile->ErrorCode() == xls::kCFileCannotOpenDocfile ? Msg::NotXlsWorkbook
                                                                  : Msg::DamagedWorkbook;
    }
    const auto* xlsError = dynamic_cast<const xls::EXLSError*>(&e);
    if (xlsError == nullptr) return Msg::DamagedWorkbook;
    switch (xlsError->Code()) {
        case xls::kErrStreamNotFound:
            return Msg::NotXlsWorkbook;
        case xls::kErrPasswordProtected:
            return Msg::ProtectedWorkbook;
        case xls::kErrCompoundFile:
            // The compound file's own error, kept as the cause, tells which.
            try {
                if (xlsError->Cause()) std::rethrow_exception(xlsError->Cause());
            } catch (const std::exception& cause) {
                return Meaning(cause);
            }
            return Msg::DamagedWorkbook;
        default:
            return Msg::DamagedWorkbook;
    }
}

}  // namespace

std::unique_ptr<WorkbookCells> OpenXlsWorkbook(const std::string& path,
                                               const ReaderSettings& settings) {
    try {
        std::unique_ptr<xls::TWorkbook> workbook = NewWorkbook(settings);
        xls::TXLSReader reader(*workbook);
        reader.Read(path, xls::TReaderOptions{});
        return CellsOfModel(std::move(workbook));
    } catch (const xls::ECFileError& e) {
        throw EUserError(Meaning(e), {FileNameOf(path)}, e.what(), e.Code(),
                         std::current_exception());
    } catch (const xls::EXLSError& e) {
        throw EUserError(Meaning(e), {FileNameOf(path)}, e.what(), e.Code(),
                         std::current_exception());
    }
}

}  // namespace morvik::core
