// MORVIK: sex estimation from cranial landmarks by discriminant functions.
#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "core/Session.h"
#include "core/SettingsPath.h"
#include "core/Version.h"
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
    // Answered before any window: works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("morvik %s\n", std::string(morvik::core::kVersion).c_str());
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("MORVIK");
    QApplication::setApplicationDisplayName("MORVIK");
    QApplication::setApplicationVersion(
        QString::fromUtf8(morvik::core::kVersion.data(), morvik::core::kVersion.size()));
    const morvik::core::SettingsChoice settings =
        morvik::core::ChooseSettingsFile(morvik::core::InstalledSettingsPlaces());
    morvik::app::TForm1 form(QFileInfo(QString::fromStdString(settings.path)).absolutePath());
    form.session().reader = PlatformReaderSettings();
    form.show();
    if (!settings.message.empty()) {
        const QString message = QString::fromStdString(settings.message);
        std::fprintf(stderr, "morvik: %s\n", settings.message.c_str());
        QTimer::singleShot(
            0, &form, [&form, message] { QMessageBox::information(&form, "MORVIK", message); });
    }
    return QApplication::exec();
}
