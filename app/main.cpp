// MORVIK: sex estimation from cranial landmarks by discriminant functions.
#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/EquationSets.h"
#include "core/IniFile.h"
#include "core/Loaders.h"
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

constexpr const char* kUsageOptions =
    "\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Settings.ini beside the program, else ~/.config/morvik/Settings.ini, holds the\n"
    "coefficients; F1 in the window opens the help page.\n";

// FILE's kinds come from the loaders, so that the help names every file the window opens.
std::string Usage() {
    return "Usage: morvik [FILE]\n"
           "Estimates the sex of a skull from 22 cranial landmarks and two euryon clouds, or from "
           "17\ndimensions, by seven discriminant equations.\n"
           "\n"
           "  FILE           a skull to open at start: " +
           morvik::core::LoadableExtensionsText() + kUsageOptions;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Answered before any window: works without a display.
    std::optional<QString> file;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            std::printf("morvik %s\n", std::string(morvik::core::kVersion).c_str());
            return 0;
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage().c_str(), stdout);
            return 0;
        }
        if (arg == "--") {
            if (i + 1 < argc && !file) file = QString::fromLocal8Bit(argv[i + 1]);
            break;
        }
        // Qt's own options (-platform, -style, ...) are left for QApplication.
        if (arg.starts_with("--")) {
            std::fprintf(stderr, "morvik: unknown option %s\n%s", argv[i], Usage().c_str());
            return 2;
        }
    }
    QApplication app(argc, argv);
    // What remains in argv once Qt took its own options (-platform, -style, ...): the file.
    for (int i = 1; i < argc && !file; ++i) {
        if (argv[i][0] != '-') file = QString::fromLocal8Bit(argv[i]);
    }
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
        // Said in the language the settings remember, else in the system's.
        std::string lang = morvik::core::ReadLanguage(morvik::core::IniFile(settings.path), "");
        if (lang != "cz" && lang != "en")
            lang = QLocale::system().language() == QLocale::Czech ? "cz" : "en";
        const QString message =
            QString::fromStdString(morvik::core::SettingsChoiceMessage(settings, lang));
        std::fprintf(stderr, "morvik: %s\n", settings.message.c_str());
        QTimer::singleShot(
            0, &form, [&form, message] { QMessageBox::information(&form, "MORVIK", message); });
    }
    if (file) {
        QTimer::singleShot(0, &form, [&form, path = *file] { form.OpenFile(path); });
    }
    return QApplication::exec();
}
