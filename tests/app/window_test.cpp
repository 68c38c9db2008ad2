#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "app/fMain.h"
#include "core/EquationSets.h"
#include "core/Export.h"
#include "core/Loaders.h"
#include "tests/core/TempDir.h"
#include "tests/ooxml/package_builder.h"
#include "tests/tools/RunProgram.h"

// Failures show a QString's text rather than its bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace morvik::app {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// A window on its own program folder, with failures collected instead of shown.
class WindowTest : public ::testing::Test {
  protected:
    void Start(const std::string& settings = {}) {
        // The window keeps its place and recent files between runs: each test starts afresh.
        QFile::remove(
            QSettings(QSettings::IniFormat, QSettings::UserScope, "morvik", "window").fileName());
        if (!settings.empty()) WriteBytes(dir_.File("Settings.ini"), settings);
        form_ = std::make_unique<TForm1>(QString::fromStdString(dir_.Path().string()));
        form_->setMessageSink([this](const QString& text) { messages_ << text; });
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QCoreApplication::processEvents();  // the start notices follow the first show
    }

    template <class T>
    T* Find(const char* name) const {
        T* found = form_->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString Text(const char* label) const { return Find<QLabel>(label)->text(); }
    QColor Color(const char* label) const {
        return Find<QLabel>(label)->palette().color(QPalette::WindowText);
    }
    QString Cell(const char* grid, int col, int row) const {
        auto* g = Find<StringGrid>(grid);
        return g->model()->index(row, col).data().toString();
    }
    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
    void Select(const char* grid, int left, int top, int right, int bottom) {
        auto* g = Find<StringGrid>(grid);
        g->setFocus();
        g->selectionModel()->select(
            QItemSelection(g->model()->index(top, left), g->model()->index(bottom, right)),
            QItemSelectionModel::ClearAndSelect);
    }
    void Edit(const char* grid, int col, int row, const QString& text) {
        auto* g = Find<StringGrid>(grid);
        EXPECT_TRUE(g->model()->setData(g->model()->index(row, col), text, Qt::EditRole)) << grid;
    }
    QStringList Results() const {
        QStringList texts;
        for (const char* name :
             {"Result1", "Result2", "Result3", "Result4", "Result5", "Result6", "Result7"})
            texts << Text(name);
        return texts;
    }
    void Pick(const char* combo, int index) {
        auto* box = Find<QComboBox>(combo);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    TempDir dir_;
    std::unique_ptr<TForm1> form_;
    QStringList messages_;
};

// Two equations on G-OP: column 1 scores +50, column 2 scores -50.
constexpr const char* kTwoEquations =
    "[Global]\r\nLang=cz\r\n[Univerz\xE1ln\xED]\r\nsg_1_1=1\r\nsg_1_18=-100\r\n"
    "sg_2_1=-1\r\nsg_2_18=100.5\r\n";

TEST_F(WindowTest, OpensWithItsLayoutTheUniversalSetAndCzechCaptions) {
    Start(kTwoEquations);
    EXPECT_EQ(form_->windowTitle(), "MORVIK");
    EXPECT_EQ(form_->size(), QSize(610, 621));
    EXPECT_EQ(Find<QWidget>("sg")->geometry(), QRect(8, 8, 569, 393));
    EXPECT_EQ(Find<QWidget>("cb5")->geometry(), QRect(352, 479, 71, 17));
    EXPECT_EQ(Find<QWidget>("Result7")->geometry(), QRect(496, 514, 65, 22));
    EXPECT_EQ(Find<QWidget>("Button4")->mapTo(form_.get(), QPoint(0, 0)), QPoint(528, 589));
    EXPECT_EQ(Find<QPushButton>("Button1")->text(), "Načíst soubor");
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "Univerzální");
    EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentText(), "cz");
    auto* pages = Find<QTabWidget>("PageControl1");
    EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet2");
    EXPECT_EQ(pages->tabText(2), "Rozměry");
    EXPECT_EQ(Cell("sg", 0, 0), "Typ rovnice");
    EXPECT_EQ(Cell("sg", 2, 18), "100,5");  // first point becomes a comma at start
    EXPECT_EQ(Cell("sgImput", 0, 1), "Glabela");
    EXPECT_EQ(Cell("sgImput2", 1, 0), "Y");
    EXPECT_EQ(Find<StringGrid>("sgImput")->columnWidth(0), 118);
    EXPECT_EQ(Find<StringGrid>("pom")->columnWidth(0), 96);
    EXPECT_EQ(Find<StringGrid>("sgImput2")->rowHeight(5), 16);
    EXPECT_EQ(Text("Label1"), "Muž / Žena");
    EXPECT_EQ(Text("Result3"), "...");
    EXPECT_TRUE(messages_.isEmpty());
}

