#include "fMain.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <cmath>

#include "FittedText.h"
#include "HelpWindow.h"
#include "compute/Compute.h"
#include "compute/Missing.h"
#include "core/CaseReport.h"
#include "core/Commands.h"
#include "core/DataExchange.h"
#include "core/EquationSets.h"
#include "core/Export.h"
#include "core/IniFile.h"
#include "core/LandmarkFileLoader.h"
#include "core/Loaders.h"
#include "core/Messages.h"
#include "core/SetModel.h"
#include "core/Version.h"
#include "core/WorkbookImport.h"

namespace morvik::app {
namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont PixelFont(const QStringList& families, int pixels, bool bold = false) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

const QStringList kSansFamilies{"MS Sans Serif", "DejaVu Sans"};
const QStringList kGridFamilies{"Tahoma", "DejaVu Sans"};
const QStringList kArialFamilies{"Arial", "Liberation Sans", "DejaVu Sans"};

// "Text files|*.txt;*.csv|All files|*.*" in the form the Qt dialogs take. Qt's own dialog
// matches the patterns without regard to letter case.
QString QtFilter(const QString& filter) {
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

void SetTextColor(QLabel* label, const Rgb& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(color.r, color.g, color.b));
    label->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
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
std::unique_ptr<QSettings> WindowState() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "morvik",
                                       "window");
}

// The offscreen platform's made-up 800 x 600 screen is no screen anyone looks at: a window
// rendered there keeps its size. A screen configured for it is taken as real.
bool ScreenBoundsTheWindow() {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) return true;
    return qEnvironmentVariable("QT_QPA_PLATFORM").contains(QLatin1String("configfile"));
}

QString Format(std::string_view pattern, const QStringList& args) {
    QString text = Q(pattern);
    for (qsizetype i = 0; i < args.size(); ++i) text.replace(QString("{%1}").arg(i), args[i]);
    return text;
}

constexpr std::array<int, kEquationCount> kEquationLefts{64, 136, 208, 280, 352, 424, 496};

// The About page names the settings file in use: installed, it is not beside the program.
void ShowSettingsFile(QLabel* label, const std::string& lang, const QString& path) {
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
bool AnyCoordinate(const Workspace& ws) {
    for (int r = 1; r <= kLandmarkCount; ++r) {
        for (int c = 2; c <= 4; ++c) {
            if (!ws.sgImput.Cell(c, r).empty()) return true;
        }
    }
    return false;
}

}  // namespace

TForm1::TForm1(const QString& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), programFolder_(programFolder) {
    setObjectName("Form1");
    setWindowTitle("MORVIK");
    resize(kDesignSize);
    setMinimumSize(kMinimumSize);
    setFont(PixelFont(kSansFamilies, 11));
    setAcceptDrops(true);
    BuildControls();
    BuildActions();
    FormCreate();
    RestoreWindowState();
}

void TForm1::Place(QWidget* widget, QRect design, Stretch stretch) {
    layout_.push_back({widget, design, stretch});
    widget->setGeometry(design);
}

