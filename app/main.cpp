// MORVIK: sex estimation from cranial landmarks by discriminant functions.
#include <QApplication>
#include <QLocale>
#include <QScreen>

#include "xls/NumberFormat.h"
#include "xls/XLSWorkbook.h"
#include "fMain.h"

namespace {

// The first character of `pattern` that is not a letter, or `fallback`.
std::string SeparatorIn(const QString& pattern, const char* fallback) {
    for (QChar c : pattern) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') return QString(c).toStdString();
    }
    return fallback;
}

// Workbook cells show their numbers and dates with the user's separators, and row and column
// sizes follow the screen's resolution, as the reader reads them once at start.
void ApplyPlatformSettings() {
    const QLocale locale = QLocale::system();
    auto& fs = morvik::xls::FormatSettings();
    fs.DecimalSeparator = QString(locale.decimalPoint()).toStdString();
    fs.ThousandSeparator = QString(locale.groupSeparator()).toStdString();
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    fs.DateSeparator = SeparatorIn(shortDate, "/");
    fs.TimeSeparator = SeparatorIn(locale.timeFormat(QLocale::ShortFormat), ":");
    // Qt writes months as M; the workbook patterns write them as m.
    fs.ShortDateFormat = shortDate.toLower().toStdString();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        morvik::xls::SetScreenPixelsPerInch(static_cast<int>(screen->logicalDotsPerInch() + 0.5));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("MORVIK");
    QApplication::setApplicationDisplayName("MORVIK");
    ApplyPlatformSettings();
    morvik::app::TForm1 form;
    form.show();
    return QApplication::exec();
}
