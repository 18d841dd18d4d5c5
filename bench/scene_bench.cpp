#include "sim/formation.h"
#include "view/camera_controller.h"
#include "view/formation_drawable.h"
#include "view/gl_view.h"
#include "view/mouse_handler_chain.h"

#include <QGuiApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace velmora {
namespace {

// Two linked views of ten craft, each with its own camera and chain, as the program has them.
struct ViewPair {
    explicit ViewPair(int craft)
    {
        FormationParams params(5.0, 500.0);
        params.craftRadius = 10.0;
        params.ThetaFOV = 1.2217304763960306;
        formation.setParams(params);
        Rand15 rng;
        formation.setup(craft, rng);
        GLView* views[] = {&left, &right};
        for (int i = 0; i < 2; ++i) {
            GLView& view = *views[i];
            cameras[i].frame.setEyeDistance(750.0);
            cameras[i].lightingEnabled = true;
            view.nearPlane = 10.0;
            view.farPlane = 10000.0;
            view.frustumEnabled = true;
            view.frustumTracking = true;
            chains[i].addHandler(&drawables[i]);
            chains[i].addHandler(&cameras[i]);
            view.mouseHandler = &chains[i];
            view.sceneList.push_back(&cameras[i]);
            view.sceneList.push_back(&drawables[i]);
            drawables[i].formation = &formation;
            drawables[i].frustum = &view.frustum;
            view.camera = &cameras[i].frame;
            // The size the dialog gives its views on a common screen.
            view.resize(518, 556);
            view.setPosition(i * 540, 0);
            view.show();
        }
        left.linkedView = &right;
        right.linkedView = &left;
        while (!left.isExposed() || !right.isExposed())
            QGuiApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    Formation formation;
    CameraController cameras[2];
    MouseHandlerChain chains[2];
    FormationDrawable drawables[2];
    GLView left;
    GLView right;
};

// An orbit drag over empty space in the left view: the camera turns and both views render again.
void MouseMoveRendersBothViews(benchmark::State& state)
{
    if (QGuiApplication::instance() == nullptr) {
        state.SkipWithError("needs an X display: run under xvfb-run");
        return;
    }
    ViewPair pair(static_cast<int>(state.range(0)));
    const QPointF points[] = {{10.0, 10.0}, {14.0, 12.0}};
    int k = 0;
    for (auto _ : state) {
        QMouseEvent move(QEvent::MouseMove, points[k], pair.left.mapToGlobal(points[k]), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&pair.left, &move);
        k = 1 - k;
    }
    if (pair.drawables[0].hasSelection)
        state.SkipWithError("the drag picked a craft instead of orbiting");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MouseMoveRendersBothViews)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora
