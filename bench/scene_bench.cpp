#include "app/main_dialog.h"
#include "view/formation_drawable.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace velmora {
namespace {

// An orbit drag over empty space in the main dialog's left view: the camera turns and both views render
// again, with as many craft as the count says.
void MouseMoveRendersBothViews(benchmark::State& state)
{
    FormationDrawables drawables;
    MainDialog dialog(drawables);
    dialog.countEdit()->setText(QString::number(state.range(0)));
    dialog.maxSpeedEdit()->setText(QStringLiteral("5"));
    dialog.fovEdit()->setText(QStringLiteral("70"));
    dialog.tiltEdit()->setText(QStringLiteral("45"));
    dialog.OnSetupCraft();
    dialog.show();
    GLView& view = dialog.leftGLView();
    while (!view.isExposed() || !dialog.rightGLView().isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);

    // The top-left corner is clear of the craft this set-up places.
    const QPointF points[] = {{4.0, 4.0}, {8.0, 6.0}};
    int k = 0;
    const auto leftOut = [&] {
        ThinnedShapes::Counters sum = drawables.left.glyph.thinningCounters();
        return sum += drawables.right.glyph.thinningCounters();
    };
    const ThinnedShapes::Counters before = leftOut();
    for (auto _ : state) {
        QMouseEvent move(QEvent::MouseMove, points[k], view.mapToGlobal(points[k]), Qt::NoButton, Qt::LeftButton,
            Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &move);
        k = 1 - k;
    }
    if (dialog.leftCameraController().lastFlags != MK_LBUTTON)
        state.SkipWithError("the moves did not reach the camera");
    state.counters["viewWidth"] = view.width();
    state.counters["viewHeight"] = view.height();
    // Of the 3,120 triangles of each sphere drawn, how many a rendering left out: hidden behind the sphere's
    // front, or covering no pixel centre.
    const ThinnedShapes::Counters after = leftOut();
    const double renderings = 2.0 * static_cast<double>(state.iterations());
    state.counters["hiddenPerRendering"] =
        static_cast<double>(after.sphereTrianglesHidden - before.sphereTrianglesHidden) / renderings;
    state.counters["uncoveredPerRendering"] =
        static_cast<double>(after.sphereTrianglesUncovered - before.sphereTrianglesUncovered) / renderings;
    // Of the 800 of each cone stub and ring, those covering no pixel centre.
    state.counters["stubRingUncoveredPerRendering"] =
        static_cast<double>(after.cylinderTrianglesUncovered - before.cylinderTrianglesUncovered) / renderings;
}
BENCHMARK(MouseMoveRendersBothViews)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora
