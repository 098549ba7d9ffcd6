#pragma once

namespace orvik {

class Registry;

// Keeps the desktop from playing an audio CD by itself while the program
// runs: the machine tree's play command for audio CDs is kept aside in the
// value "save" at start and put back at exit. The key is only opened, never
// made. Registry failures only log.
class AutoCd {
public:
    static constexpr const char* kKeyPath = "SOFTWARE\\Classes\\AudioCD\\shell\\play\\command";
    static constexpr const char* kSavedValue = "save";

    // Keeps a non-empty play command in "save" and clears it. True when the
    // key could be opened.
    static bool Disable(Registry& registry);
    // Puts "save" back as the play command when the command is still empty,
    // then deletes "save". A command set meanwhile is left alone.
    static bool Enable(Registry& registry);
};

} // namespace orvik
