// Files into the window: the dialogs, a file named or dropped, workbook sheets and landmark
// specimens to choose, recent files, where the data came from, undo and redo.
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
            const std::vector<int> withData =
                cells->SheetCount() == 0 || core::SheetHoldsLandmarks(*cells, 0)
                    ? std::vector<int>{}
                    : core::SheetsWithLandmarks(*cells);
            if (!withData.empty()) {
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
    // Read once: the specimens' names to ask with, then the one chosen.
    const core::LandmarkFileContents contents = core::LandmarkFileContents::Open(path);
    const std::vector<std::string> specimens = contents.SpecimenNames();
    int index = 0;
    if (specimens.size() > 1) {
        QStringList items;
        for (const std::string& label : core::SpecimenLabels(specimens)) items << Q(label);
        index = ChooseSpecimen(QFileInfo(Q(path)).fileName(), items);
    }
    ClearResult(ws_);
    const core::LandmarkLoadReport report = contents.Load(ws_, index);
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

void TForm1::Remember(const TextTable* table) { history_.Record(ws_, SourceTag(), table); }

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

}  // namespace morvik::app