// At the design size, at the smallest and at a large size: every control the user works lies
// whole inside its parent and the window, and none covers another.
TEST_F(WindowTest, ControlsFitAndNeverCoverEachOther) {
    Start(kTwoEquations);
    auto* pages = Find<QTabWidget>("PageControl1");
    const QSize design = form_->size();
    for (const QSize size : {design, form_->minimumSize(), design * 1.5}) {
        form_->resize(size);
        QCoreApplication::processEvents();
        std::map<QWidget*, std::vector<QWidget*>> byParent;
        for (QWidget* w : form_->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<StringGrid*>(w) || qobject_cast<QTabWidget*>(w);
            if (!control || w->objectName().isEmpty() || w->objectName().startsWith("qt_") ||
                !w->isVisibleTo(w->parentWidget()) ||
                (!w->parentWidget()->isVisibleTo(form_.get()) && !pages->isAncestorOf(w)))
                continue;
            byParent[w->parentWidget()].push_back(w);
            // A page not shown takes its size only when shown: it will have the current one's.
            const bool onPage = w->parentWidget()->parentWidget() &&
                                pages->isAncestorOf(w->parentWidget()) &&
                                w->parentWidget() != pages;
            const QRect room = onPage ? pages->currentWidget()->rect() : w->parentWidget()->rect();
            EXPECT_TRUE(room.contains(w->geometry()))
                << w->objectName().toStdString() << " at " << size.width() << "x" << size.height();
        }
        for (const auto& [parent, children] : byParent) {
            for (std::size_t a = 0; a < children.size(); ++a)
                for (std::size_t b = a + 1; b < children.size(); ++b)
                    EXPECT_FALSE(children[a]->geometry().intersects(children[b]->geometry()))
                        << children[a]->objectName().toStdString() << " and "
                        << children[b]->objectName().toStdString() << " at " << size.width() << "x"
                        << size.height();
        }
    }
    form_->resize(design);
    QCoreApplication::processEvents();

    struct Grid {
        const char* name;
        int cols, rows, fixedCols, fixedRows, fontPixels;
        std::vector<int> widths;  // from column 0
        int rowHeight;
        bool editable;
    };
    const Grid grids[] = {
        {"sgImput", 5, 23, 2, 1, 9, {118, 56, 56, 56, 56}, 16, true},
        {"sgImput2", 3, 1000, 0, 1, 9, {56, 56, 56}, 16, true},
        {"sgImput3", 3, 1000, 0, 1, 9, {56, 56, 56}, 16, true},
        {"sg", 8, 19, 1, 1, 11, {110, 64, 64, 64, 64, 64, 64, 64}, 19, false},
        {"sgRozmery", 2, 18, 1, 1, 11, {110, 76}, 19, true},
        {"pom", 8, 18, 1, 1, 11, {96, 67, 67, 67, 67, 67, 67, 67}, 19, false},
    };
    for (const Grid& g : grids) {
        auto* grid = Find<StringGrid>(g.name);
        EXPECT_EQ(grid->model()->columnCount(), g.cols) << g.name;
        EXPECT_EQ(grid->model()->rowCount(), g.rows) << g.name;
        EXPECT_EQ(grid->FixedCols(), g.fixedCols) << g.name;
        EXPECT_EQ(grid->FixedRows(), g.fixedRows) << g.name;
        EXPECT_EQ(grid->font().pixelSize(), g.fontPixels) << g.name;
        for (std::size_t c = 0; c < g.widths.size(); ++c) {
            EXPECT_EQ(grid->columnWidth(static_cast<int>(c)), g.widths[c]) << g.name << c;
        }
        EXPECT_EQ(grid->rowHeight(g.rows - 1), g.rowHeight) << g.name;
        const QModelIndex data = grid->model()->index(g.rows - 1, g.cols - 1);
        EXPECT_EQ(bool(grid->model()->flags(data) & Qt::ItemIsEditable), g.editable) << g.name;
        EXPECT_EQ(grid->selectionMode(), QAbstractItemView::ContiguousSelection) << g.name;
    }
    EXPECT_EQ(Find<QLabel>("Result1")->font().pixelSize(), 19);
    EXPECT_EQ(Find<QLabel>("Label1")->font().pixelSize(), 27);
    EXPECT_TRUE(Find<QLabel>("Label1")->font().bold());
    EXPECT_TRUE(Find<QLabel>("Label2")->font().bold());
    EXPECT_EQ(Find<QLabel>("Label6")->text(), "ver.: 1.5.2");
    // Installed, the settings are not beside the program: the About page says where they are.
    EXPECT_TRUE(Find<QLabel>("SettingsFile")
                    ->text()
                    .endsWith(QDir::toNativeSeparators(form_->settingsPath())));
    EXPECT_FALSE(Find<QComboBox>("ComboBox1")->isEditable());
    EXPECT_EQ(Find<QAction>("Vloit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_TRUE(Find<QAction>("Vymazattabulku1")->shortcut().isEmpty());
}

// The dialogs take their filters from the language; only the save dialog adds an extension.
TEST_F(WindowTest, FileDialogsFollowTheLanguage) {
    Start(kTwoEquations);
    struct Case {
        int lang;
        TForm1::DialogKind kind;
        QStringList filters;
        QString suffix;
    };
    const Case cases[] = {
        {0,
         TForm1::DialogKind::Open,
         {"Všechny podporované soubory (*.xls *.xlsx *.xlsm *.ods *.txt *.csv *.mrk.json *.fcsv "
          "*.pp *.ckpt *.pts *.dta *.tps)",
          "Sešity Excel a OpenDocument (*.xls *.xlsx *.xlsm *.ods)",
          "Textové soubory (*.txt *.csv)",
          "Soubory bodů z digitalizačních programů (*.mrk.json *.fcsv *.pp *.ckpt *.pts *.dta "
          "*.tps *.txt)",
          "Všechny soubory (*)"},
         ""},
        {0, TForm1::DialogKind::Save, {"Textové soubory (*.txt)", "Všechny soubory (*)"}, "txt"},
        {1,
         TForm1::DialogKind::Open,
         {"All supported files (*.xls *.xlsx *.xlsm *.ods *.txt *.csv *.mrk.json *.fcsv *.pp "
          "*.ckpt *.pts *.dta *.tps)",
          "Excel and OpenDocument workbooks (*.xls *.xlsx *.xlsm *.ods)",
          "Text files (*.txt *.csv)",
          "Landmark files of digitizing programs (*.mrk.json *.fcsv *.pp *.ckpt *.pts *.dta "
          "*.tps *.txt)",
          "All files (*)"},
         ""},
        {1, TForm1::DialogKind::Save, {"Text files (*.txt)", "All files (*)"}, "txt"},
    };
    for (const Case& c : cases) {
        Pick("ComboBox2", c.lang);
        const auto dialog = form_->MakeFileDialog(c.kind);
        EXPECT_EQ(dialog->nameFilters(), c.filters) << c.filters.join(";").toStdString();
        EXPECT_EQ(dialog->selectedNameFilter(), c.filters.first());
        EXPECT_EQ(dialog->defaultSuffix(), c.suffix);
        if (c.kind == TForm1::DialogKind::Save) {
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        } else {
            EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);  // a missing name is reported
            // The filter the dialog opens with shows every file some loader reads.
            for (const core::Loader& loader : core::Loaders()) {
                EXPECT_TRUE(c.filters.first().contains(
                    " *" + QString::fromUtf8(loader.extension.data(),
                                             static_cast<qsizetype>(loader.extension.size()))))
                    << loader.extension;
            }
        }
    }
}

TEST_F(WindowTest, CalculateShowsScoresColoursAndVerdict) {
    Start(kTwoEquations);
    Workspace& ws = form_->workspace();
    // OP 150 mm behind G at the origin; an empty coordinate would be a missing landmark.
    for (int c = 2; c <= 4; ++c) {
        ws.sgImput.SetCell(c, 1, "0");
        ws.sgImput.SetCell(c, 21, c == 3 ? "150" : "0");
    }
    form_->ShowWorkspace();
    for (const char* cb : {"cb3", "cb4", "cb5", "cb6", "cb7"}) {
        QTest::mouseClick(Find<QWidget>(cb), Qt::LeftButton);
    }
    EXPECT_FALSE(ws.cb[2]);
    Click("Button2");
    EXPECT_EQ(Text("Result1"), "50");
    EXPECT_EQ(Color("Result1"), QColor(Qt::black));
    EXPECT_EQ(Text("Result2"), "-49,5");
    EXPECT_EQ(Color("Result2"), QColor(255, 0, 0));
    EXPECT_EQ(Text("Result3"), "...");
    EXPECT_EQ(Text("Label1"), "Muž/Žena");
    EXPECT_EQ(Cell("sgRozmery", 1, 1), "150");
    EXPECT_EQ(Cell("pom", 2, 1), "-150");

    QTest::mouseClick(Find<QWidget>("cb2"), Qt::LeftButton);
    ws.sgRozmery.SetCell(1, 1, "90");
    Click("Button5");
    EXPECT_EQ(Text("Result1"), "-10");
    EXPECT_EQ(Text("Result2"), "...");
    EXPECT_EQ(Text("Label1"), "Žena");
    EXPECT_EQ(Color("Label1"), QColor(255, 0, 0));
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(WindowTest, LanguageSwitchesAndComesBack) {
    Start(kTwoEquations);
    Pick("ComboBox1", 2);  // Coimbra: no section, the table empties
    EXPECT_EQ(Cell("sg", 1, 1), "");
    form_->workspace().Label1.text = "Muž";
    Pick("ComboBox2", 1);
    EXPECT_EQ(Find<QPushButton>("Button4")->text(), "End");
    EXPECT_EQ(Find<QAbstractButton>("cb1")->text(), "Equation 6");
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "Coimbra");
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->itemText(0), "Prague");
    EXPECT_EQ(Cell("sgImput", 0, 21), "opisthocranion");
    EXPECT_EQ(Cell("sgRozmery", 0, 16), "Orbital size dx");
    EXPECT_EQ(Cell("pom", 0, 0), "Equation type");
    EXPECT_EQ(Text("Label1"), "Male");
    EXPECT_TRUE(Text("Label4").startsWith("MORVIK computes"));
    Pick("ComboBox2", 0);
    EXPECT_EQ(Find<QPushButton>("Button4")->text(), "Konec");
    EXPECT_EQ(Cell("sgImput", 0, 21), "Opistokranion");
    EXPECT_EQ(Text("Label1"), "Muž");
    EXPECT_EQ(Find<QTabWidget>("PageControl1")->tabText(4), "O programu");
}

