// The main window: shows the workspace and hands every command to the app core.
#pragma once

#include <QLabel>
#include <QString>
#include <QTranslator>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GridModel.h"
#include "StyledCheckBox.h"
#include "compute/Compute.h"
#include "compute/Workspace.h"
#include "core/Captions.h"
#include "core/Commands.h"
#include "core/EquationSets.h"
#include "core/History.h"
#include "core/Session.h"

class QComboBox;
class QMenu;
class QAction;
class QPushButton;
class QTabWidget;
class QFrame;
class QFileDialog;
class QToolButton;

namespace morvik::app {

// How a control follows the window's size: its rectangle at the design size of 610 x 621
// moves and grows by these shares of the extra width and height.
struct Stretch {
    double x = 0, y = 0, w = 0, h = 0;
};

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    using MessageSink = std::function<void(const QString&)>;

    // `programFolder` holds Settings.ini; empty means the folder of the executable.
    explicit TForm1(const QString& programFolder = {}, QWidget* parent = nullptr);

    Workspace& workspace() { return ws_; }
    // The workspace and the settings workbooks are read with; main fills the latter.
    core::Session& session() { return session_; }
    QString settingsPath() const;

    // Test seams: the next file dialog returns this name instead of opening (nullopt acts
    // as Cancel), and failures go to the sink instead of a message box.
    void setNextFileName(std::optional<QString> name) { nextFileNames_.push_back(std::move(name)); }
    void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
    // The next question about unsaved coefficients gets this answer instead of a dialog.
    enum class SaveAnswer { Save, Discard, Cancel };
    void setNextSaveAnswer(SaveAnswer answer) { nextSaveAnswers_.push_back(answer); }

    // Shows the workspace again after something outside the window changed it.
    void ShowWorkspace();

    // The load command on a file named without the dialog: `morvik FILE`, a file dropped on
    // the window, the recent files.
    void OpenFile(const QString& path);
    // The next question about which sheet of a workbook to load gets this answer (a sheet
    // index; nullopt keeps the first sheet) instead of a dialog.
    void setNextSheetAnswer(std::optional<int> sheet) { nextSheetAnswers_.push_back(sheet); }
    // Where the data on screen came from: the file's name, and "pasted"/"typed" (in the
    // interface language) when it was edited since; empty before anything was loaded.
    QString SourceText() const;
    // The report name the export offers: the source file's stem with .txt, in its folder.
    QString SuggestedReportPath() const;
    QStringList RecentFiles() const;
    void Undo();
    void Redo();

    enum class DialogKind { Open, Save };
    // The open or save dialog as the load and export commands show it.
    std::unique_ptr<QFileDialog> MakeFileDialog(DialogKind kind);

  public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ReportPdfClick();  // the case report (PDF) of the current result
    void Button4Click();
    void Button5Click();
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void Editovat1Click();
    void Uloit1Click();
    void Vloit1Click();
    void Vymazattabulku1Click();

    void CalculateCommand();
    void ShowHelpPage();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void FormClose();
    void BuildControls();
    void BuildActions();
    void Place(QWidget* widget, QRect design, Stretch stretch = {});
    void ApplyLayout();
    void RestoreWindowState();
    void SaveWindowState();
    void ApplyCaptionSet(const core::CaptionSet& set);

    // The one place a command's failure ends: its message is shown, what it wrote stays,
    // and the window goes on.
    void Run(const std::function<void()>& command);
    void ShowMessage(const QString& text, bool information = false);
    // The result labels, the verdict and the line about what the calculation missed.
    void ShowResults();
    // That line alone, cut to the label's width from the sentences ShowResults kept: what a
    // resize needs.
    void ShowGapsLine();
    std::vector<std::string> gapSentences_;
    // Data, coefficients or use flags changed: the labels no longer belong to them.
    void ResultIsStale();
    void ShowGaps(const CalculationGaps& gaps);
    // False when the user cancels; unsaved coefficient edits are saved or dropped first.
    bool ConfirmCoefficients();
    SaveAnswer AskSaveCoefficients();
    void SaveCoefficients(int setIndex);
    void ApplyQtTranslation(std::string_view code);

    // False when the user cancels.
    bool AskFileName(DialogKind kind, QString* name);
    // The sheet of a workbook to load: the first, or the one the user picks when only
    // other sheets hold landmarks.
    int ChooseSheet(const QString& file, const std::vector<std::string>& names,
                    const std::vector<int>& withData);
    // A landmark file of a digitizing program: the specimen the user picks, its notes and
    // the mapping of its labels kept for the message line.
    void LoadLandmarks(const std::string& path);
    int ChooseSpecimen(const QString& file, const QStringList& specimens);
    std::string loadNotes_, loadMapping_;
    // A command that changes the measurement tables: what stood before can be undone (only
    // `table` when the change touches no other).
    void Remember(const TextTable* table = nullptr);
    void LoadFrom(const std::optional<QString>& name);
    void RememberRecent(const QString& path);
    void FillRecentMenu();
    void UpdateTitle();
    void CoefficientsEdited();
    StringGrid* FocusedInputGrid() const;

