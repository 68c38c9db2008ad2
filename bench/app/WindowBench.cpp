// Run with QT_QPA_PLATFORM=offscreen (set below when unset).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/fMain.h"

namespace {

using morvik::app::TForm1;

QString ProgramFolder() {
    static QTemporaryDir dir;
    static const bool copied = QFile::copy(QStringLiteral(MORVIK_EXAMPLES_DIR "/Settings.ini"),
                                           dir.filePath("Settings.ini"));
    (void)copied;
    return dir.path();
}

void BM_StartupToFirstShownWindow(benchmark::State& state) {
    const QString folder = ProgramFolder();
    for (auto _ : state) {
        auto form = std::make_unique<TForm1>(folder);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) state.SkipWithError("window not exposed");
        QApplication::processEvents();
        state.PauseTiming();
        form.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToFirstShownWindow)->Unit(benchmark::kMillisecond);

// Both euryon grids filled to the last row a sheet can have, then Calculate.
void BM_FillEuryonGridAndCalculate(benchmark::State& state) {
    TForm1 form(ProgramFolder());
    form.setMessageSink(
        [&](const QString& text) { state.SkipWithError(text.toUtf8().constData()); });
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) state.SkipWithError("window not exposed");
    constexpr int kRows = 65535;
    for (auto _ : state) {
        morvik::Workspace& ws = form.workspace();
        for (morvik::TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
            cloud->SetRowCount(kRows + 1);
            for (int r = 1; r <= kRows; ++r) {
                cloud->SetCell(0, r, std::to_string(r % 97) + ",25");
                cloud->SetCell(1, r, std::to_string(r % 89) + ",5");
                cloud->SetCell(2, r, std::to_string(r % 83));
            }
        }
        form.ShowWorkspace();
        form.Button2Click();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * 2 * kRows);
}
BENCHMARK(BM_FillEuryonGridAndCalculate)->Unit(benchmark::kMillisecond);

// Scrolling a full euryon grid from end to end and painting it.
void BM_ScrollLargeEuryonGrid(benchmark::State& state) {
    TForm1 form(ProgramFolder());
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) state.SkipWithError("window not exposed");
    form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(0);
    morvik::TextTable& cloud = form.workspace().sgImput2;
    cloud.SetRowCount(65536);
    for (int r = 1; r < cloud.RowCount(); ++r) cloud.SetCell(1, r, std::to_string(r));
    form.ShowWorkspace();
    auto* grid = form.findChild<morvik::app::StringGrid*>("sgImput2");
    bool down = true;
    for (auto _ : state) {
        down ? grid->scrollToBottom() : grid->scrollToTop();
        down = !down;
        grid->repaint();
    }
}
BENCHMARK(BM_ScrollLargeEuryonGrid)->Unit(benchmark::kMicrosecond);

// A text file whose first line is one 5 MB cell, loaded and calculated: the conversion
// error ends in a real message box, closed as soon as it runs.
void BM_HugeCellToMessageBox(benchmark::State& state) {
    static QTemporaryDir dir;
    const QString file = dir.filePath("huge-line.txt");
    {
        std::ofstream out(file.toStdString(), std::ios::binary);
        out << "1" << std::string(5 * 1024 * 1024, '7') << "x\t2\t3\r\n";
    }
    TForm1 form(ProgramFolder());
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) state.SkipWithError("window not exposed");
    for (auto _ : state) {
        form.setNextFileName(file);
        form.Button1Click();
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        form.Button2Click();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_HugeCellToMessageBox)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