TEST_F(WindowTest, LanguageIsWrittenAtCloseAndAppliedAtTheNextStart) {
    Start(kTwoEquations);
    Pick("ComboBox2", 1);
    Click("Button4");
    EXPECT_FALSE(form_->isVisible());
    EXPECT_NE(ReadBytes(dir_.File("Settings.ini")).find("Lang=en\r\n"), std::string::npos);
    form_.reset();
    Start();
    EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentText(), "en");
    EXPECT_EQ(Find<QPushButton>("Button2")->text(), "Calculate");
}

TEST_F(WindowTest, UnknownLanguageKeepsBuiltInCaptionsAndIsWrittenBack) {
    Start("[Global]\r\nLang=EN\r\n");
    EXPECT_EQ(Find<QPushButton>("Button1")->text(), "Načíst soubor");
    EXPECT_EQ(Cell("sgImput", 0, 1), "");
    EXPECT_EQ(Cell("sg", 0, 1), "");
    EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentText(), "cz");
    form_->close();
    EXPECT_EQ(ReadBytes(dir_.File("Settings.ini")), "[Global]\r\nLang=EN\r\n");
}

TEST_F(WindowTest, AFailingCommandShowsOneMessageAndTheWindowGoesOn) {
    Start(kTwoEquations);
    form_->setNextFileName(QString::fromStdString(dir_.File("missing.txt")));
    Click("Button1");
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Soubor „missing.txt“ nelze načíst: neexistuje.");

    for (int c = 2; c <= 4; ++c) {
        form_->workspace().sgImput.SetCell(c, 1, "0");
        form_->workspace().sgImput.SetCell(c, 21, "0");
    }
    form_->workspace().sg.SetCell(1, 18, "abc");
    Click("Button2");
    ASSERT_EQ(messages_.size(), 2);
    EXPECT_EQ(messages_[1], "Nelze přečíst konstantu rovnice 6 („abc“ není platné číslo).");

    form_->workspace().sg.SetCell(1, 18, "1");
    Click("Button2");
    EXPECT_EQ(messages_.size(), 2);
    EXPECT_EQ(Text("Result1"), "1");
}

TEST_F(WindowTest, SaveIntoAnUnwritableFolderReportsThePathAndKeepsEditing) {
    WriteBytes(dir_.File("plain"), "x");
    form_ = std::make_unique<TForm1>(QString::fromStdString(dir_.File("plain")));
    form_->setMessageSink([this](const QString& text) { messages_ << text; });
    auto* sg = Find<StringGrid>("sg");
    EXPECT_FALSE(sg->model()->flags(sg->model()->index(1, 1)) & Qt::ItemIsEditable);
    Find<QAction>("Editovat1")->trigger();
    EXPECT_TRUE(sg->model()->flags(sg->model()->index(1, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(sg->model()->flags(sg->model()->index(0, 1)) & Qt::ItemIsEditable);
    Find<QAction>("Uloit1")->trigger();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Do souboru nastavení nelze zapisovat (Unable to write to " +
                                QString::fromStdString(dir_.File("plain") + "/Settings.ini") +
                                ").");
    EXPECT_TRUE(sg->model()->flags(sg->model()->index(1, 1)) & Qt::ItemIsEditable);
    form_->close();  // the language cannot be written either, yet the window closes
    EXPECT_EQ(messages_.size(), 2);
    EXPECT_FALSE(form_->isVisible());
}

TEST_F(WindowTest, EditedSetIsSavedUnderTheCzechSectionName) {
    Start(kTwoEquations);
    Pick("ComboBox2", 1);
    Pick("ComboBox1", 0);  // "Prague"
    Find<QAction>("Editovat1")->trigger();
    auto* sg = Find<StringGrid>("sg");
    sg->model()->setData(sg->model()->index(3, 4), "2,5", Qt::EditRole);
    Find<QAction>("Uloit1")->trigger();
    EXPECT_FALSE(sg->model()->flags(sg->model()->index(3, 4)) & Qt::ItemIsEditable);
    EXPECT_NE(ReadBytes(dir_.File("Settings.ini")).find("[Praha]\r\nsg_1_1=\r\n"),
              std::string::npos);
    EXPECT_NE(ReadBytes(dir_.File("Settings.ini")).find("sg_4_3=2,5\r\n"), std::string::npos);
}

TEST_F(WindowTest, LoadPasteClearAndExportThroughTheWindow) {
    Start(kTwoEquations);
    WriteBytes(dir_.File("skull.txt"), "1.5\t2\t3\r\n");
    form_->setNextFileName(QString::fromStdString(dir_.File("skull.txt")));
    Click("Button1");
    EXPECT_EQ(Cell("sgImput", 2, 1), "1,5");

    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    auto* cloud = Find<StringGrid>("sgImput2");
    cloud->setFocus();
    ASSERT_TRUE(cloud->hasFocus());
    cloud->setCurrentIndex(cloud->model()->index(3, 1));
    QGuiApplication::clipboard()->setText("7\t8\n9\t10");
    Find<QAction>("Vloit1")->trigger();
    EXPECT_EQ(Cell("sgImput2", 1, 3), "7");
    EXPECT_EQ(Cell("sgImput2", 2, 4), "10");
    EXPECT_EQ(Cell("sgImput2", 0, 3), "");

    // Ctrl+V reaches the grid with the focus; the selection's top-left cell is the anchor.
    auto* dims = Find<StringGrid>("sgRozmery");
    Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
    dims->setFocus();
    dims->selectionModel()->select(
        QItemSelection(dims->model()->index(4, 1), dims->model()->index(6, 1)),
        QItemSelectionModel::ClearAndSelect);
    QGuiApplication::clipboard()->setText("12,5\t99\r\n13\r\n");
    QTest::keyClick(dims, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cell("sgRozmery", 1, 4), "12,5");
    EXPECT_EQ(Cell("sgRozmery", 1, 5), "13");
    // "99" has no column to go to: said, not dropped silently.
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Vkládaný text se do tabulky nevešel celý; nevložené hodnoty: 1.");
    messages_.clear();

    // With no input grid focused, paste and clearing do nothing.
    Find<QWidget>("ComboBox1")->setFocus();
    Find<QAction>("Vymazattabulku1")->trigger();
    EXPECT_EQ(Cell("sgRozmery", 1, 4), "12,5");

    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    cloud->setFocus();
    Find<QAction>("Vymazattabulku1")->trigger();
    EXPECT_EQ(Cell("sgImput2", 1, 3), "");
    EXPECT_EQ(Cell("sgImput2", 1, 0), "Y");
    EXPECT_EQ(Cell("sgImput", 2, 1), "1,5");  // other grids untouched

    // No result for the data shown: said before any dialog, nothing written.
    form_->setNextFileName(QString::fromStdString(dir_.File("report")));
    Click("Button3");
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0],
              "Není co exportovat: zobrazená data ještě nebyla spočítána, soubor nebyl zapsán.");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir_.File("report.txt"))));
    Click("Button2");
    Click("Button3");
    const std::string report = ReadBytes(dir_.File("report.txt"));
    EXPECT_EQ(report.rfind("Univerz\xE1ln\xED\r\n \r\nG-OP =  mm\r\n", 0), 0u);
    form_->setNextFileName(std::nullopt);  // cancelled: nothing written, no message
    Click("Button3");
    EXPECT_EQ(messages_.size(), 1) << messages_.join("\n").toStdString();
}