void TForm1::ApplyLayout() {
    const int dw = width() - kDesignSize.width();
    const int dh = height() - kDesignSize.height();
    const auto by = [](int value, double share, int extra) {
        return value + static_cast<int>(std::lround(share * extra));
    };
    for (const Placed& p : layout_) {
        const QRect& d = p.design;
        const Stretch& s = p.stretch;
        p.widget->setGeometry(by(d.x(), s.x, dw), by(d.y(), s.y, dh),
                              std::max(0, by(d.width(), s.w, dw)),
                              std::max(0, by(d.height(), s.h, dh)));
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyLayout();
    ShowResults();  // the line of gaps is cut to the label's width
}

void TForm1::RestoreWindowState() {
    const auto state = WindowState();
    const QByteArray saved = state->value("geometry").toByteArray();
    const bool restored = !saved.isEmpty() && restoreGeometry(saved);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect available = screen->availableGeometry();
    if (ScreenBoundsTheWindow()) {
        // Room for the frame the window manager adds, which is known only once shown.
        const QSize frame = QGuiApplication::platformName() == QLatin1String("offscreen")
                                ? QSize(0, 0)
                                : QSize(8, 36);
        const QSize room = (available.size() - frame).expandedTo(QSize(1, 1));
        setMinimumSize(kMinimumSize.boundedTo(room));
        resize(size().boundedTo(room));
    }
    if (!restored || !available.contains(geometry().topLeft())) {
        move(available.center() - rect().center());
        if (ScreenBoundsTheWindow()) {
            move(std::max(x(), available.left()), std::max(y(), available.top()));
        }
    }
}

void TForm1::SaveWindowState() { WindowState()->setValue("geometry", saveGeometry()); }

QString TForm1::settingsPath() const {
    return QDir(programFolder_).filePath(Q(core::kSettingsFileName));
}

void TForm1::BuildControls() {
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    Place(ComboBox1, {328, 8, 225, 21}, {.x = 1});
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    Place(ComboBox2, {560, 8, 41, 21}, {.x = 1});
    ComboBox2->addItems({"cz", "en"});
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    // The pages take the room the window gains.
    Place(PageControl1, {8, 32, 593, 441}, {.w = 1, .h = 1});
    static constexpr std::array<const char*, 5> kSheetNames{"TabSheet1", "TabSheet2", "TabSheet3",
                                                            "TabSheet4", "TabSheet5"};
    for (std::size_t i = 0; i < tabSheets_.size(); ++i) {
        tabSheets_[i] = new QWidget;
        tabSheets_[i]->setObjectName(kSheetNames[i]);
    }
    for (int sheet : {0, 1, 4, 2, 3}) {
        PageControl1->addTab(tabSheets_[static_cast<std::size_t>(sheet)],
                             Q(core::kCzechCaptions.tabSheets[static_cast<std::size_t>(sheet)]));
    }
    QWidget* page1 = tabSheets_[0];
    QWidget* page2 = tabSheets_[1];
    QWidget* page3 = tabSheets_[4];
    QWidget* page4 = tabSheets_[2];
    QWidget* page5 = tabSheets_[3];

    const QFont smallGrid = PixelFont(kGridFamilies, 9);
    const QFont grid = PixelFont(kGridFamilies, 11);
    auto makeGrid = [this](TextTable& table, int fixedCols, int fixedRows, int width, int height,
                           const QFont& font, QWidget* page, const char* name, QRect geometry,
                           Stretch stretch) {
        auto* g = new StringGrid(table, fixedCols, fixedRows, width, height, page);
        g->setObjectName(name);
        g->setFont(font);
        Place(g, geometry, stretch);
        return g;
    };
    // The landmark grid and the two clouds share the first page's extra width; the clouds
    // share its extra height.
    sgImput = makeGrid(ws_.sgImput, 2, 1, 56, 16, smallGrid, page1, "sgImput", {8, 8, 369, 397},
                       {.w = 0.5, .h = 1});
    sgImput2 = makeGrid(ws_.sgImput2, 0, 1, 56, 16, smallGrid, page1, "sgImput2",
                        {384, 24, 193, 187}, {.x = 0.5, .w = 0.5, .h = 0.5});
    sgImput3 = makeGrid(ws_.sgImput3, 0, 1, 56, 16, smallGrid, page1, "sgImput3",
                        {384, 232, 193, 173}, {.x = 0.5, .y = 0.5, .w = 0.5, .h = 0.5});
    sg = makeGrid(ws_.sg, 1, 1, 64, 19, grid, page2, "sg", {8, 8, 569, 393}, {.w = 1, .h = 1});
    sg->SetEditable(false);
    sgRozmery =
        makeGrid(ws_.sgRozmery, 1, 1, 64, 19, grid, page3, "sgRozmery", {8, 8, 190, 393}, {.h = 1});
    pom = makeGrid(ws_.pom, 1, 1, 64, 19, grid, page4, "pom", {8, 8, 569, 393}, {.w = 1, .h = 1});
    pom->SetEditable(false);
    sg->setFocusPolicy(Qt::ClickFocus);
    pom->setFocusPolicy(Qt::ClickFocus);

    QFont bold = font();
    bold.setBold(true);
    QLabel* label2 = MakeLabel(page1, "Label2", "euryon dx");
    label2->setFont(bold);
    Place(label2, {384, 8, 120, 14}, {.x = 0.5});
    QLabel* label3 = MakeLabel(page1, "Label3", "euryon sin");
    label3->setFont(bold);
    Place(label3, {384, 216, 120, 14}, {.x = 0.5, .y = 0.5});

    buttons_[4] = new QPushButton(Q(core::kCzechCaptions.buttons[4]), page3);
    buttons_[4]->setObjectName("Button5");
    Place(buttons_[4], {200, 375, 169, 25}, {.y = 1});
    FitButtonFont(buttons_[4], font());

    Label4 = MakeLabel(page5, "Label4", Q(core::kCzechCaptions.about));
    Place(Label4, {8, 8, 561, 121}, {.w = 1});
    Label5 = MakeLabel(page5, "Label5", Q(core::kCzechCaptions.thanks));
    Place(Label5, {8, 136, 561, 97}, {.w = 1});
    for (QLabel* paragraph : {Label4, Label5}) {
        paragraph->setWordWrap(true);
        paragraph->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    Place(MakeLabel(page5, "Label6", "ver.: " + Q(core::kVersion)), {531, 395, 60, 14},
          {.x = 1, .y = 1});
    QLabel* settingsFile = MakeLabel(page5, "SettingsFile", {});
    Place(settingsFile, {8, 240, 561, 42}, {.w = 1});
    settingsFile->setWordWrap(true);
    settingsFile->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    settingsFile->setTextInteractionFlags(Qt::TextSelectableByMouse);

    static constexpr std::array<const char*, kEquationCount> kCbNames{"cb1", "cb2", "cb3", "cb4",
                                                                      "cb5", "cb6", "cb7"};
    static constexpr std::array<const char*, kEquationCount> kResultNames{
        "Result1", "Result2", "Result3", "Result4", "Result5", "Result6", "Result7"};
    const QFont resultFont = PixelFont(kArialFamilies, 19);
    for (std::size_t i = 0; i < kEquationCount; ++i) {
        cb_[i] = new StyledCheckBox(Q(core::kCzechCaptions.checkBoxes[i]), this);
        cb_[i]->setObjectName(kCbNames[i]);
        // The equations share the extra width evenly, keeping their order and spacing.
        const Stretch column{
            .x = static_cast<double>(i) / kEquationCount, .y = 1, .w = 1.0 / kEquationCount};
        Place(cb_[i], {kEquationLefts[i], 479, 71, 17}, column);
        connect(cb_[i], &StyledCheckBox::toggled, this, [this, i](bool on) {
            ws_.cb[i] = on;
            ResultIsStale();
        });
        result_[i] = MakeLabel(this, kResultNames[i], "...");
        Place(result_[i], {kEquationLefts[i], 514, 65, 22}, column);
        // Under the score, with a reference model only: its posterior and typicality.
        evidence_[i] = MakeLabel(this, qPrintable(QString("Evidence%1").arg(i + 1)), {});
        Place(evidence_[i], {kEquationLefts[i] - 4, 536, 73, 11}, column);
        evidence_[i]->setFont(PixelFont(kSansFamilies, 9));
        evidence_[i]->setAlignment(Qt::AlignCenter);
        evidence_[i]->hide();
        result_[i]->setFont(resultFont);
        result_[i]->setAlignment(Qt::AlignCenter);
    }

    auto* shape = new QFrame(this);
    shape->setObjectName("Shape1");
    Place(shape, {8, 502, 593, 4}, {.y = 1, .w = 1});
    shape->setStyleSheet("background-color: black;");

    // Left of the set list, where nothing else stands: shown only after a calculation that
    // missed something, the missing landmarks above the equations left out.
    GapsLabel = MakeLabel(this, "GapsLabel", {});
    Place(GapsLabel, {8, 3, 314, 28}, {.w = 1});
    GapsLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    GapsLabel->setTextFormat(Qt::PlainText);
    SetTextColor(GapsLabel, {176, 0, 0});
    GapsLabel->hide();

    Label1 = MakeLabel(this, "Label1", {});
    Place(Label1, {8, 544, 593, 31}, {.y = 1, .w = 1});
    Label1->setFont(PixelFont(kArialFamilies, 27, true));
    Label1->setAlignment(Qt::AlignCenter);
    // Left of the centred verdict: how many equations voted, and how.
    VoteLabel = MakeLabel(this, "VoteLabel", {});
    Place(VoteLabel, {8, 544, 228, 31}, {.y = 1});
    VoteLabel->setFont(PixelFont(kArialFamilies, 12));
    VoteLabel->setWordWrap(true);
    VoteLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    VoteLabel->setTextFormat(Qt::PlainText);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    Place(panel, {0, 621 - 41, 610, 41}, {.y = 1, .w = 1});
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    auto* line = new QFrame(panel);
    Place(line, {0, 0, 610, 2}, {.w = 1});
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    static constexpr std::array<QRect, 4> kButtonRects{
        QRect(16, 9, 89, 23), QRect(240, 9, 75, 23), QRect(448, 9, 75, 23), QRect(528, 9, 75, 23)};
    static constexpr std::array<const char*, 4> kButtonNames{"Button1", "Button2", "Button3",
                                                             "Button4"};
    // Open stays left, Calculate keeps its share of the width, Export and End stay right.
    static constexpr std::array<double, 4> kButtonShifts{0, 0.5, 1, 1};
    for (std::size_t i = 0; i < 4; ++i) {
        buttons_[i] = new QPushButton(Q(core::kCzechCaptions.buttons[i]), panel);
        buttons_[i]->setObjectName(kButtonNames[i]);
        Place(buttons_[i], kButtonRects[i], {.x = kButtonShifts[i]});
    }
    RecentButton = new QToolButton(panel);
    RecentButton->setObjectName("RecentButton");
    RecentButton->setArrowType(Qt::DownArrow);
    RecentButton->setPopupMode(QToolButton::InstantPopup);
    Place(RecentButton, {105, 9, 17, 23});
    RecentMenu = new QMenu(RecentButton);
    RecentMenu->setObjectName("RecentMenu");
    RecentButton->setMenu(RecentMenu);
    connect(RecentMenu, &QMenu::aboutToShow, this, &TForm1::FillRecentMenu);
    CoefficientsButton = new QToolButton(panel);
    CoefficientsButton->setObjectName("CoefficientsButton");
    CoefficientsButton->setPopupMode(QToolButton::InstantPopup);
    CoefficientsButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Place(CoefficientsButton, {330, 9, 100, 23}, {.x = 0.75});
    for (QPushButton* button : buttons_) button->installEventFilter(this);
    connect(buttons_[0], &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(buttons_[1], &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(buttons_[2], &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(buttons_[3], &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(buttons_[4], &QPushButton::clicked, this, &TForm1::Button5Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Editovat1 = PopupMenu1->addAction("Editovat", this, &TForm1::Editovat1Click);
    Editovat1->setObjectName("Editovat1");
    Uloit1 = PopupMenu1->addAction("Uložit", this, &TForm1::Uloit1Click);
    Uloit1->setObjectName("Uloit1");
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    Vloit1 = PopupMenu2->addAction("Vložit", this, &TForm1::Vloit1Click);
    Vloit1->setObjectName("Vloit1");
    Vloit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    Vloit1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Vymazattabulku1 = PopupMenu2->addAction("Vymazat tabulku", this, &TForm1::Vymazattabulku1Click);
    Vymazattabulku1->setObjectName("Vymazattabulku1");
    // The coefficients' commands where they can be seen: the button shows the equation page
    // with the same Edit and Save as the grid's own menu.
    auto* coefficientsMenu = new QMenu(CoefficientsButton);
    coefficientsMenu->setObjectName("CoefficientsMenu");
    coefficientsMenu->addAction(Editovat1);
    coefficientsMenu->addAction(Uloit1);
    CoefficientsButton->setMenu(coefficientsMenu);
    connect(coefficientsMenu, &QMenu::aboutToShow, this,
            [this] { PageControl1->setCurrentWidget(tabSheets_[1]); });

    auto attachMenu = [](StringGrid* g, QMenu* menu) {
        g->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(g, &QWidget::customContextMenuRequested, menu, [g, menu](const QPoint& pos) {
            g->setFocus(Qt::PopupFocusReason);
            menu->popup(g->viewport()->mapToGlobal(pos));
        });
    };
    attachMenu(sg, PopupMenu1);
    for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery}) {
        attachMenu(g, PopupMenu2);
        g->addAction(Vloit1);
    }
    for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery, sg}) {
        connect(g->Model(), &TextTableModel::Edited, this, &TForm1::ResultIsStale);
    }
    for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery}) {
        g->Model()->SetBeforeEdit([this] { Remember(); });
        connect(g->Model(), &TextTableModel::Edited, this, [this] {
            edit_ = Edit::Typed;
            UpdateTitle();
        });
    }
    connect(sg->Model(), &TextTableModel::Edited, this, &TForm1::UpdateTitle);
    sgImput->Model()->SetMarker([this](int col, int row) {
        return col >= 2 && col <= 4 && row >= 1 && row <= kLandmarkCount && AnyCoordinate(ws_) &&
               MissingLandmarks(ws_).test(static_cast<std::size_t>(row - 1));
    });
    sgImput2->Model()->SetMarker([this](int, int row) {
        return row == 1 && CloudIsMissing(ws_.sgImput2) && AnyCoordinate(ws_);
    });
    sgImput3->Model()->SetMarker([this](int, int row) {
        return row == 1 && CloudIsMissing(ws_.sgImput3) && AnyCoordinate(ws_);
    });

    QWidget* order[] = {ComboBox1,   ComboBox2,   PageControl1, sgImput,    sgImput2,
                        sgImput3,    sgRozmery,   buttons_[4],  cb_[0],     cb_[1],
                        cb_[2],      cb_[3],      cb_[4],       cb_[5],     cb_[6],
                        buttons_[0], buttons_[1], buttons_[2],  buttons_[3]};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm1::BuildActions() {
    const auto add = [this](const char* name, QList<QKeySequence> keys, auto slot) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    add("OpenAction", {QKeySequence::Open}, &TForm1::Button1Click);
    add("CalculateAction",
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter),
         QKeySequence(Qt::Key_F5)},
        &TForm1::CalculateCommand);
    add("ExportAction", {QKeySequence(Qt::CTRL | Qt::Key_E)}, &TForm1::Button3Click);
    // The case report: Ctrl+P, and on the Export button's context menu beside Export.
    reportPdfAction_ =
        add("ReportPdfAction", {QKeySequence(Qt::CTRL | Qt::Key_P)}, &TForm1::ReportPdfClick);
    buttons_[2]->setContextMenuPolicy(Qt::ActionsContextMenu);
    buttons_[2]->addAction(reportPdfAction_);
    add("QuitAction", {QKeySequence(Qt::CTRL | Qt::Key_Q)}, &QWidget::close);
    add("HelpAction", {QKeySequence(Qt::Key_F1)}, &TForm1::ShowHelpPage);
    undoAction_ = add("UndoAction", {QKeySequence::Undo}, &TForm1::Undo);
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    redoAction_ = add("RedoAction", redoKeys, &TForm1::Redo);
}

