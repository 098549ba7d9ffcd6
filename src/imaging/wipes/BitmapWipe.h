#pragma once

#include "imaging/wipes/Wipe.h"

#include <mutex>
#include <string>

namespace orvik {

// A pattern taken from a picture: a bitmap of the resource libraries, or a
// bitmap file (looked for in the wipe folder too), scaled to the frame in
// grey. A file's dark areas turn first, a resource's light ones.
class BitmapWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(BitmapWipe)
public:
    BitmapWipe() = default;
    BitmapWipe(int32_t effectNumber, double piconLow, double piconHigh, const std::string& path,
               int32_t resourceNumber)
        : Wipe(effectNumber, piconLow, piconHigh), path_(path), resourceNumber_(resourceNumber) {}
    BitmapWipe(const BitmapWipe& other);

    RefObject* Clone() const override { return new BitmapWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    // The name text, else the picture's file name after its first "_".
    std::string GetName() const override;

    std::string GetPath() const;
    int32_t GetResourceNumber() const { return resourceNumber_; }

    // The folder of the wipe pictures the album offers: "Wipes" beside the
    // program unless set.
    static std::string WipeFolder();
    static void SetWipeFolder(const std::string& folder);

private:
    // The path is read by the user interface while a pattern is drawn on a
    // streaming thread, which may correct it.
    mutable std::mutex pathLock_;
    std::string path_;
    int32_t resourceNumber_ = 0;
};

} // namespace orvik
