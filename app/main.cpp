// MORVIK: sex estimation from cranial landmarks by discriminant functions.
#include <QApplication>
#include <QLocale>
#include <QScreen>

#include "core/Session.h"
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
// sizes follow the screen's resolution.
morvik::core::ReaderSettings PlatformReaderSettings() {
    morvik::core::ReaderSettings settings;
    const QLocale locale = QLocale::system();
    settings.decimalSeparator = QString(locale.decimalPoint()).toStdString();
    settings.thousandSeparator = QString(locale.groupSeparator()).toStdString();
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    settings.dateSeparator = SeparatorIn(shortDate, "/");
    settings.timeSeparator = SeparatorIn(locale.timeFormat(QLocale::ShortFormat), ":");
    // Qt writes months as M; the workbook patterns write them as m.
    settings.shortDateFormat = shortDate.toLower().toStdString();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        settings.pixelsPerInch = static_cast<int>(screen->logicalDotsPerInch() + 0.5);
    }
    return settings;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("MORVIK");
    QApplication::setApplicationDisplayName("MORVIK");
    morvik::app::TForm1 form;
    form.session().reader = PlatformReaderSettings();
    form.show();
    return QApplication::exec();
}