void TForm1::FormCreate() {
    if (programFolder_.isEmpty()) programFolder_ = QCoreApplication::applicationDirPath();
    ws_.lang = "cz";
    core::WriteEquationHeader(ws_);
    {
        const core::IniFile ini(settingsPath().toStdString());
        ws_.lang = core::ReadLanguage(ini, ws_.lang);
        core::LoadStartupSet(ws_, ini);
        savedCoefficients_.Take(ws_);
        startNotices_ = core::SettingsNotices(ini, core::kUniversalSet, true, ws_.lang);
        for (core::Notice& notice : core::UseSetModel(ws_, ini, core::kUniversalSet))
            startNotices_.push_back(std::move(notice));
    }
    sgImput->setColumnWidth(0, 118);
    for (TextTable* cloud : {&ws_.sgImput2, &ws_.sgImput3}) {
        cloud->SetCell(0, 0, "X");
        cloud->SetCell(1, 0, "Y");
        cloud->SetCell(2, 0, "Z");
    }
    ws_.Label1.text = "Muž / Žena";
    ShowSettingsFile(findChild<QLabel*>("SettingsFile"), ws_.lang, settingsPath());

    for (std::string_view name : core::kCzechCaptions.setNames) ComboBox1->addItem(Q(name));
    ComboBox1->setCurrentIndex(core::kUniversalSet);
    openFilter_ = Q(core::kCzechCaptions.openFilter);
    saveFilter_ = Q(core::kCzechCaptions.saveFilter);
    PageControl1->setCurrentWidget(tabSheets_[1]);

    ApplyQtTranslation("cz");  // the built-in captions are Czech
    if (const core::CaptionSet* set = core::FindCaptionSet(ws_.lang)) ApplyCaptionSet(*set);
    if (ws_.lang == "en") ComboBox2->setCurrentIndex(1);
    ShowWorkspace();
}

