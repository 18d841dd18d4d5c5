// Benchmarks that render need a window system. Without a display they report themselves skipped, so the
// simulation benchmarks still run on a headless machine; `xvfb-run build/bin/velmora-bench` runs them all.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <memory>

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::unique_ptr<QApplication> app;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        app = std::make_unique<QApplication>(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
