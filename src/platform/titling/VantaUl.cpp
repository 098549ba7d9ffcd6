#include "platform/titling/VantaUl.h"

#include <cstring>

namespace orvik {

namespace {

// Headless: nobody composes, so every composition is cancelled.
class HeadlessTitleComposer : public TitleComposer {
public:
    int Compose(VantaUl&) override { return 0; }
};

HeadlessTitleComposer headlessComposer;
TitleComposer* currentComposer = nullptr;

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

TitleComposer& TitleComposer::Current() {
    return currentComposer ? *currentComposer : headlessComposer;
}

void TitleComposer::Install(TitleComposer* composer) {
    currentComposer = composer;
}

VantaUl::VantaUl(const std::string& productName, void* window, VantaUlCallback* callback)
    : productName_(productName), window_(window), callback_(callback) {
    document_.frameWidth = tvWidth_;
    document_.frameHeight = tvHeight_;
}

VantaUl::~VantaUl() = default;

int VantaUl::Fail(const std::string& why) {
    error_ = why;
    return 0;
}

int VantaUl::SetAspectRatio(int x, int y) {
    if (x < 1 || y < 1)
        return Fail("invalid aspect ratio");
    aspectX_ = x;
    aspectY_ = y;
    return 1;
}

int VantaUl::SetFileExtension(const std::string& extension, const std::string& description) {
    if (extension.size() < 2 || extension[0] != '.')
        return Fail("invalid file extension '" + extension + "'");
    extension_ = extension;
    description_ = description;
    return 1;
}

int VantaUl::SetTvSize(int width, int height) {
    if (width < 1 || height < 1 || width > TitleDocument::kMaxFrame ||
        height > TitleDocument::kMaxFrame)
        return Fail("invalid TV size");
    tvWidth_ = width;
    tvHeight_ = height;
    if (document_.texts.empty() && document_.fillAlpha == 0) {
        document_.frameWidth = width;
        document_.frameHeight = height;
    }
    return 1;
}

int VantaUl::SetFilename(const std::string& name) {
    filename_ = name;
    return 1;
}

int VantaUl::SetPrivateData(const uint8_t* data, size_t size) {
    if (!data || size == 0) {
        document_ = TitleDocument();
        document_.frameWidth = tvWidth_;
        document_.frameHeight = tvHeight_;
        return 1;
    }
    std::string why;
    TitleDocument d;
    if (!d.Decode(data, size, &why))
        return Fail(why);
    document_ = std::move(d);
    return 1;
}

const uint8_t* VantaUl::GetPrivateData() {
    privateData_ = document_.Encode();
    return privateData_.data();
}

uint32_t VantaUl::GetPrivateDataSize() {
    return static_cast<uint32_t>(document_.Encode().size());
}

std::string VantaUl::GetTextString() const {
    return document_.PlainText();
}

int VantaUl::SetBackground(const uint8_t* packedBitmap, size_t size) {
    if (!packedBitmap || size == 0) {
        background_.clear();
        return 1;
    }
    if (size < 40 || Get32(packedBitmap) != 40)
        return Fail("invalid background bitmap");
    background_.assign(packedBitmap, packedBitmap + size);
    return 1;
}

const uint8_t* VantaUl::Render(int width, int height) {
    if (width == 0)
        width = tvWidth_;
    if (height == 0)
        height = tvHeight_;
    if (width < 1 || height < 1 || int64_t(width) * height > kMaxRenderPixels) {
        Fail("invalid render size");
        return nullptr;
    }
    const size_t stride = 4 * static_cast<size_t>(width);
    const size_t imageBytes = stride * static_cast<size_t>(height);
    std::vector<uint32_t> block((40 + imageBytes + 3) / 4, 0);
    uint8_t* header = reinterpret_cast<uint8_t*>(block.data());
    uint8_t* bits = header + 40;
    // Drawn top-down, then stored bottom-up as bitmaps are.
    std::vector<uint8_t> topDown(imageBytes);
    if (!document_.RenderInto(topDown.data(), width, height, static_cast<int>(stride))) {
        Fail("no font to draw the title with");
        return nullptr;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(bits + (height - 1 - y) * stride, topDown.data() + y * stride, stride);
    Put32(header, 40);
    Put32(header + 4, static_cast<uint32_t>(width));
    Put32(header + 8, static_cast<uint32_t>(height));
    header[12] = 1;  // planes
    header[14] = 32; // bit count
    Put32(header + 20, static_cast<uint32_t>(imageBytes));
    rendered_ = std::move(block);
    return reinterpret_cast<const uint8_t*>(rendered_.data());
}

int VantaUl::Compose() {
    (void)window_;
    (void)aspectX_;
    (void)aspectY_;
    return TitleComposer::Current().Compose(*this);
}

} // namespace orvik