void TForm1::ApplyCaptionSet(const core::CaptionSet& set) {
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setText(Q(set.buttons[i]));
        FitButtonFont(buttons_[i], font());
    }
    for (std::size_t i = 0; i < cb_.size(); ++i) cb_[i]->setText(Q(set.checkBoxes[i]));
    const int position = ComboBox1->currentIndex();
    ComboBox1->clear();
    for (std::string_view name : set.setNames) ComboBox1->addItem(Q(name));
    ComboBox1->setCurrentIndex(position);
    for (std::size_t i = 0; i < tabSheets_.size(); ++i) {
        PageControl1->setTabText(PageControl1->indexOf(tabSheets_[i]), Q(set.tabSheets[i]));
    }
    openFilter_ = Q(set.openFilter);
    saveFilter_ = Q(set.saveFilter);
    Label4->setText(Q(set.about));
    Label5->setText(Q(set.thanks));
    ShowSettingsFile(findChild<QLabel*>("SettingsFile"), ws_.lang, settingsPath());
    const std::array<QAction*, 4> menuItems{Editovat1, Uloit1, Vloit1, Vymazattabulku1};
    for (std::size_t i = 0; i < menuItems.size(); ++i) menuItems[i]->setText(Q(set.menuItems[i]));
    const core::WindowWords& words = core::WindowWordsFor(set.code);
    CoefficientsButton->setText(Q(words.coefficients));
    CoefficientsButton->setToolTip(Q(words.coefficientsTip));
    RecentButton->setToolTip(Q(words.recentFiles));
    undoAction_->setText(Q(words.undo));
    redoAction_->setText(Q(words.redo));
    reportPdfAction_->setText(Q(core::CaseReportCommandName(set.code)));
    ApplyQtTranslation(set.code);
    core::ApplyCaptionCells(ws_, set);
    sg->setColumnWidth(0, 110);
    pom->setColumnWidth(0, kProductLabelWidth);
    for (int c = 1; c < ws_.pom.ColCount(); ++c) pom->setColumnWidth(c, kProductWidth);
    sgRozmery->setColumnWidth(0, sg->columnWidth(0));
    sgRozmery->setColumnWidth(1, kDimensionValueWidth);
    ShowWorkspace();
    UpdateTitle();
}