TEST_F(WindowTest, RightClickMenuClearsTheGridItWasOpenedOn) {
    Start(kTwoEquations);
    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    form_->workspace().sgImput.SetCell(2, 3, "5");
    form_->workspace().sgImput3.SetCell(1, 3, "6");
    form_->ShowWorkspace();
    Find<QWidget>("sgImput2")->setFocus();
    auto* grid = Find<StringGrid>("sgImput3");
    const QPoint cell = grid->visualRect(grid->model()->index(2, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, cell);
    emit grid->customContextMenuRequested(cell);
    auto* menu = Find<QMenu>("PopupMenu2");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(Find<QAction>("Vymazattabulku1")).center());
    EXPECT_EQ(Cell("sgImput3", 1, 3), "");
    EXPECT_EQ(Cell("sgImput", 2, 3), "5");
}

// Tab leaves a grid for the next control instead of walking its cells.
TEST_F(WindowTest, TabFollowsTheWindowsOrderAndLeavesGrids) {
    Start(kTwoEquations);
    auto* pages = Find<QTabWidget>("PageControl1");
    struct Step {
        int page;
        const char* from;
        const char* to;
    };
    const Step steps[] = {{0, "ComboBox1", "ComboBox2"}, {0, "sgImput", "sgImput2"},
                          {0, "sgImput2", "sgImput3"},   {0, "sgImput3", "cb1"},
                          {2, "sgRozmery", "Button5"},   {2, "Button5", "cb1"},
                          {0, "cb7", "Button1"},         {0, "Button3", "Button4"}};
    for (const Step& step : steps) {
        pages->setCurrentIndex(step.page);
        auto* from = Find<QWidget>(step.from);
        from->setFocus();
        ASSERT_TRUE(from->hasFocus()) << step.from;
        QTest::keyClick(from, Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), step.to) << step.from;
    }
}

TEST_F(WindowTest, LargeEuryonGridOpens) {
    Start(kTwoEquations);
    Workspace& ws = form_->workspace();
    ws.sgImput2.SetRowCount(65536);
    for (int r = 1; r <= 65535; ++r) ws.sgImput2.SetCell(1, r, "1");
    form_->ShowWorkspace();
    auto* cloud = Find<StringGrid>("sgImput2");
    EXPECT_EQ(cloud->model()->rowCount(), 65536);
    cloud->scrollToBottom();
    Click("Button2");
    EXPECT_TRUE(messages_.isEmpty());
}

// Renders every page in both languages, after the sample skull was computed, for a look at
// the layout.
TEST_F(WindowTest, RendersEveryPageToPng) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->setNextFileName(MORVIK_EXAMPLES_DIR "/skull.txt");
    Click("Button1");
    Click("Button2");
    EXPECT_EQ(Text("Label1"), "Muž");
    ASSERT_TRUE(messages_.isEmpty());
    const QString out = QStringLiteral(MORVIK_PNG_DIR);
    QDir().mkpath(out);
    auto* pages = Find<QTabWidget>("PageControl1");
    for (int lang : {0, 1}) {
        Pick("ComboBox2", lang);
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const QString name =
                QString("%1/window-%2-page%3.png").arg(out, lang == 0 ? "cz" : "en").arg(page + 1);
            EXPECT_TRUE(form_->grab().save(name)) << name.toStdString();
        }
    }
    // A scrolled euryon grid keeps its header row in view.
    Workspace& ws = form_->workspace();
    for (int r = 1; r < ws.sgImput2.RowCount(); ++r) ws.sgImput2.SetCell(0, r, std::to_string(r));
    form_->ShowWorkspace();
    pages->setCurrentIndex(0);
    Find<StringGrid>("sgImput2")->scrollTo(Find<StringGrid>("sgImput2")->model()->index(500, 0));
    EXPECT_TRUE(form_->grab().save(out + "/window-en-page1-scrolled.png"));
}

constexpr const char* kSampleSkull = MORVIK_EXAMPLES_DIR "/skull.xls";

// The sample skull without its right orbit (rows 12-15, emptied with Delete): the cells are
// marked, the equations on orbit dimensions show "..." and one line names what is missing;
// a complete skull shows none of it.
TEST_F(WindowTest, MissingRightOrbitIsMarkedNamedAndCastsNoVote) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->setNextFileName(kSampleSkull);
    Click("Button1");
    Click("Button2");
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    const QStringList complete = Results();
    EXPECT_FALSE(complete.contains("..."));
    EXPECT_FALSE(Find<QLabel>("GapsLabel")->isVisible());
    auto* landmarks = Find<StringGrid>("sgImput");
    EXPECT_FALSE(landmarks->model()->index(12, 2).data(Qt::BackgroundRole).isValid());

    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    Select("sgImput", 2, 12, 4, 15);
    QTest::keyClick(landmarks, Qt::Key_Delete);
    EXPECT_EQ(Cell("sgImput", 3, 13), "");
    EXPECT_EQ(Cell("sgImput", 0, 13), "Supraorbitalní bod dx");  // fixed cells stay
    EXPECT_EQ(Text("Label1"), "Muž / Žena");                     // the edit made it stale
    for (int row : {12, 15}) {
        EXPECT_EQ(landmarks->model()->index(row, 3).data(Qt::BackgroundRole).value<QColor>(),
                  QColor(255, 205, 205));
    }
    EXPECT_FALSE(landmarks->model()->index(11, 3).data(Qt::BackgroundRole).isValid());

    landmarks->clearSelection();
    Click("Button2");
    const QStringList results = Results();
    const Workspace& ws = form_->workspace();
    for (int i = 0; i < kEquationCount; ++i) {
        bool usesOrbit = false;
        for (int r : {9, 11, 13, 14, 15, 16}) usesOrbit |= !ws.sg.Cell(i + 1, r).empty();
        EXPECT_EQ(results[i], usesOrbit ? QString("...") : complete[i]) << i;
        if (usesOrbit) {
            EXPECT_EQ(Color(qPrintable(QString("Result%1").arg(i + 1))), Qt::black);
        }
    }
    EXPECT_EQ(Cell("sgRozmery", 1, 16), "");
    auto* gaps = Find<QLabel>("GapsLabel");
    EXPECT_TRUE(gaps->isVisible());
    EXPECT_EQ(gaps->toolTip().toStdString(),
              "Chybějící body: Ddx, SORdx, FMOdx, ZORdx. Vynechané rovnice: 7, 3, 2.");
    EXPECT_EQ(gaps->text(),
              "Chybějící body: Ddx, SORdx, FMOdx, ZORdx.\nVynechané rovnice: 7, 3, 2.");
    EXPECT_TRUE(messages_.isEmpty());  // in the window, not a box
    const QString out = QStringLiteral(MORVIK_PNG_DIR);
    QDir().mkpath(out);
    EXPECT_TRUE(form_->grab().save(out + "/missing-orbit.png"));
    Pick("ComboBox2", 1);
    EXPECT_EQ(gaps->toolTip().toStdString(),
              "Missing landmarks: Ddx, SORdx, FMOdx, ZORdx. Equations left out: 7, 3, 2.");
    EXPECT_TRUE(form_->grab().save(out + "/missing-orbit-en.png"));

    // The export keeps its 29 lines; the equations left out read "...".
    form_->setNextFileName(QString::fromStdString(dir_.File("report.txt")));
    Click("Button3");
    const std::string report = ReadBytes(dir_.File("report.txt"));
    EXPECT_NE(report.find("Orbital size dx =  mm\r\n"), std::string::npos);
    EXPECT_NE(report.find("Equation 7 = ...\r\n"), std::string::npos);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 29);
}

