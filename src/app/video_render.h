#pragma once

#include "app/render_options.h"

#include <string>
#include <vector>

namespace velmora {

// A signal asked the rendering to stop; what it had begun to write is gone.
struct RenderInterrupted {
    int signal = 0;
};

// velmora --render's work: sets the scenario up as velmora-sim run does, steps it, and draws every frame off
// screen with the dialog's own views (camera, then formation) into the requested video. Must run with a
// QGuiApplication. Between frames it asks TerminationSignals.
//
// Throws InputError (the scenario, the output's place, a run too long), VideoError or FileError (the encoder
// or a write failed), OffscreenError (no OpenGL) and RenderInterrupted.
void renderVideo(const RenderRequest& request, const std::vector<std::string>& command);

}  // namespace velmora