void TForm1::ApplyQtTranslation(std::string_view code) {
    // Qt's own dialogs, buttons and editing menus speak the interface language too.
    if (qtTranslatorInstalled_) {
        QCoreApplication::removeTranslator(&qtTranslator_);
        qtTranslatorInstalled_ = false;
    }
    if (code == "cz" &&
        qtTranslator_.load("qtbase_cs", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        qtTranslatorInstalled_ = QCoreApplication::installTranslator(&qtTranslator_);
    }
}

void TForm1::ShowWorkspace() {
    for (StringGrid* g : {sgImput, sgImput2, sgImput3, sg, sgRozmery, pom}) g->Refresh();
    ShowResults();
}

void TForm1::ShowGaps(const CalculationGaps& gaps) {
    gaps_ = gaps;
    ShowResults();
}

void TForm1::ResultIsStale() {
    ClearResult(ws_);
    gaps_.reset();
    ShowResults();
    // The marks follow the landmark table as it stands.
    for (StringGrid* g : {sgImput, sgImput2, sgImput3}) g->viewport()->update();
}

void TForm1::ShowResults() {
    std::vector<std::string> sentences = gaps_ && ws_.resultCurrent
                                             ? core::GapsSentences(*gaps_, ws_.lang)
                                             : std::vector<std::string>{};
    // The reference model's warnings: measurements far from both sexes' means.
    for (std::string& warning : core::EvidenceWarnings(ws_, ws_.lang))
        sentences.push_back(std::move(warning));
    // What a landmark file's load did: format, coordinate system, unit; the mapping of its
    // labels is in the tooltip.
    if (!loadNotes_.empty()) sentences.push_back(loadNotes_);
    // Two lines fit: what does not is run into the second and cut there; the tooltip has it
    // all.
    QStringList lines;
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        if (i < 2) {
            lines << Q(sentences[i]);
        } else {
            lines.back() += " " + Q(sentences[i]);
        }
    }
    for (QString& line : lines)
        line = GapsLabel->fontMetrics().elidedText(line, Qt::ElideRight, GapsLabel->width());
    QStringList whole;
    for (const std::string& sentence : sentences) whole << Q(sentence);
    if (!loadMapping_.empty()) whole << "\n" + Q(loadMapping_);
    GapsLabel->setToolTip(whole.join(' '));
    GapsLabel->setText(lines.join('\n'));
    GapsLabel->setVisible(!sentences.empty());
    for (std::size_t i = 0; i < kEquationCount; ++i) {
        const int k = static_cast<int>(i) + 1;
        result_[i]->setText(QString::fromStdString(ws_.result[i].text));
        SetTextColor(result_[i], ws_.result[i].color);
        const bool refit = ws_.evidence && ws_.resultCurrent && ws_.evidence->equations[i].refit;
        QFont font = result_[i]->font();
        font.setItalic(refit);
        result_[i]->setFont(font);
        result_[i]->setToolTip(Q(core::EquationEvidenceText(ws_, k, ws_.lang)));
        const QString line = Q(core::EquationEvidenceLine(ws_, k, ws_.lang));
        evidence_[i]->setText(line);
        evidence_[i]->setToolTip(result_[i]->toolTip());
        evidence_[i]->setVisible(!line.isEmpty());
        const QSignalBlocker quiet(cb_[i]);
        cb_[i]->setChecked(ws_.cb[i]);
    }
    Label1->setText(QString::fromStdString(ws_.Label1.text));
    SetTextColor(Label1, ws_.Label1.color);
    VoteLabel->setText(Q(core::VoteSummary(ws_)));
}

void TForm1::Run(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        ShowWorkspace();
        ShowMessage(Q(core::Explain(std::current_exception(), ws_.lang)));
        return;
    }
    ShowWorkspace();
}

void TForm1::ShowMessage(const QString& text, bool information) {
    if (messageSink_) {
        messageSink_(text);
        return;
    }
    QMessageBox box(information ? QMessageBox::Information : QMessageBox::Critical, "MORVIK", text,
                    QMessageBox::Ok, this);
    box.exec();
}

bool TForm1::AskFileName(DialogKind kind, QString* name) {
    if (!nextFileNames_.empty()) {
        const bool confirmed = nextFileNames_.front().has_value();
        if (confirmed) *name = *nextFileNames_.front();
        nextFileNames_.pop_front();
        return confirmed;
    }
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(kind);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
    *name = dialog->selectedFiles().first();
    return true;
}