// Every change to what a result was computed from puts the labels back to their start.
TEST_F(WindowTest, EveryChangeMakesTheResultStale) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    const std::string text = dir_.File("skull.txt");
    WriteBytes(text, ReadBytes(MORVIK_EXAMPLES_DIR "/skull.txt"));
    struct Change {
        const char* name;
        std::function<void()> act;
    };
    const std::vector<Change> changes = {
        {"load",
         [&] {
             form_->setNextFileName(QString::fromStdString(text));
             Click("Button1");
         }},
        {"paste",
         [&] {
             Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
             Select("sgImput3", 0, 1, 0, 1);
             QGuiApplication::clipboard()->setText("1\t2\t3");
             Find<QAction>("Vloit1")->trigger();
         }},
        {"clear",
         [&] {
             Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
             Select("sgImput3", 0, 1, 0, 1);
             Find<QAction>("Vymazattabulku1")->trigger();
         }},
        {"landmark", [&] { Edit("sgImput", 2, 1, "0,5"); }},
        {"dimension", [&] { Edit("sgRozmery", 1, 5, "12"); }},
        {"coefficient",
         [&] {
             Find<QAction>("Editovat1")->trigger();
             Edit("sg", 1, 1, Cell("sg", 1, 1));  // typed over, unchanged: nothing to save
         }},
        {"set", [&] { Pick("ComboBox1", 3); }},
        {"use", [&] { Click("cb4"); }},
    };
    form_->setNextFileName(kSampleSkull);
    Click("Button1");
    for (const Change& change : changes) {
        Click("Button2");
        ASSERT_EQ(Text("Label1"), "Muž") << change.name;
        change.act();
        EXPECT_EQ(Results(), QStringList(7, "...")) << change.name;
        EXPECT_EQ(Text("Label1"), "Muž / Žena") << change.name;
        EXPECT_EQ(Color("Label1"), QColor(Qt::black)) << change.name;
    }
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

// Edited coefficients are not lost without a question: switching the set, End and closing
// the window each ask, and each answer does what it says.
TEST_F(WindowTest, UnsavedCoefficientsAskSaveDiscardOrCancel) {
    using Answer = TForm1::SaveAnswer;
    struct Case {
        const char* trigger;  // "set", "end" or "close"
        Answer answer;
        bool saved;
        bool stays;  // on the edited set, window open
    };
    const Case cases[] = {
        {"set", Answer::Save, true, false},     {"set", Answer::Discard, false, false},
        {"set", Answer::Cancel, false, true},   {"end", Answer::Save, true, false},
        {"end", Answer::Discard, false, false}, {"end", Answer::Cancel, false, true},
        {"close", Answer::Cancel, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.trigger) + " " + std::to_string(int(c.answer)));
        Start(kTwoEquations);
        Find<QAction>("Editovat1")->trigger();
        Edit("sg", 3, 5, "7,5");
        form_->setNextSaveAnswer(c.answer);
        if (std::string(c.trigger) == "set") {
            Pick("ComboBox1", 0);
            EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentIndex(), c.stays ? 3 : 0);
            EXPECT_EQ(Cell("sg", 3, 5), c.stays ? "7,5" : "");
        } else if (std::string(c.trigger) == "end") {
            Click("Button4");
        } else {
            form_->close();
        }
        if (std::string(c.trigger) != "set") {
            EXPECT_EQ(form_->isVisible(), c.stays);
        }
        const std::string settings = ReadBytes(dir_.File("Settings.ini"));
        EXPECT_EQ(settings.find("sg_3_5=7,5") != std::string::npos, c.saved);
        form_->hide();
        form_.reset();
    }
    // Only the chosen set's lack of coefficients was said.
    for (const QString& message : messages_) EXPECT_TRUE(message.contains("Praha"));
}

// Delete, Ctrl+C, Enter on a button, tooltips on cut-off cells and columns wide enough.
TEST_F(WindowTest, GridKeysButtonsAndTooltips) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->setNextFileName(kSampleSkull);
    Click("Button1");
    auto* calculate = Find<QPushButton>("Button2");
    calculate->setFocus();
    QTest::keyClick(calculate, Qt::Key_Return);
    EXPECT_EQ(Text("Label1"), "Muž");

    // Every dimension and product of the sample fits its column.
    for (const char* name : {"sgRozmery", "pom"}) {
        auto* grid = Find<StringGrid>(name);
        for (int r = 1; r < grid->model()->rowCount(); ++r) {
            for (int c = 1; c < grid->model()->columnCount(); ++c)
                EXPECT_FALSE(grid->IsCutOff(grid->model()->index(r, c)))
                    << name << " " << c << "," << r << " " << Cell(name, c, r).toStdString();
        }
    }
    auto* coords = Find<StringGrid>("sgImput");
    Edit("sgImput", 2, 1, "123456,123456789");
    EXPECT_TRUE(coords->IsCutOff(coords->model()->index(1, 2)));
    EXPECT_FALSE(coords->IsCutOff(coords->model()->index(2, 2)));

    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    Select("sgImput", 2, 2, 3, 3);
    QTest::keyClick(coords, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              Cell("sgImput", 2, 2) + "\t" + Cell("sgImput", 3, 2) + "\r\n" +
                  Cell("sgImput", 2, 3) + "\t" + Cell("sgImput", 3, 3) + "\r\n");

    // Delete empties only where the grid is editable.
    Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
    const QString coefficient = Cell("sg", 1, 18);
    Select("sg", 1, 18, 1, 18);
    QTest::keyClick(Find<StringGrid>("sg"), Qt::Key_Delete);
    EXPECT_EQ(Cell("sg", 1, 18), coefficient);
    EXPECT_TRUE(messages_.isEmpty());
}

// A cloud longer than the grid grows it; what the landmark table cannot hold is reported.
TEST_F(WindowTest, PasteGrowsTheCloudGridAndReportsWhatDoesNotFit) {
    Start(kTwoEquations);
    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    QString cloud;
    for (int i = 1; i <= 5000; ++i) cloud += QString("%1\t1\t2\n").arg(i);
    Select("sgImput2", 0, 1, 0, 1);
    QGuiApplication::clipboard()->setText(cloud);
    Find<QAction>("Vloit1")->trigger();
    EXPECT_EQ(Find<StringGrid>("sgImput2")->model()->rowCount(), 5001);
    EXPECT_EQ(Cell("sgImput2", 0, 5000), "5000");
    EXPECT_TRUE(messages_.isEmpty());

    Select("sgImput", 4, 22, 4, 22);
    QGuiApplication::clipboard()->setText("1\t2\n3");
    Find<QAction>("Vloit1")->trigger();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Vkládaný text se do tabulky nevešel celý; nevložené hodnoty: 2.");
}

