// The window's controls, each placed from its rectangle at the design size and how it
// follows a resize; the keys; the window's place kept between runs.
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
#include "WindowKit.h"
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
#include "fMain.h"

namespace morvik::app {

using namespace kit;

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
    ShowGapsLine();  // cut to the label's width
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
        g->Model()->SetBeforeEdit([this, g] { Remember(&g->Table()); });
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

}  // namespace morvik::app
