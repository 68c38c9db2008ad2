#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <vector>

#include "tests/core/TempDir.h"
#include "app/fMain.h"

namespace morvik::app {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// A window on its own program folder, with failures collected instead of shown.
class WindowTest : public ::testing::Test {
  protected:
    void Start(const std::string& settings = {}) {
        if (!settings.empty()) WriteBytes(dir_.File("Settings.ini"), settings);
        form_ = std::make_unique<TForm1>(QString::fromStdString(dir_.Path().string()));
        form_->setMessageSink([this](const QString& text) { messages_ << text; });
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
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
    EXPECT_EQ(Find<StringGrid>("pom")->columnWidth(0), 110);
    EXPECT_EQ(Find<StringGrid>("sgImput2")->rowHeight(5), 16);
    EXPECT_EQ(Text("Label1"), "Muž / Žena");
    EXPECT_EQ(Text("Result3"), "...");
    EXPECT_TRUE(messages_.isEmpty());
}

// Every control where the layout puts it (client pixels of its parent, or of the window for
// the buttons on the bottom panel), and the grids with their sizes, fonts and fixed cells.
TEST_F(WindowTest, EveryControlStandsWhereTheLayoutPutsIt) {
    Start(kTwoEquations);
    struct Place {
        const char* name;
        QRect rect;  // a zero size checks the position only
    };
    const Place places[] = {
        {"ComboBox1", {328, 8, 225, 0}},
        {"ComboBox2", {560, 8, 41, 0}},
        {"PageControl1", {8, 32, 593, 441}},
        {"sgImput", {8, 8, 369, 397}},
        {"Label2", {384, 8, 0, 0}},
        {"sgImput2", {384, 24, 193, 187}},
        {"Label3", {384, 216, 0, 0}},
        {"sgImput3", {384, 232, 193, 173}},
        {"sg", {8, 8, 569, 393}},
        {"sgRozmery", {8, 8, 185, 393}},
        {"Button5", {200, 375, 169, 25}},
        {"pom", {8, 8, 569, 393}},
        {"Label4", {8, 8, 561, 121}},
        {"Label5", {8, 136, 561, 97}},
        {"Label6", {531, 395, 0, 0}},
        {"cb1", {64, 479, 71, 17}},
        {"cb7", {496, 479, 71, 17}},
        {"Shape1", {8, 502, 593, 4}},
        {"Result1", {64, 514, 65, 22}},
        {"Result4", {280, 514, 65, 22}},
        {"Label1", {8, 544, 593, 31}},
        {"Panel1", {0, 580, 610, 41}},
        {"Button1", {16, 9, 89, 23}},
        {"Button2", {240, 9, 75, 23}},
        {"Button3", {448, 9, 75, 23}},
        {"Button4", {528, 9, 75, 23}},
    };
    for (const Place& place : places) {
        const QRect got = Find<QWidget>(place.name)->geometry();
        EXPECT_EQ(got.topLeft(), place.rect.topLeft()) << place.name;
        if (place.rect.width() > 0) {
            EXPECT_EQ(got.width(), place.rect.width()) << place.name;
        }
        if (place.rect.height() > 0) {
            EXPECT_EQ(got.height(), place.rect.height()) << place.name;
        }
    }

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
        {"sgRozmery", 2, 18, 1, 1, 11, {110, 64}, 19, true},
        {"pom", 8, 18, 1, 1, 11, {110, 64, 64, 64, 64, 64, 64, 64}, 19, false},
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
    EXPECT_TRUE(Find<QLabel>("SettingsFile")->text().endsWith(
        QDir::toNativeSeparators(form_->settingsPath())));
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
         {"MS Excel soubory (*.xls)", "Textové soubory (*.txt)", "Všechny soubory (*)"},
         ""},
        {0, TForm1::DialogKind::Save, {"Textové soubory (*.txt)", "Všechny soubory (*)"}, "txt"},
        {1,
         TForm1::DialogKind::Open,
         {"MS Excel files (*.xls)", "Text files (*.txt)", "All files (*)"},
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
        }
    }
}

TEST_F(WindowTest, CalculateShowsScoresColoursAndVerdict) {
    Start(kTwoEquations);
    Workspace& ws = form_->workspace();
    ws.sgImput.SetCell(3, 21, "150");  // OP 150 mm behind G at the origin
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
    EXPECT_TRUE(messages_[0].startsWith("Cannot open file")) << messages_[0].toStdString();

    form_->workspace().sg.SetCell(1, 18, "abc");
    Click("Button2");
    ASSERT_EQ(messages_.size(), 2);
    EXPECT_EQ(messages_[1], "'abc' is not a valid floating point value");

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
    EXPECT_EQ(messages_[0],
              "Unable to write to " + QString::fromStdString(dir_.File("plain") + "/Settings.ini"));
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

    form_->setNextFileName(QString::fromStdString(dir_.File("report")));
    Click("Button3");
    const std::string report = ReadBytes(dir_.File("report.txt"));
    EXPECT_EQ(report.rfind("Univerz\xE1ln\xED\r\n \r\nG-OP =  mm\r\n", 0), 0u);
    form_->setNextFileName(std::nullopt);  // cancelled: nothing written, no message
    Click("Button3");
    EXPECT_TRUE(messages_.isEmpty());
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

}  // namespace
}  // namespace morvik::app