// The settings file's problems are said once, at start or when the set is chosen; a UTF-8
// file is read as UTF-8. Qt's own texts and the grid menus follow the interface language.
TEST_F(WindowTest, SettingsNoticesAndQtTextsFollowTheLanguage) {
    Start();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0],
              "Soubor nastavení „Settings.ini“ chybí: rovnice nemají žádné koeficienty.");
    form_.reset();
    messages_.clear();

    Start("\xEF\xBB\xBF[Global]\r\nLang=cz\r\n[Univerzální]\r\nsg_1_18=1.5\r\n");
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].contains("UTF-8")) << messages_[0].toStdString();
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "Univerzální");
    EXPECT_EQ(Cell("sg", 1, 18), "1,5");
    Pick("ComboBox1", 1);
    ASSERT_EQ(messages_.size(), 2);
    EXPECT_EQ(messages_[1],
              "Soubor nastavení „Settings.ini“ nemá pro soubor rovnic „Lisabon“ žádné "
              "koeficienty.");

    EXPECT_EQ(Find<QAction>("Vloit1")->text(), "Vložit");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Zrušit");
    Pick("ComboBox2", 1);
    EXPECT_EQ(Find<QAction>("Vloit1")->text(), "Paste");
    EXPECT_EQ(Find<QAction>("Editovat1")->text(), "Edit");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    EXPECT_EQ(messages_.size(), 2);
}

namespace casework {

// Landmark rows of the sample skull as a text file holds them, with the decimal commas the
// window shows.
std::string SkullLines() { return ReadBytes(MORVIK_EXAMPLES_DIR "/skull.txt"); }

QStringList LandmarkCells(const Workspace& ws) {
    QStringList cells;
    for (int r = 0; r < ws.sgImput.RowCount(); ++r)
        for (int c = 0; c < ws.sgImput.ColCount(); ++c)
            cells << QString::fromStdString(ws.sgImput.Cell(c, r));
    return cells;
}

}  // namespace casework

// A paste, a keystroke or Delete on a label cell changes no label; a paste anchored on a
// row's label starts at that row's first coordinate, one on a cloud's header at its first row.
TEST_F(WindowTest, LabelCellsAreNotData) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    auto* grid = Find<StringGrid>("sgImput");
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(2, 1));  // "N"
    grid->selectionModel()->clearSelection();
    QGuiApplication::clipboard()->setText("1\t2\t3");
    Find<QAction>("Vloit1")->trigger();
    EXPECT_EQ(Cell("sgImput", 0, 2), "Nasion");
    EXPECT_EQ(Cell("sgImput", 1, 2), "N");
    EXPECT_EQ(Cell("sgImput", 2, 2), "1");
    EXPECT_EQ(Cell("sgImput", 3, 2), "2");
    EXPECT_EQ(Cell("sgImput", 4, 2), "3");

    EXPECT_FALSE(grid->model()->setData(grid->model()->index(3, 0), "x", Qt::EditRole));
    grid->selectionModel()->select(
        QItemSelection(grid->model()->index(3, 0), grid->model()->index(3, 4)),
        QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(Cell("sgImput", 1, 3), "RH");

    auto* cloud = Find<StringGrid>("sgImput2");
    cloud->setFocus();
    cloud->setCurrentIndex(cloud->model()->index(0, 1));
    cloud->selectionModel()->clearSelection();
    QGuiApplication::clipboard()->setText("7\t8");
    Find<QAction>("Vloit1")->trigger();
    EXPECT_EQ(Cell("sgImput2", 1, 0), "Y");
    EXPECT_EQ(Cell("sgImput2", 1, 1), "7");
    EXPECT_EQ(Cell("sgImput2", 2, 1), "8");
}

// Each file is one skull: a text file after a workbook leaves no cloud of the workbook, a
// CSV with a header line gives the rows of one without it, a field that is not a number
// refuses the load and leaves the tables alone; the title names the source.
TEST_F(WindowTest, EachFileReplacesTheWholeSkullAndTheTitleNamesIt) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.xls");
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_FALSE(Cell("sgImput2", 0, 1).isEmpty());
    EXPECT_EQ(form_->windowTitle(), "skull.xls – MORVIK");

    std::string csv;
    for (char c : casework::SkullLines()) csv += c == '\t' ? ';' : c;
    WriteBytes(dir_.File("plain.csv"), csv);
    WriteBytes(dir_.File("header.csv"), "X;Y;Z\r\n" + csv);
    form_->OpenFile(QString::fromStdString(dir_.File("plain.csv")));
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_TRUE(Cell("sgImput2", 0, 1).isEmpty());
    EXPECT_TRUE(Cell("sgImput3", 0, 1).isEmpty());
    const QStringList plain = casework::LandmarkCells(form_->workspace());
    form_->OpenFile(QString::fromStdString(dir_.File("header.csv")));
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_EQ(casework::LandmarkCells(form_->workspace()), plain);
    EXPECT_EQ(form_->windowTitle(), "header.csv – MORVIK");
    Click("Button2");
    EXPECT_EQ(Text("Label1"), "Muž");
    EXPECT_EQ(Text("VoteLabel"), "7 ze 7: muž 6, žena 1");

    WriteBytes(dir_.File("bad.csv"), "1;2;3\r\n4;5x;6\r\n");
    form_->OpenFile(QString::fromStdString(dir_.File("bad.csv")));
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_.first().contains("bad.csv")) << messages_.first().toStdString();
    EXPECT_TRUE(messages_.first().contains("5x")) << messages_.first().toStdString();
    EXPECT_EQ(casework::LandmarkCells(form_->workspace()), plain);
    EXPECT_EQ(form_->windowTitle(), "header.csv – MORVIK");

    Select("sgImput", 2, 1, 2, 1);
    QGuiApplication::clipboard()->setText("9");
    Find<QAction>("Vloit1")->trigger();
    EXPECT_EQ(form_->windowTitle(), "header.csv (vloženo) – MORVIK");
}

// A workbook whose first sheet holds no landmarks offers the sheet that does.
TEST_F(WindowTest, LandmarksOnAnotherSheetAreOffered) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    std::string rows;
    for (int r = 2; r <= 23; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\"><c r=\"C" + n + "\"><v>" + n + ".5</v></c><c r=\"D" + n +
                "\"><v>1</v></c><c r=\"E" + n + "\"><v>2</v></c></row>";
    }
    const std::string book = testing::BuildXlsx(
        {{"Notes", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>see next</t></is></c></row>"},
         {"Lebka 2", rows}});
    WriteBytes(dir_.File("two.xlsx"), book);
    form_->setNextSheetAnswer(1);
    form_->OpenFile(QString::fromStdString(dir_.File("two.xlsx")));
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_EQ(Cell("sgImput", 2, 1), "2,5");
    EXPECT_EQ(Cell("sgImput", 2, 22), "23,5");
    form_->setNextSheetAnswer(std::nullopt);  // "no": the first sheet, as it stands
    form_->OpenFile(QString::fromStdString(dir_.File("two.xlsx")));
    EXPECT_TRUE(Cell("sgImput", 2, 1).isEmpty());
}

// A file dropped on the window or named at start loads as the open button loads it; it joins
// the recent files, and the dialogs open in its folder.
TEST_F(WindowTest, DroppedAndNamedFilesOpenAndAreRemembered) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    const QString skull = QFileInfo(MORVIK_EXAMPLES_DIR "/skull.xls").absoluteFilePath();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(skull)});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &drop);
    QCoreApplication::processEvents();
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_FALSE(Cell("sgImput2", 0, 1).isEmpty());
    EXPECT_EQ(form_->windowTitle(), "skull.xls – MORVIK");

    const QString text = QFileInfo(MORVIK_EXAMPLES_DIR "/skull.txt").absoluteFilePath();
    form_->OpenFile(text);
    EXPECT_TRUE(Cell("sgImput2", 0, 1).isEmpty());  // the workbook's clouds went with it
    EXPECT_TRUE(Cell("sgImput3", 0, 1).isEmpty());
    EXPECT_EQ(form_->RecentFiles(), QStringList({text, skull}));
    // skull.txt exists: the report is offered under a name of its own beside it.
    EXPECT_EQ(QFileInfo(form_->SuggestedReportPath()).fileName(), "skull (výsledek).txt");
    EXPECT_EQ(QFileInfo(form_->SuggestedReportPath()).absolutePath(),
              QFileInfo(text).absolutePath());
    form_->close();
    form_.reset();
    form_ = std::make_unique<TForm1>(QString::fromStdString(dir_.Path().string()));
    EXPECT_EQ(form_->RecentFiles().size(), 2);
    EXPECT_EQ(form_->MakeFileDialog(TForm1::DialogKind::Open)->directory().absolutePath(),
              QFileInfo(text).absolutePath());
}

