#include "platform/audio/SoundOutput.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace orvik {

bool SoundOutputAvailable(std::string* driver) {
    if (driver)
        driver->clear();
    // Only the audio part of the library is started, and stopped again: the
    // player opens it for itself.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    const char* name = SDL_GetCurrentAudioDriver();
    bool silentDriver = name && (strcmp(name, "dummy") == 0 || strcmp(name, "disk") == 0);
    if (driver && name)
        *driver = name;
    // -1: the driver cannot list its devices, but it opened and has a
    // default one.
    int devices = SDL_GetNumAudioDevices(0);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return silentDriver || devices != 0;
}

} // namespace orvik
