#pragma once

#include <cstdint>

namespace orvik {

// Numbers of the application's own resource texts.
enum ResourceText : uint32_t {
    kTextLibraryLoadFailed = 50100, // "%s %s" with the library file name follows
    kTextLibraryLoadCaption = 50101,
    kTextMemoryShort = 50102,
    kTextNeed256Colours = 50103,
    kTextServicesFailed = 50104,
    kTextSplashLine = 50105,
    kTextUndo = 50130,
    kTextRedo = 50131,
    kTextNothingToUndo = 50132,
    kTextNothingToRedo = 50133,
    kTextVideoExtension = 50294,
    kTextMusicExtension = 50297,
    kTextTitleExtension = 50298,
    kTextSceneExtension = 50299,
    kTextSoundExtension = 50300,
    kTextUntitled = 61443,
};

} // namespace orvik