// A landmark file dropped on the window loads by label: markups of the sample skull, in
// another order and a lab's mix of names, give the sample text file's report.
TEST_F(WindowTest, DroppedMarkupsGiveTheSampleSkullsReport) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.txt");
    Click("Button2");
    const auto fromText = core::ReportLines(form_->workspace(), core::kUniversalSet, "cz");
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.xls");  // clouds the markups must replace

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(
        QFileInfo(MORVIK_LANDMARK_FIXTURES "/skull.mrk.json").absoluteFilePath())});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &drop);
    QCoreApplication::processEvents();
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_EQ(form_->windowTitle(), "skull.mrk.json – MORVIK");
    EXPECT_TRUE(Cell("sgImput2", 0, 1).isEmpty());
    Click("Button2");
    EXPECT_EQ(core::ReportLines(form_->workspace(), core::kUniversalSet, "cz"), fromText);
    // The message line says what the load did; its tooltip which label went where.
    EXPECT_TRUE(Find<QLabel>("GapsLabel")->toolTip().contains("→"))
        << Find<QLabel>("GapsLabel")->toolTip().toStdString();

    // A file of two specimens (the same skull, in mm and in µm) asks which; that one loads.
    form_->setNextSheetAnswer(1);
    form_->OpenFile(MORVIK_LANDMARK_FIXTURES "/skulls.tps");
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    EXPECT_TRUE(Find<QLabel>("GapsLabel")->toolTip().contains("2 z 2"))
        << Find<QLabel>("GapsLabel")->toolTip().toStdString();
    Click("Button2");
    EXPECT_EQ(core::ReportLines(form_->workspace(), core::kUniversalSet, "cz"), fromText);
}

// Loads, pastes, clears and typed edits undo and redo in order, and the title follows.
TEST_F(WindowTest, UndoAndRedoOfLoadsPastesClearsAndEdits) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.xls");
    const QStringList loaded = casework::LandmarkCells(form_->workspace());
    const QString firstPoint = Cell("sgImput2", 0, 1);
    Edit("sgImput", 2, 1, "99");
    EXPECT_EQ(form_->windowTitle(), "skull.xls (upraveno) – MORVIK");
    Find<StringGrid>("sgImput2")->setFocus();
    Find<QAction>("Vymazattabulku1")->trigger();
    EXPECT_TRUE(Cell("sgImput2", 0, 1).isEmpty());

    QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Cell("sgImput2", 0, 1), firstPoint);
    EXPECT_EQ(Cell("sgImput", 2, 1), "99");
    form_->Undo();
    EXPECT_EQ(casework::LandmarkCells(form_->workspace()), loaded);
    EXPECT_EQ(form_->windowTitle(), "skull.xls – MORVIK");
    form_->Undo();  // the load
    EXPECT_TRUE(Cell("sgImput", 2, 1).isEmpty());
    EXPECT_TRUE(Cell("sgImput2", 0, 1).isEmpty());
    EXPECT_EQ(form_->windowTitle(), "MORVIK");
    QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(casework::LandmarkCells(form_->workspace()), loaded);
    Click("Button2");
    EXPECT_EQ(Text("Label1"), "Muž");
    form_->Redo();
    EXPECT_EQ(Cell("sgImput", 2, 1), "99");
    EXPECT_EQ(Text("Result1"), "...");  // the result belonged to the tables before
}

// The keys reach their commands; unsaved coefficients are marked in the title and the list.
TEST_F(WindowTest, KeysAndTheUnsavedMark) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->setNextFileName(MORVIK_EXAMPLES_DIR "/skull.txt");
    QTest::keyClick(form_.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(form_.get(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Text("Label1"), "Muž");
    const QString exported = QString::fromStdString(dir_.File("out.txt"));
    form_->setNextFileName(exported);
    QTest::keyClick(form_.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(QFileInfo::exists(exported));
    QTest::keyClick(form_.get(), Qt::Key_F1);
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "HelpWindow" && w->isVisible()) help = w;
    ASSERT_NE(help, nullptr);
    help->close();

    Find<QAction>("Editovat1")->trigger();
    Edit("sg", 3, 5, "7,5");
    EXPECT_TRUE(form_->windowTitle().startsWith("*"));
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "Univerzální *");
    Find<QAction>("Uloit1")->trigger();
    EXPECT_FALSE(form_->windowTitle().startsWith("*"));
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "Univerzální");
    QTest::keyClick(form_.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form_->isVisible());
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

// Grown, the grids take the room and nothing overlaps or leaves the window; back at the
// design size every control stands where it stood.
TEST_F(WindowTest, ResizesWithItsGridsAndComesBack) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.xls");
    Click("Button2");
    // The window's own controls, by name; Qt's inner widgets follow them.
    std::map<QWidget*, QRect> before;
    for (QWidget* w : form_->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
            before[w] = w->geometry();
    }
    ASSERT_GT(before.size(), 40u);
    const QSize design = form_->size();
    form_->resize(design * 1.5);
    QCoreApplication::processEvents();
    EXPECT_GT(Find<QWidget>("sgImput")->width(), 369 + 100);
    EXPECT_GT(Find<QWidget>("sgImput2")->height(), 187 + 100);
    EXPECT_GT(Find<QWidget>("sg")->height(), 393 + 200);
    const QRect window = form_->rect();
    QList<QRect> bottom;
    for (const char* name :
         {"Button1", "RecentButton", "Button2", "CoefficientsButton", "Button3", "Button4"}) {
        auto* w = Find<QWidget>(name);
        const QRect r(w->mapTo(form_.get(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(window.contains(r)) << name;
        for (const QRect& other : bottom) EXPECT_FALSE(r.intersects(other)) << name;
        bottom << r;
    }
    for (int i = 1; i < kEquationCount; ++i) {
        const QString left = QString("cb%1").arg(i), right = QString("cb%1").arg(i + 1);
        EXPECT_LT(Find<QWidget>(qPrintable(left))->geometry().right(),
                  Find<QWidget>(qPrintable(right))->geometry().left());
    }
    const QString out = QStringLiteral(MORVIK_PNG_DIR);
    QDir().mkpath(out);
    EXPECT_TRUE(form_->grab().save(out + "/window-large.png"));
    form_->resize(design);
    QCoreApplication::processEvents();
    for (const auto& [w, rect] : before) {
        EXPECT_EQ(w->geometry(), rect) << w->objectName().toStdString();
    }
}

// Run by its own test entry with QT_SCALE_FACTOR set and a 1366 x 768 screen configured for
// the offscreen platform: the window opens whole on the screen, every button on it.
TEST_F(WindowTest, OpensWholeOnASmallScreenAtAnyScale) {
    if (qEnvironmentVariable("QT_QPA_PLATFORM").indexOf("configfile") < 0)
        GTEST_SKIP() << "needs a configured screen (the window_on_small_screen tests)";
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.xls");
    Click("Button2");
    QCoreApplication::processEvents();
    const QRect screen = form_->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form_->frameGeometry()))
        << form_->width() << "x" << form_->height();
    for (QAbstractButton* button : form_->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(form_.get()) || button->objectName().isEmpty()) continue;
        if (!button->window()->isAncestorOf(button)) continue;
        const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
        // Buttons on pages not shown are not on screen at all; the rest must be whole.
        if (!button->isVisible()) continue;
        EXPECT_TRUE(screen.contains(global)) << button->objectName().toStdString();
    }
    const QString out = QStringLiteral(MORVIK_PNG_DIR);
    QDir().mkpath(out);
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1");
    EXPECT_TRUE(form_->grab().save(
        QString("%1/window-1366x768-scale%2.png").arg(out, scale == "1" ? "100" : "200")));
}

