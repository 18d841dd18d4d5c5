#include "app/video_render.h"

#include "app/formation_readout.h"
#include "app/rendered_view.h"
#include "app/termination_signals.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "text/input_error.h"
#include "text/provenance.h"
#include "video/video_caption.h"
#include "video/video_writer.h"

#include <QPainter>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace velmora {
namespace {

// A run longer than this many frames (eleven hours at 25 frames a second) comes from a mistaken speed.
constexpr std::int64_t maxFrames = 1'000'000;

nlohmann::ordered_json cameraJson(const CameraPlacement& c)
{
    return {{"distance", c.distance}, {"orbit", {c.azimuthDeg, c.elevationDeg}}};
}

const char* viewsName(RenderedViews views)
{
    switch (views) {
    case RenderedViews::left: return "left";
    case RenderedViews::right: return "right";
    case RenderedViews::both: return "both";
    }
    return "";
}

// Frame k shows the formation after this many steps: k frames of video time at the request's speed, in whole
// steps, never past the run's last.
std::int64_t stepOfFrame(std::int64_t k, const RenderRequest& r, std::int64_t lastStep)
{
    const double steps = std::round(static_cast<double>(k) * r.speed / (r.fps * stepSeconds));
    return steps >= static_cast<double>(lastStep) ? lastStep : static_cast<std::int64_t>(steps);
}

// Frames from step 0 up to the first that shows the last step.
std::int64_t frameCount(const RenderRequest& r, std::int64_t lastStep)
{
    const double perFrame = r.speed / (r.fps * stepSeconds);
    const double frames = std::ceil(static_cast<double>(lastStep) / perFrame) + 1.0;
    if (!(frames <= static_cast<double>(maxFrames)))
        throw InputError("the run would take more than " + std::to_string(maxFrames) +
                         " frames; raise --speed or lower --fps");
    auto n = static_cast<std::int64_t>(frames);
    while (n > 1 && stepOfFrame(n - 2, r, lastStep) >= lastStep)
        --n;
    while (stepOfFrame(n - 1, r, lastStep) < lastStep)
        ++n;
    return n;
}

void checkInterrupted()
{
    if (const int signal = TerminationSignals::received())
        throw RenderInterrupted{signal};
}

// "frame 12 of 490" over itself on a terminal, never into a log; a rendering that ends early ends the line, so
// what is said next starts a line of its own.
class Progress {
public:
    explicit Progress(std::int64_t frames) : frames_(frames) {}
    ~Progress()
    {
        if (shown_ && !done_)
            std::fputc('\n', stderr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(std::int64_t frame)
    {
        static const bool terminal = ::isatty(STDERR_FILENO) == 1;
        if (!terminal)
            return;
        shown_ = true;
        done_ = frame + 1 == frames_;
        std::fprintf(stderr, "\rvelmora: frame %lld of %lld%s", static_cast<long long>(frame + 1),
                     static_cast<long long>(frames_), done_ ? "\n" : "");
        std::fflush(stderr);
    }

private:
    std::int64_t frames_;
    bool shown_ = false;
    bool done_ = false;
};

}  // namespace

void renderVideo(const RenderRequest& r, const std::vector<std::string>& command)
{
    const Scenario scenario = loadScenarioFile(r.scenarioPath);
    Formation formation;
    Rand15 rng(scenario.seed);
    setUpFormation(scenario, formation, rng);
    requireFiniteState(formation, "after set-up");
    const std::int64_t lastStep = r.steps ? *r.steps : stepsToPlanEnd(formation);
    const std::int64_t frames = frameCount(r, lastStep);

    nlohmann::ordered_json provenance = provenanceJson(command);
    provenance["parameters"] = scenarioToJson(scenario, true);
    provenance["video"] = {{"view", viewsName(r.views)},
                           {"size", {r.size.width(), r.size.height()}},
                           {"fps", r.fps},
                           {"speed", r.speed},
                           {"steps", lastStep},
                           {"frames", frames},
                           {"caption", r.caption},
                           {"cameras", {{"left", cameraJson(r.left)}, {"right", cameraJson(r.right)}}}};
    const std::unique_ptr<VideoWriter> video = openVideo(VideoSettings{
        r.outPath, r.format, r.size, r.fps, provenance, [] { return TerminationSignals::received() != 0; }});

    const bool both = r.views == RenderedViews::both;
    const QSize viewSize(both ? r.size.width() / 2 : r.size.width(), r.size.height());
    std::unique_ptr<RenderedView> left;
    std::unique_ptr<RenderedView> right;
    if (r.views != RenderedViews::right)
        left = std::make_unique<RenderedView>(viewSize, formation, r.left);
    if (r.views != RenderedViews::left)
        right = std::make_unique<RenderedView>(viewSize, formation, r.right);

    FormationReadout readout;
    readout.reset(formation);
    QImage frame(r.size, QImage::Format_RGB32);
    Progress progress(frames);
    std::int64_t step = 0;
    for (std::int64_t k = 0; k < frames; ++k) {
        for (const std::int64_t target = stepOfFrame(k, r, lastStep); step < target; ++step) {
            formation.step(stepSeconds);
            readout.noteStepped(formation);
        }
        requireFiniteState(formation, ("after step " + std::to_string(step)).c_str());
        if (left)
            left->view.render();
        if (right)
            right->view.render();
        if (both) {
            QPainter painter(&frame);
            painter.drawImage(0, 0, left->view.lastFrame());
            painter.drawImage(viewSize.width(), 0, right->view.lastFrame());
        } else {
            frame = (left ? left : right)->view.lastFrame().copy();
        }
        if (r.caption)
            drawCaption(frame, QString::fromStdString(readout.text(formation)));
        video->addFrame(frame, {{"frame", k}, {"step", step}, {"time", formation.time()}});
        progress.show(k);
        checkInterrupted();
    }
    video->finish();
}

}  // namespace velmora
