// What the window's units share: text and font helpers, the design size, the store of the
// window's own state. Private to app/.
#pragma once

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compute/Workspace.h"
#include "core/Messages.h"

namespace morvik::app::kit {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QFont PixelFont(const QStringList& families, int pixels, bool bold = false) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

inline const QStringList kSansFamilies{"MS Sans Serif", "DejaVu Sans"};
inline const QStringList kGridFamilies{"Tahoma", "DejaVu Sans"};
inline const QStringList kArialFamilies{"Arial", "Liberation Sans", "DejaVu Sans"};

// "Text files|*.txt;*.csv|All files|*.*" in the form the Qt dialogs take. Qt's own dialog
// matches the patterns without regard to letter case.
inline QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == "*.*") pattern = "*";  // also files without an extension
        pattern.replace(';', ' ');            // several patterns in one filter
        out << parts[i] + " (" + pattern + ")";
    }
    return out.join(";;");
}

inline void SetTextColor(QLabel* label, const Rgb& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(color.r, color.g, color.b));
    label->setPalette(palette);
}

inline QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// The size every control's place is given for; the window opens at it.
constexpr QSize kDesignSize(610, 621);
// Small enough for a 1366 x 768 screen at twice the scale, large enough for every control.
constexpr QSize kMinimumSize(560, 340);
constexpr int kRecentFiles = 8;

// What the window keeps between runs: its place and size, the last folder and the recent
// files. Beside the per-user settings file, never in it: Settings.ini holds what a lab shares.
inline std::unique_ptr<QSettings> WindowState() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "morvik",
                                       "window");
}

// The offscreen platform's made-up 800 x 600 screen is no screen anyone looks at: a window
// rendered there keeps its size. A screen configured for it is taken as real.
inline bool ScreenBoundsTheWindow() {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) return true;
    return qEnvironmentVariable("QT_QPA_PLATFORM").contains(QLatin1String("configfile"));
}

inline QString Format(std::string_view pattern, const QStringList& args) {
    std::vector<std::string> texts;
    for (const QString& arg : args) texts.push_back(arg.toStdString());
    return Q(core::FillPlaceholders(pattern, texts));
}

constexpr std::array<int, kEquationCount> kEquationLefts{64, 136, 208, 280, 352, 424, 496};

// The About page names the settings file in use: installed, it is not beside the program.
inline void ShowSettingsFile(QLabel* label, const std::string& lang, const QString& path) {
    label->setText(
        (lang == "en" ? QStringLiteral("Settings file: ") : QStringLiteral("Soubor nastavení: ")) +
        QDir::toNativeSeparators(path));
}

// Wide enough for a dimension or a product with six decimals; the equation grid keeps its
// narrower columns.
constexpr int kDimensionValueWidth = 76;
constexpr int kProductLabelWidth = 96;
constexpr int kProductWidth = 67;

// Coordinates of a landmark table with at least one value: a table not yet filled in is
// empty, not missing.
inline bool AnyCoordinate(const Workspace& ws) {
    for (int r = 1; r <= kLandmarkCount; ++r) {
        for (int c = 2; c <= 4; ++c) {
            if (!ws.sgImput.Cell(c, r).empty()) return true;
        }
    }
    return false;
}

}  // namespace morvik::app::kit