// A set with a reference model (the synthetic demonstration): each score carries its
// posterior and typicality, a vote below the threshold stands in brackets, a missing
// landmark refits the equations that needed it, and a measurement far from both sexes is
// named in the message line.
TEST_F(WindowTest, ReferenceModelShowsItsEvidence) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings-model.ini"));
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.txt");
    Click("Button2");
    EXPECT_EQ(Text("Label1"), "Muž");
    EXPECT_TRUE(Text("VoteLabel").contains("neurčité")) << Text("VoteLabel").toStdString();
    int brackets = 0;
    for (int i = 1; i <= kEquationCount; ++i) {
        const QString evidence = Text(qPrintable(QString("Evidence%1").arg(i)));
        EXPECT_TRUE(evidence.startsWith("M ") && evidence.contains("%")) << evidence.toStdString();
        EXPECT_TRUE(Find<QLabel>(qPrintable(QString("Result%1").arg(i)))
                        ->toolTip()
                        .contains("Aposteriorní pravděpodobnost"));
        if (Text(qPrintable(QString("Result%1").arg(i))).startsWith("(")) ++brackets;
    }
    EXPECT_GT(brackets, 0);

    // G gone: the equations on G-OP are refitted, marked and explained.
    Select("sgImput", 2, 1, 4, 1);
    QTest::keyClick(Find<StringGrid>("sgImput"), Qt::Key_Delete);
    Click("Button2");
    int refits = 0;
    for (int i = 1; i <= kEquationCount; ++i) {
        auto* result = Find<QLabel>(qPrintable(QString("Result%1").arg(i)));
        if (!result->text().contains('*')) continue;
        ++refits;
        EXPECT_TRUE(result->font().italic());
        EXPECT_TRUE(result->toolTip().contains("Přepočteno bez"))
            << result->toolTip().toStdString();
    }
    EXPECT_GT(refits, 0);
    const QString out = QStringLiteral(MORVIK_PNG_DIR);
    QDir().mkpath(out);
    EXPECT_TRUE(form_->grab().save(out + "/window-model-refit.png"));

    // G back, 60 mm in front of where it was.
    form_->Undo();
    Edit("sgImput", 3, 1, "156,2");
    Click("Button2");
    EXPECT_TRUE(Find<QLabel>("GapsLabel")->toolTip().contains("G-OP"))
        << Find<QLabel>("GapsLabel")->toolTip().toStdString();
    EXPECT_TRUE(Find<QLabel>("GapsLabel")->isVisible());
    Pick("ComboBox2", 1);
    EXPECT_TRUE(form_->grab().save(out + "/window-model-atypical-en.png"));
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

}  // namespace
}  // namespace morvik::app

namespace morvik::app {
namespace {

// The case report from the window: refused without a current result, then a PDF naming the
// file the skull came from, marked as typed after an edit; the entry speaks both languages.
TEST_F(WindowTest, CaseReportComesFromTheCurrentResult) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings-model.ini"));
    auto* action = Find<QAction>("ReportPdfAction");
    EXPECT_EQ(action->text(), "Protokol (PDF)…");
    EXPECT_TRUE(action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_P)));
    EXPECT_TRUE(Find<QPushButton>("Button3")->actions().contains(action));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.txt");
    const std::string path = dir_.File("case");
    form_->setNextFileName(QString::fromStdString(path));
    action->trigger();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path + ".pdf")));
    messages_.clear();

    Edit("sgImput", 3, 1, "96,3");
    Click("Button2");
    form_->setNextFileName(QString::fromStdString(path));
    action->trigger();
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    ASSERT_EQ(ReadBytes(path + ".pdf").rfind("%PDF-", 0), 0u);
    const std::string text =
        test::Output("pdftotext -layout " + test::Quoted(path + ".pdf") + " -");
    EXPECT_NE(text.find("Protokol o odhadu pohlaví"), std::string::npos) << text;
    EXPECT_NE(text.find(MORVIK_EXAMPLES_DIR "/skull.txt"), std::string::npos);
    EXPECT_NE(text.find("zadáno ručně"), std::string::npos);
    EXPECT_NE(text.find("Výsledek: " + Text("Label1").toStdString()), std::string::npos);

    Pick("ComboBox2", 1);
    EXPECT_EQ(action->text(), "Report (PDF)…");
}

// The sample workbook's skull written as 3D Slicer markups — the landmarks by abbreviation,
// each euryon cloud a curve of its own — and dropped on the window gives the workbook's
// report, EU-EU included.
TEST_F(WindowTest, MarkupsWithTheirCloudsGiveTheWorkbooksReport) {
    Start(ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.xls");
    Click("Button2");
    const auto fromWorkbook = core::ReportLines(form_->workspace(), core::kUniversalSet, "cz");
    const Workspace& ws = form_->workspace();
    const auto number = [](const std::string& cell) {
        std::string text = cell;
        std::replace(text.begin(), text.end(), ',', '.');
        return text;
    };
    std::string json = R"({"markups": [{"type": "Fiducial", "name": "F", "controlPoints": [)";
    for (int r = 1; r <= kLandmarkCount; ++r) {
        json += std::string(r > 1 ? "," : "") + R"({"label": ")" + ws.sgImput.Cell(1, r) +
                R"(", "position": [)" + number(ws.sgImput.Cell(2, r)) + "," +
                number(ws.sgImput.Cell(3, r)) + "," + number(ws.sgImput.Cell(4, r)) + "]}";
    }
    json += "]}";
    for (const auto& [name, cloud] :
         {std::pair{"euryon dx", &ws.sgImput2}, std::pair{"euryon sin", &ws.sgImput3}}) {
        json += std::string(R"(, {"type": "Curve", "name": ")") + name +
                R"(", "coordinateSystem": "RAS", "controlPoints": [)";
        for (int r = 1; !cloud->IsEmpty(1, r); ++r) {
            json += std::string(r > 1 ? "," : "") + R"({"label": "", "position": [)" +
                    number(cloud->Cell(0, r)) + "," + number(cloud->Cell(1, r)) + "," +
                    number(cloud->Cell(2, r)) + "]}";
        }
        json += "]}";
    }
    json += "]}";
    WriteBytes(dir_.File("skull.mrk.json"), json);

    form_->OpenFile(MORVIK_EXAMPLES_DIR "/skull.txt");  // no clouds: they must come back
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.File("skull.mrk.json")))});
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &drop);
    QCoreApplication::processEvents();
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    Click("Button2");
    EXPECT_EQ(core::ReportLines(form_->workspace(), core::kUniversalSet, "cz"), fromWorkbook);
}

}  // namespace
}  // namespace morvik::app