std::unique_ptr<QFileDialog> TForm1::MakeFileDialog(DialogKind kind) {
    auto dialog = std::make_unique<QFileDialog>(this);
    dialog->setNameFilter(QtFilter(kind == DialogKind::Open ? openFilter_ : saveFilter_));
    const QString lastFolder = WindowState()->value("lastFolder").toString();
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir()) dialog->setDirectory(lastFolder);
    if (kind == DialogKind::Open) {
        // A name that does not exist is accepted; the load reports it.
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix("txt");
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        // The report of a skull is named after the file it came from, beside it.
        if (const QString suggested = SuggestedReportPath(); !suggested.isEmpty()) {
            dialog->setDirectory(QFileInfo(suggested).absolutePath());
            dialog->selectFile(QFileInfo(suggested).fileName());
        }
    }
    return dialog;
}

StringGrid* TForm1::FocusedInputGrid() const {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery}) {
            if (w == g) return g;
        }
    }
    return nullptr;
}

void TForm1::Button1Click() {
    QString name;
    std::optional<QString> chosen;
    if (AskFileName(DialogKind::Open, &name)) chosen = name;
    LoadFrom(chosen);
}

void TForm1::OpenFile(const QString& path) { LoadFrom(path); }

void TForm1::LoadFrom(const std::optional<QString>& name) {
    // What stood before is kept for undo only when the load changed something.
    core::History::State before = core::History::Snapshot(ws_, SourceTag());
    bool loaded = false;
    Run([this, &name, &loaded] {
        std::optional<std::string> path;
        if (name) {
            lastFileName_ = *name;
            path = name->toStdString();
        }
        loadNotes_.clear();
        loadMapping_.clear();
        if (path && core::IsLandmarkFile(*path)) {
            LoadLandmarks(*path);
            loaded = true;
            return;
        }
        core::LoadMeasurementFile(ws_, path, [this, &name](Workspace& ws, const std::string& file) {
            const std::unique_ptr<core::WorkbookCells> cells =
                core::FindLoader(file)->openWorkbook(file, session_.reader);
            int sheet = 0;
            const std::vector<int> withData = core::SheetsWithLandmarks(*cells);
            if (!withData.empty() && withData.front() != 0) {
                std::vector<std::string> names;
                for (int i = 0; i < cells->SheetCount(); ++i) names.push_back(cells->SheetName(i));
                sheet = ChooseSheet(QFileInfo(*name).fileName(), names, withData);
            }
            core::ImportWorkbookCells(ws, *cells, sheet);
        });
        loaded = path.has_value();
    });
    if (name && QFileInfo(*name).isFile()) {
        WindowState()->setValue("lastFolder", QFileInfo(*name).absolutePath());
        RememberRecent(QFileInfo(*name).absoluteFilePath());
    }
    if (!loaded) return;
    history_.Push(std::move(before));
    sourceFile_ = QFileInfo(*name).absoluteFilePath();
    edit_ = Edit::None;
    gaps_.reset();
    ShowWorkspace();
    UpdateTitle();
}

void TForm1::LoadLandmarks(const std::string& path) {
    // A file of several specimens holds several skulls: the user says which one.
    const std::vector<std::string> specimens = core::LandmarkFileSpecimens(path);
    int index = 0;
    if (specimens.size() > 1) {
        QStringList items;
        for (std::size_t i = 0; i < specimens.size(); ++i) {
            items << (specimens[i].empty() ? QString("#%1").arg(i + 1) : Q(specimens[i]));
        }
        index = ChooseSpecimen(QFileInfo(Q(path)).fileName(), items);
    }
    ClearResult(ws_);
    const core::LandmarkLoadReport report = core::LoadLandmarkFile(ws_, path, index);
    core::ConvertDecimalPoints(ws_);
    loadNotes_ = core::LandmarkLoadNotes(report, ws_.lang);
    loadMapping_ = core::LandmarkMappingText(report, ws_.lang);
}

int TForm1::ChooseSpecimen(const QString& file, const QStringList& specimens) {
    if (!nextSheetAnswers_.empty()) {
        const std::optional<int> answer = nextSheetAnswers_.front();
        nextSheetAnswers_.pop_front();
        return answer.value_or(0);
    }
    const core::WindowWords& words = core::WindowWordsFor(ws_.lang);
    bool ok = false;
    const QString picked =
        QInputDialog::getItem(this, Q(words.specimenTitle),
                              Format(words.specimenMany, {file, QString::number(specimens.size())}),
                              specimens, 0, false, &ok);
    return ok ? std::max<qsizetype>(0, specimens.indexOf(picked)) : 0;
}

int TForm1::ChooseSheet(const QString& file, const std::vector<std::string>& names,
                        const std::vector<int>& withData) {
    if (!nextSheetAnswers_.empty()) {
        const std::optional<int> answer = nextSheetAnswers_.front();
        nextSheetAnswers_.pop_front();
        return answer.value_or(0);
    }
    const core::WindowWords& words = core::WindowWordsFor(ws_.lang);
    const auto name = [&](int sheet) { return Q(names.at(static_cast<std::size_t>(sheet))); };
    if (withData.size() == 1) {
        const QString text = Format(words.sheetOne, {file, name(withData.front())});
        const auto answer = QMessageBox::question(this, Q(words.sheetTitle), text,
                                                  QMessageBox::Yes | QMessageBox::No);
        return answer == QMessageBox::Yes ? withData.front() : 0;
    }
    QStringList items;
    for (int sheet : withData) items << name(sheet);
    bool ok = false;
    const QString picked = QInputDialog::getItem(
        this, Q(words.sheetTitle), Format(words.sheetMany, {file}), items, 0, false, &ok);
    if (!ok) return 0;
    return withData.at(static_cast<std::size_t>(items.indexOf(picked)));
}

