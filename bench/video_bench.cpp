// Frames of velmora --render on this machine's OpenGL without any display (EGL's surfaceless platform; Mesa's
// llvmpipe on the build machine): one 1280x720 frame of ten craft drawn and read back, and the same frame piped
// to ffmpeg for an MP4. Both are timed by the wall clock: llvmpipe draws on threads of its own and ffmpeg encodes
// in a process of its own. The context line "spin loop cores" says how many cores a busy loop got.
#include "app/formation_readout.h"
#include "app/rendered_view.h"
#include "scenario/scenario.h"
#include "sim/default_scene.h"
#include "video/video_caption.h"
#include "video/video_writer.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <thread>
#include <vector>

namespace velmora {
namespace {

const QSize frameSize(1280, 720);

// Ten craft six seconds into an Orlo run, links formed, seen by the dialog's left view as it starts.
class TenCraftView {
public:
    TenCraftView()
    {
        Scenario scenario;
        scenario.count = 10;
        Rand15 rng(scenario.seed);
        setUpFormation(scenario, formation, rng);
        readout.reset(formation);
        for (int k = 0; k < 600; ++k) {
            formation.step(stepSeconds);
            readout.noteStepped(formation);
        }
    }

    // What velmora --render does for a frame but the stepping: draw, read back, caption.
    QImage frame()
    {
        rendered.view.render();
        QImage picture = rendered.view.lastFrame().copy();
        drawCaption(picture, QString::fromStdString(readout.text(formation)));
        return picture;
    }

    Formation formation;
    FormationReadout readout;
    // The dialog's start: the eye at its distance, no orbit.
    RenderedView rendered{frameSize, formation, CameraPlacement{}};
};

void OffscreenFrame(benchmark::State& state)
{
    TenCraftView scene;
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.frame());
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("1280x720, ten craft; items/s = frames/s");
}
BENCHMARK(OffscreenFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void OffscreenFrameToMp4(benchmark::State& state)
{
    TenCraftView scene;
    QTemporaryDir dir;
    auto video = openVideo({(dir.path() + "/bench.mp4").toStdString(), VideoFormat::mp4, frameSize, 25, {}, {}});
    for (auto _ : state)
        video->addFrame(scene.frame(), {});
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("1280x720, ten craft, piped to ffmpeg (H.264); items/s = frames/s");
}
BENCHMARK(OffscreenFrameToMp4)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loops a busy thread counts in a quarter of a second, with one thread and then two: their ratio is how many
// cores this shared machine gives.
double spinLoopCores()
{
    const auto spin = [](std::atomic<long>& total) {
        long n = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
        while (std::chrono::steady_clock::now() < end)
            ++n;
        total += n;
    };
    double rates[2] = {};
    for (int threads = 1; threads <= 2; ++threads) {
        std::atomic<long> total{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back(spin, std::ref(total));
        for (std::thread& w : workers)
            w.join();
        rates[threads - 1] = static_cast<double>(total.load());
    }
    return rates[1] / rates[0];
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // As velmora --render runs: Qt for images and fonts only, OpenGL from EGL.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::AddCustomContext("spin loop cores", std::to_string(velmora::spinLoopCores()));
    benchmark::RunSpecifiedBenchmarks();
    std::fprintf(stderr, "spin loop cores after: %.2f\n", velmora::spinLoopCores());
    benchmark::Shutdown();
    return 0;
}
