#pragma once

#include "edit/ClipListCommand.h"

#include <functional>
#include <string>

namespace orvik {

// Composes a new title and places it at a time on the video track (0) or
// the title track (1). Run composes first: when the person cancels, nothing
// changes and no command enters the history.
class NewTitleCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(NewTitleCommand)
public:
    NewTitleCommand() = default;
    // A duration below 1 takes the "Graphic duration" setting.
    NewTitleCommand(Time time, int32_t track, Time duration = -1)
        : time(time), duration(duration), track(track) {}
    uint32_t GetNameId() const override { return 51067; }
    bool CanExecute() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    // Composes the title through the titler and, when it was confirmed and
    // saved, executes the command; whether it did.
    bool Run();

    std::string path;
    std::string name;
    Time time = 0;
    Time duration = -1;
    int32_t track = 1;
};

// Edits the title of the graphic clip at a time on a track and puts the
// edited title (a new file) in its place.
class EditTitleCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(EditTitleCommand)
public:
    EditTitleCommand() = default;
    EditTitleCommand(Time time, int32_t track) : time(time), track(track) {}
    uint32_t GetNameId() const override { return 51068; }
    // A graphic clip is there and its file is a title file.
    bool CanExecute() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    bool Run();

    std::string path;
    std::string name;
    Time time = 0;
    int32_t track = 1;

private:
    Clip* FindClip() const;
};

// Opens the graphics album at a title file the composition saved itself
// (the album installs it while its window shows; nothing happens without
// one). Called on the user-interface thread after the command ran.
using TitleAlbumOpener = std::function<void(const std::string& path)>;
void SetTitleAlbumOpener(TitleAlbumOpener opener);

// The person's title commands; each answers whether a command entered the
// history.
// A new title at the movie's position on the video (0) or title (1) track.
bool NewTitleAtPosition(int32_t track);
// On the timeline: edits the title at (time, track) when there is one, else
// composes a new one there.
bool EditOrNewTitleAt(Time time, int32_t track);
// Edits the title of the first selected clip.
bool EditSelectedTitle();

} // namespace orvik
