#include "app/render_options.h"

#include "scenario/run_request.h"
#include "text/input_error.h"
#include "text/message_text.h"
#include "video/video_format.h"

#include <QCommandLineParser>

#include <charconv>
#include <cmath>
#include <limits>

namespace velmora {
namespace {

constexpr int maxSide = 8192;
constexpr int maxFps = 240;

struct OptionText {
    const char* name;
    const char* value;
    const char* help;
};

// Written for --help and for the man page made from it: what each option does, its default and its range.
constexpr OptionText renderOptions[] = {
    {"render", "SCENARIO.json",
     "Render the run of a scenario file as a video, off screen (no display needed), and exit."},
    {"out", "FILE",
     "With --render: where the video goes. Its extension picks the format: .mp4 (H.264), .webm (VP9), .gif, or "
     "no extension for a folder of numbered PNG frames; the first three need ffmpeg. An existing file is "
     "replaced only by a complete video, and a folder only when it holds nothing but frames."},
    {"view", "left|right|both", "With --render: which view to draw; both puts them side by side (default left)."},
    {"size", "WxH",
     "With --render: the video's size in pixels, 16 to 8192 a side (default 1280x720); MP4 and WebM need even "
     "sides, both views an even width."},
    {"fps", "N", "With --render: frames per second, 1 to 240 (default 25)."},
    {"speed", "S", "With --render: simulated seconds per second of video (default 1, real time)."},
    {"steps", "N", "With --render: run N steps of 0.01 s (default: until the longest plan has ended)."},
    {"duration", "S", "With --render: run S simulated seconds instead of --steps."},
    {"distance", "D", "With --render: the camera's distance from the middle of the box (default 750)."},
    {"orbit", "AZ,EL",
     "With --render: turn the camera AZ degrees about the world's up axis and EL degrees about the view's "
     "horizontal axis, as dragging right and down with the left button does (default 0,0)."},
    {"right-distance", "D", "With --render: the right view's camera distance (default: --distance)."},
    {"right-orbit", "AZ,EL", "With --render: the right view's camera turn (default: --orbit)."},
    {"no-caption", nullptr,
     "With --render: leave out the caption (time, links and groups, as the dialog's readout says them)."},
};

std::string quoted(const QString& text) { return "'" + excerpt(text.toStdString()) + "'"; }

double number(const QString& option, const QString& text)
{
    const std::string s = text.trimmed().toStdString();
    double value = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc{} || end != s.data() + s.size() || !std::isfinite(value))
        throw InputError("--" + option.toStdString() + ": " + quoted(text) + " is not a number");
    return value;
}

double positive(const QString& option, const QString& text)
{
    const double value = number(option, text);
    if (value <= 0.0)
        throw InputError("--" + option.toStdString() + ": " + quoted(text) + " must be more than 0");
    return value;
}

std::int64_t wholeNumber(const QString& option, const QString& text, std::int64_t low, std::int64_t high)
{
    const std::string s = text.trimmed().toStdString();
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc{} || end != s.data() + s.size() || value < low || value > high)
        throw InputError("--" + option.toStdString() + ": " + quoted(text) + " is not a whole number from " +
                         std::to_string(low) + " to " + std::to_string(high));
    return value;
}

QSize frameSize(const QString& text)
{
    const QStringList sides = text.split(QLatin1Char('x'));
    if (sides.size() != 2)
        throw InputError("--size: " + quoted(text) + " is not WIDTHxHEIGHT, such as 1280x720");
    return {static_cast<int>(wholeNumber("size", sides[0], 16, maxSide)),
            static_cast<int>(wholeNumber("size", sides[1], 16, maxSide))};
}

void readOrbit(const QString& option, const QString& text, CameraPlacement& camera)
{
    const QStringList angles = text.split(QLatin1Char(','));
    if (angles.size() != 2)
        throw InputError("--" + option.toStdString() + ": " + quoted(text) +
                         " is not AZ,EL in degrees, such as 30,-20");
    camera.azimuthDeg = number(option, angles[0]);
    camera.elevationDeg = number(option, angles[1]);
}

RenderedViews views(const QString& text)
{
    if (text == QLatin1String("left"))
        return RenderedViews::left;
    if (text == QLatin1String("right"))
        return RenderedViews::right;
    if (text == QLatin1String("both"))
        return RenderedViews::both;
    throw InputError("--view: " + quoted(text) + " is none of left, right, both");
}

}  // namespace

void addRenderOptions(QCommandLineParser& parser)
{
    for (const OptionText& option : renderOptions) {
        QCommandLineOption o(QString::fromLatin1(option.name), QString::fromLatin1(option.help));
        if (option.value != nullptr)
            o.setValueName(QString::fromLatin1(option.value));
        parser.addOption(o);
    }
}

std::optional<RenderRequest> readRenderOptions(const QCommandLineParser& parser)
{
    if (!parser.isSet(QStringLiteral("render"))) {
        for (const OptionText& option : renderOptions)
            if (parser.isSet(QString::fromLatin1(option.name)))
                throw InputError(std::string("--") + option.name + " is an option of --render");
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty())
        throw InputError("--render takes its scenario file as its value; " +
                         quoted(parser.positionalArguments().front()) + " is one file too many");
    const auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    const auto isSet = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };

    RenderRequest r;
    r.scenarioPath = value("render").toStdString();
    if (!isSet("out"))
        throw InputError("--render needs --out, the video to write (.mp4, .webm, .gif, or a folder of PNG frames)");
    r.outPath = value("out").toStdString();
    r.format = videoFormatFor(r.outPath);
    if (isSet("view"))
        r.views = views(value("view"));
    if (isSet("size"))
        r.size = frameSize(value("size"));
    if (isSet("fps"))
        r.fps = static_cast<int>(wholeNumber("fps", value("fps"), 1, maxFps));
    if (isSet("speed"))
        r.speed = positive("speed", value("speed"));
    // Read and checked as velmora-sim run reads them.
    RunRequest run(runCommandLineNames);
    if (isSet("steps"))
        run.setSteps({value("steps").toStdString()});
    if (isSet("duration"))
        run.setDuration({value("duration").toStdString()});
    r.steps = run.steps();
    if (isSet("distance"))
        r.left.distance = positive("distance", value("distance"));
    if (isSet("orbit"))
        readOrbit("orbit", value("orbit"), r.left);
    r.right = r.left;
    if (isSet("right-distance"))
        r.right.distance = positive("right-distance", value("right-distance"));
    if (isSet("right-orbit"))
        readOrbit("right-orbit", value("right-orbit"), r.right);
    r.caption = !isSet("no-caption");

    const bool evenWidth = needsEvenSize(r.format) || r.views == RenderedViews::both;
    if ((evenWidth && r.size.width() % 2 != 0) || (needsEvenSize(r.format) && r.size.height() % 2 != 0))
        throw InputError("--size: " + quoted(value("size")) + " needs an even " +
                         (r.size.width() % 2 != 0 ? "width" : "height") + " for " +
                         (needsEvenSize(r.format) ? std::string(videoFormatName(r.format)) : "both views"));
    return r;
}

}  // namespace velmora