void TForm1::Remember() { history_.Record(ws_, SourceTag()); }

std::string TForm1::SourceTag() const {
    return static_cast<char>(edit_) + sourceFile_.toStdString();
}

void TForm1::SetSourceTag(const std::string& tag) {
    if (tag.empty()) return;
    edit_ = static_cast<Edit>(tag.front());
    sourceFile_ = QString::fromStdString(tag.substr(1));
}

QString TForm1::SourceText() const {
    const core::WindowWords& words = core::WindowWordsFor(ws_.lang);
    const QString edited = edit_ == Edit::Pasted  ? Q(words.pasted)
                           : edit_ == Edit::Typed ? Q(words.typed)
                                                  : QString();
    if (sourceFile_.isEmpty()) return edited;
    const QString file = QFileInfo(sourceFile_).fileName();
    return edited.isEmpty() ? file : file + " (" + edited + ")";
}

QString TForm1::SuggestedReportPath() const {
    if (sourceFile_.isEmpty()) return {};
    const QFileInfo source(sourceFile_);
    const QString stem = source.completeBaseName();
    // The name offered never names a file that exists: skull.xls often has its landmarks
    // beside it as skull.txt, which the export would overwrite without a question.
    const QString report = ws_.lang == "cz" ? QStringLiteral("výsledek") : QStringLiteral("report");
    QString name = stem + ".txt";
    for (int n = 1; QFileInfo::exists(source.dir().filePath(name)); ++n) {
        name = stem + " (" + report + (n > 1 ? QString(" %1").arg(n) : QString()) + ").txt";
    }
    return source.dir().filePath(name);
}

void TForm1::UpdateTitle() {
    const bool unsaved = savedCoefficients_.Differs(ws_);
    const QString source = SourceText();
    setWindowTitle((unsaved ? "*" : "") + (source.isEmpty() ? QString() : source + " – ") +
                   "MORVIK");
    // The set whose coefficients are not saved carries the same mark in the list.
    if (const core::CaptionSet* set = core::FindCaptionSet(ws_.lang)) {
        for (int i = 0; i < ComboBox1->count(); ++i) {
            const QString name = Q(set->setNames.at(static_cast<std::size_t>(i)));
            ComboBox1->setItemText(i, unsaved && i == setIndex_ ? name + " *" : name);
        }
    }
    undoAction_->setEnabled(history_.CanUndo());
    redoAction_->setEnabled(history_.CanRedo());
}

void TForm1::Undo() {
    for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery}) g->FinishEditing();
    if (!history_.CanUndo()) return;
    SetSourceTag(history_.Undo(ws_, SourceTag()));
    gaps_.reset();
    ShowWorkspace();
    UpdateTitle();
}

void TForm1::Redo() {
    if (!history_.CanRedo()) return;
    SetSourceTag(history_.Redo(ws_, SourceTag()));
    gaps_.reset();
    ShowWorkspace();
    UpdateTitle();
}

QStringList TForm1::RecentFiles() const {
    return WindowState()->value("recentFiles").toStringList();
}

void TForm1::RememberRecent(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles) files.removeLast();
    WindowState()->setValue("recentFiles", files);
}

void TForm1::FillRecentMenu() {
    const core::WindowWords& words = core::WindowWordsFor(ws_.lang);
    RecentMenu->clear();
    const QStringList files = RecentFiles();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QAction* item =
            RecentMenu->addAction(QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()),
                                  this, [this, path] { OpenFile(path); });
        item->setToolTip(QDir::toNativeSeparators(path));
        item->setStatusTip(QDir::toNativeSeparators(path));
    }
    if (files.isEmpty()) RecentMenu->addAction(Q(words.noRecentFiles))->setEnabled(false);
    RecentMenu->addSeparator();
    QAction* clear = RecentMenu->addAction(Q(words.clearRecent), this,
                                           [] { WindowState()->remove("recentFiles"); });
    clear->setEnabled(!files.isEmpty());
}

void TForm1::CalculateCommand() {
    for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery}) g->FinishEditing();
    // On the dimensions page the dimensions typed there are what the user means.
    if (PageControl1->currentWidget() == tabSheets_[4]) {
        Button5Click();
    } else {
        Button2Click();
    }
}

void TForm1::ShowHelpPage() { ShowHelp(this, ws_.lang); }

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // The drop's own event loop must end before a message box may open.
    QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
}

void TForm1::Button2Click() {
    Run([this] {
        gaps_.reset();
        ShowGaps(morvik::Calculate(ws_));
    });
}

void TForm1::Button3Click() {
    Run([this] {
        // Said before the dialog: there is no file to choose for a report that cannot be made.
        core::RequireCurrentResult(ws_);
        QString name;
        if (!AskFileName(DialogKind::Save, &name)) return;
        core::ExportCommand(ws_, setIndex_, core::WithDefaultExtension(name.toStdString(), "txt"));
    });
}

void TForm1::ReportPdfClick() {
    Run([this] {
        // As Export: said before the dialog, and the name offered from the source file.
        core::RequireCurrentResult(ws_);
        QString name;
        if (!nextFileNames_.empty()) {
            if (!AskFileName(DialogKind::Save, &name)) return;
        } else {
            const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(DialogKind::Save);
            dialog->setNameFilter("PDF (*.pdf)");
            dialog->setDefaultSuffix("pdf");
            // Unlike the text report's name, a PDF's may exist: ask before replacing it.
            dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
            if (const QString suggested = SuggestedReportPath(); !suggested.isEmpty())
                dialog->selectFile(
                    QFileInfo(Q(core::CaseReportFileName(suggested.toStdString()))).fileName());
            if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
            name = dialog->selectedFiles().first();
        }
        core::CaseReportInput input;
        input.setIndex = setIndex_;
        input.lang = ws_.lang;
        if (gaps_) input.gaps = *gaps_;
        if (!sourceFile_.isEmpty()) input.source.files = {sourceFile_.toStdString()};
        input.source.pasted = edit_ == Edit::Pasted;
        input.source.typed = edit_ == Edit::Typed;
        input.settingsPath = QFileInfo(settingsPath()).absoluteFilePath().toStdString();
        input.time = core::ReportTime();
        core::WriteCaseReport(ws_, input, core::WithDefaultExtension(name.toStdString(), "pdf"));
    });
}

