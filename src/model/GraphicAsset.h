#pragma once

#include "model/Asset.h"
#include "imaging/Dib.h"

#include <cstdint>
#include <functional>

namespace orvik {

// A still picture: a bitmap file, a title, or a picture built into the
// program (`resourceId` not 0). Its duration is set by whoever places it.
class GraphicAsset : public Asset {
    ORVIK_DECLARE_SERIAL(GraphicAsset)
public:
    GraphicAsset() = default;
    GraphicAsset(const std::string& fileName, Time duration, int32_t resourceId = 0);
    GraphicAsset(const GraphicAsset& other) = default;

    void Serialize(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override;

    int GetKind() const override { return kindGraphic; }
    int GetNaturalTrack() const override { return 1; }
    // Clips placed from the album get a private copy of the picture file.
    bool WantsWorkingCopy() const override { return true; }

    int32_t GetResourceId() const { return resourceId_; }

    // The picture at this size and depth (24 when 0): cached while the size
    // stays; a picture that cannot be loaded is white (and logged); other
    // shapes are centred on a 4:3 canvas of their top-left colour and scaled.
    RefPtr<Dib> GetPicture(int width, int height, int bits);
    int CreatePicon(Dib* picture, Clip* clip, Time offset) override;
    std::string GetKindName(const Clip* clip) const override;
    std::string GetText(const Clip* clip) const override;
    // Whether the file is a title the titling library makes.
    static bool IsTitleFile(const std::string& path);

    // Renders the title file `path` into `picture` at width x height and
    // `bits`; false when it cannot. Installed by the titling service; until
    // then a title shows as a white picture (logged).
    using TitleRenderer =
        std::function<bool(Dib& picture, const std::string& path, int width, int height, int bits)>;
    static void SetTitleRenderer(TitleRenderer renderer);

private:
    int32_t resourceId_ = 0;
    RefPtr<Dib> picture_;
};

} // namespace orvik
