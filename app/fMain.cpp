// The window: construction, captions, results, and the commands of its buttons and menus.
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
#include "WindowKit.h"
#include "compute/Compute.h"
#include "compute/Missing.h"
#include "core/Batch.h"
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

using namespace kit;

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

QString TForm1::settingsPath() const {
    return QDir(programFolder_).filePath(Q(core::kSettingsFileName));
}

void TForm1::FormCreate() {
    if (programFolder_.isEmpty()) programFolder_ = QCoreApplication::applicationDirPath();
    {
        const core::IniFile ini(settingsPath().toStdString());
        core::StartAsTheWindow(ws_, ini);
        savedCoefficients_.Take(ws_);
        startNotices_ = core::SettingsNotices(ini, core::kUniversalSet, true, ws_.lang);
        for (core::Notice& notice : core::UseSetModel(ws_, ini, core::kUniversalSet))
            startNotices_.push_back(std::move(notice));
    }
    sgImput->setColumnWidth(0, 118);
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

void TForm1::ShowGapsLine() {
    const std::vector<std::string>& sentences = gapSentences_;
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
    gapSentences_ = std::move(sentences);
    ShowGapsLine();
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

StringGrid* TForm1::FocusedInputGrid() const {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        for (StringGrid* g : {sgImput, sgImput2, sgImput3, sgRozmery}) {
            if (w == g) return g;
        }
    }
    return nullptr;
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
        Remember(&grid->Table());
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
            Remember(&grid->Table());
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