    core::Session session_;
    Workspace& ws_ = session_.ws;
    QString programFolder_;
    QString lastFileName_;
    QString openFilter_;
    QString saveFilter_;
    std::deque<std::optional<QString>> nextFileNames_;
    std::deque<SaveAnswer> nextSaveAnswers_;
    std::deque<std::optional<int>> nextSheetAnswers_;
    core::History history_;
    // The data's source: a file, and how it was changed by hand since.
    enum class Edit : char { None = '-', Pasted = 'P', Typed = 'T' };
    QString sourceFile_;
    Edit edit_ = Edit::None;
    std::string SourceTag() const;
    void SetSourceTag(const std::string& tag);
    struct Placed {
        QWidget* widget;
        QRect design;
        Stretch stretch;
    };
    std::vector<Placed> layout_;
    MessageSink messageSink_;
    std::vector<core::Notice> startNotices_;  // said once the window is first shown
    bool shown_ = false;
    int setIndex_ = core::kUniversalSet;  // the set the coefficient grid holds
    core::CoefficientSnapshot savedCoefficients_;
    std::optional<CalculationGaps> gaps_;  // of the current result
    QTranslator qtTranslator_;
    bool qtTranslatorInstalled_ = false;

    // Glossary. The controls keep the names the window has always given them: stored files,
    // tests and the workspace's tables (compute/Workspace.h) are named after them. What each
    // is, with its caption in Czech / English:
    //   ComboBox1      the equation set list: "Praha", "Lisabon", "Coimbra", "Univerzální" /
    //                  "Prague", "Lisbon", "Coimbra", "Universal"
    //   ComboBox2      the interface language: "cz" / "en"
    //   PageControl1   the pages; TabSheet1 "Souřadnice bodů" / "Coordinates" (landmarks and
    //                  clouds), TabSheet2 "Rovnice" / "Equation" (coefficients), TabSheet5
    //                  "Rozměry" / "Measurements" (dimensions typed by hand), TabSheet3
    //                  "Mezivýsledek" / "Preliminary results" (products), TabSheet4
    //                  "O programu" / "About"
    //   sgImput        the 22 landmarks: name, abbreviation, X, Y, Z (sgImput = "input grid")
    //   sgImput2/3     the right / left euryon point cloud: X, Y, Z ("euryon dx" / "euryon sin")
    //   sg             the coefficients: one column per equation (6, 5, 7, 3, 1, 4, 2), a row per
    //                  dimension, the constant last
    //   sgRozmery      the 17 dimensions ("rozměry" = dimensions), computed or typed
    //   pom            the products coefficient × dimension ("pomocná" = auxiliary)
    //   Label1         the verdict: "Muž" / "Male", "Žena" / "Female", a tie "Muž/Žena",
    //                  "NEURČITELNÉ" / "INDETERMINATE", before any calculation "Muž / Žena"
    //   Label4, Label5 the About page's paragraphs; Label6 the version
    //   cb1..cb7       "Použít 6" / "Equation 6" ...: whether each equation is in use
    //   Result1..7     the equations' scores (black male, red female, grey below a threshold)
    //   Button1        "Načíst soubor" / "Open file"      Button2 "Spočítat" / "Calculate"
    //   Button3        "Export"                           Button4 "Konec" / "End"
    //   Button5        "Spočítat z rozměrů >>" / "Calculate from measurements >>"
    //   PopupMenu1     the coefficient grid's menu: Editovat1 "Editovat" / "Edit",
    //                  Uloit1 "Uložit" / "Save" (the names lost their diacritics)
    //   PopupMenu2     the input grids' menu: Vloit1 "Vložit" / "Paste", Vymazattabulku1
    //                  "Vymazat tabulku" / "Clear table"
    // Newer controls are named by what they mean (GapsLabel, VoteLabel, RecentButton, ...).
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    std::array<QWidget*, 5> tabSheets_{};  // TabSheet1 .. TabSheet5 by name
    StringGrid* sgImput = nullptr;
    StringGrid* sgImput2 = nullptr;
    StringGrid* sgImput3 = nullptr;
    StringGrid* sg = nullptr;
    StringGrid* sgRozmery = nullptr;
    StringGrid* pom = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* GapsLabel = nullptr;
    QLabel* VoteLabel = nullptr;  // how many equations voted, and how
    QToolButton* RecentButton = nullptr;
    QMenu* RecentMenu = nullptr;
    QToolButton* CoefficientsButton = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* reportPdfAction_ = nullptr;
    std::array<StyledCheckBox*, kEquationCount> cb_{};
    std::array<QLabel*, kEquationCount> result_{};
    std::array<QLabel*, kEquationCount> evidence_{};  // posterior and typicality of a score
    std::array<QPushButton*, 5> buttons_{};           // Button1 .. Button5
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Editovat1 = nullptr;
    QAction* Uloit1 = nullptr;
    QAction* Vloit1 = nullptr;
    QAction* Vymazattabulku1 = nullptr;
};

}  // namespace morvik::app
