#pragma once

#include "model/RefPtr.h"

#include <cstdint>
#include <string>

namespace orvik {

class MediaFile;

// The shared opener of media files.

// A reader of stream `streamIndex` of kind `kind` (0 video, 1 sound) of
// `name`; never null: a plain MediaFile that is not open when nothing could
// open the file. A file with the program's video extension (resource text
// 50294) is tried as AVI first, any other sound file as WAVE first.
RefPtr<MediaFile> OpenMediaFile(const std::string& name, int32_t kind, int32_t streamIndex);

// The shared, open reader of that stream, or null when the file does not
// exist or does not open. One shared reader is kept for sound and one for
// video; asking for another file or stream replaces it. A holder's reference
// keeps a replaced reader alive. The slots are locked, so any thread may ask.
RefPtr<MediaFile> GetMediaFile(const std::string& name, int32_t kind, int32_t streamIndex);

// Closes and drops both shared readers; called before a file that may be
// open is rewritten or deleted, and at exit.
void ReleaseMediaFiles();

// True when the extension of `name`, lower-cased, is ".mpg", ".mpv" or
// ".m1v" (files that get no waveform display).
bool IsMpegFileName(const std::string& name);

} // namespace orvik
