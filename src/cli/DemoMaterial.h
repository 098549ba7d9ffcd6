#pragma once

#include "model/RefPtr.h"
#include "model/Time.h"

#include <string>
#include <vector>

namespace orvik {

class Movie;

// Material the demo makes for itself: a captured "tape" of synthetic footage
// with distinct scenes and sound, a sound effect and a picture.
struct DemoMaterial {
    std::string tape;    // motion-JPEG AVI with PCM sound
    std::string sound;   // WAV sound effect
    std::string picture; // bitmap graphic
    // Where each scene lies in the tape, in movie time.
    std::vector<std::pair<Time, Time>> scenes;
};

// Writes the material into `folder`; false with the reason in `error`.
bool MakeDemoMaterial(const std::string& folder, DemoMaterial& out, std::string& error);

// A movie of the tape's scenes with a transition, a picture over the video,
// the sound effect and generated music.
RefPtr<Movie> BuildDemoMovie(const DemoMaterial& material);

} // namespace orvik
