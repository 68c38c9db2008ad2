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
#include "core/EquationSets.h"
#include "core/Session.h"

class QComboBox;
class QMenu;
class QAction;
class QPushButton;
class QTabWidget;
class QFrame;
class QFileDialog;

namespace morvik::app {

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

    enum class DialogKind { Open, Save };
    // The open or save dialog as the load and export commands show it.
    std::unique_ptr<QFileDialog> MakeFileDialog(DialogKind kind);

  public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void Editovat1Click();
    void Uloit1Click();
    void Vloit1Click();
    void Vymazattabulku1Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void FormClose();
    void BuildControls();
    void ApplyCaptionSet(const core::CaptionSet& set);

    // The one place a command's failure ends: its message is shown, what it wrote stays,
    // and the window goes on.
    void Run(const std::function<void()>& command);
    void ShowMessage(const QString& text);
    // The result labels, the verdict and the line about what the calculation missed.
    void ShowResults();
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
    StringGrid* FocusedInputGrid() const;

    core::Session session_;
    Workspace& ws_ = session_.ws;
    QString programFolder_;
    QString lastFileName_;
    QString openFilter_;
    QString saveFilter_;
    std::deque<std::optional<QString>> nextFileNames_;
    std::deque<SaveAnswer> nextSaveAnswers_;
    MessageSink messageSink_;
    std::vector<std::string> startNotices_;  // said once the window is first shown
    bool shown_ = false;
    int setIndex_ = core::kUniversalSet;  // the set the coefficient grid holds
    core::CoefficientSnapshot savedCoefficients_;
    std::optional<CalculationGaps> gaps_;  // of the current result
    QTranslator qtTranslator_;
    bool qtTranslatorInstalled_ = false;

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
    std::array<StyledCheckBox*, kEquationCount> cb_{};
    std::array<QLabel*, kEquationCount> result_{};
    std::array<QPushButton*, 5> buttons_{};  // Button1 .. Button5
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Editovat1 = nullptr;
    QAction* Uloit1 = nullptr;
    QAction* Vloit1 = nullptr;
    QAction* Vymazattabulku1 = nullptr;
};

}  // namespace morvik::app
