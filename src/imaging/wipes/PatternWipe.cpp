#include "imaging/wipes/PatternWipe.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "platform/archive/Archive.h"
#include "platform/fs/File.h"
#include "platform/gdi/DrawContext.h"
#include "platform/gdi/VectorDrawing.h"

#include <cstring>
#include <filesystem>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(PatternWipe, Wipe, kVersionableSchema | 1)

namespace {

constexpr double kMaxScale = 20;
constexpr uintmax_t kMaxDrawingBytes = 1 << 20;

// The drawing centred in the frame at a scale of the frame's width.
Rect ScaledRect(int width, int height, double scale, double aspect) {
    const int w = static_cast<int>(width * scale);
    const int h = static_cast<int>(width * scale * aspect);
    const int left = (width - w) / 2, top = (height - h) / 2;
    return Rect(left, top, left + w, top + h);
}

// Whether the drawing, white on black, covers every pixel of the frame.
bool Covers(const VectorDrawing& drawing, Dib& probe, double scale, double aspect) {
    const int w = probe.Width(), h = probe.AbsHeight();
    probe.Set(0);
    DrawContext dc;
    dc.SelectBuffer(probe.Buffer());
    dc.SetBrush(Grey(255));
    dc.SetPen(Grey(255));
    dc.PlayDrawing(drawing, ScaledRect(w, h, scale, aspect));
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = probe.PixelAddress(0, y);
        for (int x = 0; x < w; ++x)
            if (row[x] != 255)
                return false;
    }
    return true;
}

} // namespace

PatternWipe* PatternWipe::FromFile(const std::string& path) {
    PatternWipe* wipe = new PatternWipe;
    wipe->path_ = path;
    return wipe;
}

void PatternWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(path_);
        ar.WriteInt32(resourceNumber_);
    } else {
        path_ = ar.ReadText();
        resourceNumber_ = ar.ReadInt32();
    }
}

std::string PatternWipe::GetName() const {
    std::string name = GetEffectNumber() > 0 ? ResourceText(GetEffectNumber()) : std::string();
    return name.empty() ? path_ : name;
}

bool PatternWipe::LoadDrawing(VectorDrawing& drawing) const {
    std::string error;
    if (resourceNumber_ > 0 || !resourceName_.empty()) {
        const ResourceLibraries* libs = ResourceLibraries::Current();
        if (!libs)
            libs = Dib::GetResourceLibraries();
        const std::vector<uint8_t>* bytes = nullptr;
        if (libs)
            bytes = resourceNumber_ > 0
                        ? libs->FindData(static_cast<uint32_t>(resourceNumber_))
                        : libs->Find(ResourceLibrary::data, resourceName_);
        if (!bytes) {
            LogMessage("Can't find emf resource\n");
            return false;
        }
        if (!drawing.Parse(bytes->data(), bytes->size(), &error)) {
            LogMessage("PatternWipe: drawing resource %d: %s\n", resourceNumber_, error.c_str());
            return false;
        }
        return true;
    }
    // A drawing is a small text file; a project may name any path at all.
    std::string text;
    std::error_code ec;
    if (path_.empty() || !std::filesystem::is_regular_file(path_, ec) ||
        std::filesystem::file_size(path_, ec) > kMaxDrawingBytes || ec ||
        !File::ReadAll(path_, text, &error)) {
        LogMessage("PatternWipe: can't read drawing %s\n", path_.c_str());
        return false;
    }
    if (!drawing.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error)) {
        LogMessage("PatternWipe: drawing %s: %s\n", path_.c_str(), error.c_str());
        return false;
    }
    return true;
}

double PatternWipe::CoveringScale(const VectorDrawing& drawing, int width, int height,
                                  double aspect) {
    RefPtr<Dib> probe = new Dib;
    if (!probe->Create(width, height, 8))
        return kMaxScale;
    probe->SetColorRamp(256, Grey(0), Grey(255));
    // Doubling up to the first scale that covers, then halving the interval
    // below it until its ends lie within 1 %.
    double lo = 0.5, hi = 1;
    while (!Covers(drawing, *probe, hi, aspect)) {
        if (hi >= kMaxScale)
            return kMaxScale;
        lo = hi;
        hi = std::min(hi * 2, kMaxScale);
    }
    for (;;) {
        double mid = (lo + hi) / 2;
        if (lo / mid >= 0.99)
            break;
        if (Covers(drawing, *probe, mid, aspect))
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

int PatternWipe::CreateAlphaDib(Dib& image) {
    VectorDrawing drawing;
    if (!LoadDrawing(drawing))
        return 0;
    const int W = image.Width(), H = image.AbsHeight();
    const double aspect = scale_ / 65536.0;
    const double S = CoveringScale(drawing, W, H, aspect);

    image.Set(0);
    DrawContext dc;
    dc.SelectBuffer(image.Buffer());
    Rect previous;
    for (int i = noZero_ ? 1 : 0; i <= 255; ++i) {
        const double scale = S + i * (4.0 / W - S) / 255;
        const Rect rect = ScaledRect(W, H, scale, aspect);
        if (rect == previous && i != 255)
            continue;
        previous = rect;
        dc.SetBrush(Grey(static_cast<uint8_t>(i)));
        dc.SetPen(Grey(static_cast<uint8_t>(i)));
        if (!dc.PlayDrawing(drawing, rect)) {
            LogMessage("EnumEnhMetaFile failed\n");
            return 0;
        }
    }
    return 1;
}

void PatternWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("path", path_);
    out.Add("resourceNumber", int64_t{resourceNumber_});
}

} // namespace orvik
