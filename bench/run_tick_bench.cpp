// Costs of the desktop program's rendering path on the machine's OpenGL (Mesa's software renderer under
// Xvfb on the build machine). Needs an X display.
#include "app/main_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

namespace velmora {
namespace {

// The dialog shown and exposed, with n Orlo craft set up.
class ShownDialog {
public:
    explicit ShownDialog(int n)
    {
        dialog.setMessageSink([](const QString&) {});
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            throw std::runtime_error("the dialog was never exposed");
        QTest::qWait(50);
        dialog.algorithmListBox()->setCurrentIndex(0);
        dialog.countEdit()->setText(QString::number(n));
        dialog.maxSpeedEdit()->setText(QStringLiteral("5"));
        dialog.fovEdit()->setText(QStringLiteral("70"));
        dialog.tiltEdit()->setText(QStringLiteral("45"));
        dialog.OnSetupCraft();
    }

    FormationDrawables drawables;
    MainDialog dialog{drawables};
};

// One timer tick of a continuous run: ten simulation steps and both views painted, four renderings.
void RunTick(benchmark::State& state)
{
    ShownDialog shown(static_cast<int>(state.range(0)));
    MainDialog& dialog = shown.dialog;
    const double planEnd = dialog.formationState().plan(0).totalDuration();
    dialog.OnRunAlgorithm();
    for (auto _ : state) {
        dialog.OnTimer(dialog.runTimerId());
        // Stay inside the plans so every step turns craft, as during a real run.
        if (dialog.formationState().time() > planEnd) {
            state.PauseTiming();
            dialog.OnSetupCraft();
            dialog.OnRunAlgorithm();
            state.ResumeTiming();
        }
    }
    state.SetLabel(QStringLiteral("views %1x%2")
                       .arg(dialog.leftGLView().width())
                       .arg(dialog.leftGLView().height())
                       .toStdString());
}
BENCHMARK(RunTick)->Arg(10)->Unit(benchmark::kMillisecond);

// One rendering of one view, frame read back included.
void ViewRendering(benchmark::State& state)
{
    ShownDialog shown(10);
    GLView& view = shown.dialog.leftGLView();
    GLView* linked = view.linkedView;
    view.linkedView = nullptr;
    for (auto _ : state)
        view.paint();
    view.linkedView = linked;
}
BENCHMARK(ViewRendering)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