void TForm1::Button4Click() { close(); }

void TForm1::Button5Click() {
    Run([this] {
        gaps_.reset();
        ShowGaps(morvik::CalculateFromDimensions(ws_));
    });
}

void TForm1::ComboBox1Change(int index) {
    if (!ConfirmCoefficients()) {
        ComboBox1->setCurrentIndex(setIndex_);
        return;
    }
    std::vector<core::Notice> notices;
    Run([this, index, &notices] {
        const core::IniFile ini(settingsPath().toStdString());
        ResultIsStale();
        core::LoadEquationSet(ws_, ini, index);
        setIndex_ = index;
        savedCoefficients_.Take(ws_);
        notices = core::SettingsNotices(ini, index, false, ws_.lang);
        for (core::Notice& notice : core::UseSetModel(ws_, ini, index))
            notices.push_back(std::move(notice));
    });
    UpdateTitle();
    for (const core::Notice& notice : notices) ShowMessage(Q(notice.text), notice.information);
}

bool TForm1::ConfirmCoefficients() {
    sg->FinishEditing();
    if (!savedCoefficients_.Differs(ws_)) return true;
    switch (AskSaveCoefficients()) {
        case SaveAnswer::Save: {
            bool saved = false;
            Run([this, &saved] {
                SaveCoefficients(setIndex_);
                saved = true;
            });
            return saved;
        }
        case SaveAnswer::Discard:
            return true;
        case SaveAnswer::Cancel:
            break;
    }
    return false;
}

TForm1::SaveAnswer TForm1::AskSaveCoefficients() {
    if (!nextSaveAnswers_.empty()) {
        const SaveAnswer answer = nextSaveAnswers_.front();
        nextSaveAnswers_.pop_front();
        return answer;
    }
    const core::CaptionSet* names = core::FindCaptionSet(ws_.lang);
    const QString text = Q(core::MessageText(
        core::Msg::AskSaveCoefficients, ws_.lang,
        {std::string(names ? names->setNames.at(static_cast<std::size_t>(setIndex_))
                           : core::SetSection(setIndex_))}));
    QMessageBox box(QMessageBox::Question, "MORVIK", text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save:
            return SaveAnswer::Save;
        case QMessageBox::Discard:
            return SaveAnswer::Discard;
        default:
            return SaveAnswer::Cancel;
    }
}

void TForm1::SaveCoefficients(int setIndex) {
    sg->FinishEditing();
    // The whole set is one synced replacement of the file.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    core::IniFile ini(settingsPath().toStdString());
    core::SaveEquationSet(ws_, ini, setIndex);
    savedCoefficients_.Take(ws_);
    sg->SetEditable(false);
    UpdateTitle();
}

void TForm1::ComboBox2Change(int index) {
    Run([this, index] {
        if (index == 0) ws_.lang = "cz";
        if (index == 1) ws_.lang = "en";
        if (const core::CaptionSet* set = core::FindCaptionSet(ws_.lang)) ApplyCaptionSet(*set);
    });
}

void TForm1::Editovat1Click() {
    Run([this] { sg->SetEditable(true); });
}

void TForm1::Uloit1Click() {
    Run([this] { SaveCoefficients(setIndex_); });
}

void TForm1::Vloit1Click() {
    Run([this] {
        StringGrid* grid = FocusedInputGrid();
        if (!grid) return;
        Remember();
        edit_ = Edit::Pasted;
        const QPoint anchor = grid->Anchor();
        core::PasteCommand(ws_, grid->Table(), anchor.x(), anchor.y(),
                           QGuiApplication::clipboard()->text().toStdString());
    });
    UpdateTitle();
}

void TForm1::Vymazattabulku1Click() {
    Run([this] {
        if (StringGrid* grid = FocusedInputGrid()) {
            Remember();
            edit_ = Edit::Typed;
            core::ClearCommand(ws_, grid->Table(), grid->FixedCols(), grid->FixedRows());
        }
    });
    UpdateTitle();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!ConfirmCoefficients()) {
        event->ignore();
        return;
    }
    FormClose();
    SaveWindowState();
    event->accept();  // the window closes even when the language could not be saved
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // A box opened from within the first show would run before the window is drawn.
    QTimer::singleShot(0, this, [this] {
        // What is only information (a UTF-8 settings file) is said once for each file, not
        // at every start; what needs doing is said until it is done.
        const auto state = WindowState();
        QStringList informed = state->value("informedAbout").toStringList();
        for (const core::Notice& notice : startNotices_) {
            const QString key = settingsPath() + '|' + Q(notice.text);
            if (notice.information && informed.contains(key)) continue;
            ShowMessage(Q(notice.text), notice.information);
            if (notice.information) informed << key;
        }
        state->setValue("informedAbout", informed);
        startNotices_.clear();
    });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Enter presses the focused button, as Space does.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::FormClose() {
    Run([this] {
        core::IniFile ini(settingsPath().toStdString());
        core::WriteLanguage(ini, ws_.lang);
    });
}

}  // namespace morvik::app
