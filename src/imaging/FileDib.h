#pragma once

#include "imaging/Dib.h"

#include <string>

namespace orvik {

// A picture loaded from a file the way graphics are: a title through the
// titler when one exists, a ".ttr" title image (a picture followed, for
// "Tit30.00", by its 8-bit alpha mask), or a plain bitmap file.
//
// A ".ttr" title image is the 8-byte magic and then one or two complete
// bitmap files.
class FileDib : public Dib {
    ORVIK_DECLARE_SERIAL(FileDib)
public:
    enum TitleImageKind { notTitleImage = 0, pictureAndAlpha = 1, pictureOnly = 2 };
    static constexpr const char* kMagicWithAlpha = "Tit30.00";
    static constexpr const char* kMagicPictureOnly = "Tit30.01";
    static constexpr int kMagicSize = 8;

    FileDib() = default;

    int LoadFromFile(const std::string& path) override;
    // The alpha mask of a ".ttr" title image: its second bitmap, or for a
    // picture-only image an opaque 8-bit mask of the picture's size.
    int LoadTtrAlpha(const std::string& path);

    // The kind of title image `path` is (extension ".ttr" in any case and
    // one of the two magics).
    static TitleImageKind GetTitleImageKind(const std::string& path);
    // Whether an extension (with its dot) names a picture file: ".bmp",
    // ".ttr" or the titles' own extension.
    static bool IsPictureExtension(const std::string& extension);
};

} // namespace orvik
