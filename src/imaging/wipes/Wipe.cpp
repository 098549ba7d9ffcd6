#include "imaging/wipes/Wipe.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/SettingsBase.h"
#include "imaging/DibSection.h"
#include "model/Clip.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "platform/gdi/Palette.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Wipe, Transition, kVersionableSchema | 1)

namespace {

std::atomic<int> frameWidth{0}, frameHeight{0};

// The grey logical palette every pattern surface is made with.
const Palette& GreyPalette() {
    static const Palette palette = [] {
        Palette p;
        Palette::Entry entries[256];
        for (int i = 0; i < 256; ++i) {
            uint8_t g = static_cast<uint8_t>(i);
            entries[i] = {g, g, g, Palette::kNoCollapse};
        }
        p.Create(entries, 256);
        return p;
    }();
    return palette;
}

// The bytes of a wipe kind's own fields, for comparing two wipes.
std::vector<uint8_t> OwnBytes(const Wipe& wipe) {
    MemFile file;
    {
        Archive ar(file, Archive::store);
        const_cast<Wipe&>(wipe).SerializeOwn(ar);
        ar.Close();
    }
    return file.Bytes();
}

} // namespace

Wipe::Wipe() : Transition(effectWipe, 0) {}

Wipe::Wipe(int32_t effectNumber, double piconLow, double piconHigh)
    : Transition(effectWipe, effectNumber), piconLow_(piconLow), piconHigh_(piconHigh) {}

// A copy keeps the parameters; it draws its own patterns.
Wipe::Wipe(const Wipe& other)
    : Transition(other), noZero_(other.noZero_), piconLow_(other.piconLow_),
      piconHigh_(other.piconHigh_) {}

Wipe::~Wipe() = default;

RefObject* Wipe::Clone() const { return new Wipe(*this); }

void Wipe::Serialize(Archive& ar) {
    Transition::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteDouble(piconLow_);
        ar.WriteDouble(piconHigh_);
        ar.WriteInt32(noZero_);
    } else {
        piconLow_ = ar.ReadDouble();
        piconHigh_ = ar.ReadDouble();
        noZero_ = ar.ReadInt32();
        ClearPattern();
    }
    SerializeOwn(ar);
}

void Wipe::SerializeOwn(Archive&) {}

void Wipe::ListFields(FieldList& out) const {
    Transition::ListFields(out);
    out.Add("piconLow", piconLow_);
    out.Add("piconHigh", piconHigh_);
    out.Add("noZero", int64_t{noZero_});
}

bool Wipe::IsEqual(const Asset* other) const {
    const Wipe* w = DynamicCast<const Wipe>(other);
    if (!w || !Transition::IsEqual(other) || w->GetRuntimeClass() != GetRuntimeClass())
        return false;
    // Bitwise, so that two stored thresholds compare as they were read.
    auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return same(w->piconLow_, piconLow_) && same(w->piconHigh_, piconHigh_) &&
           w->noZero_ == noZero_ && OwnBytes(*w) == OwnBytes(*this);
}

void Wipe::SetNoZero(bool on) {
    noZero_ = on ? 1 : 0;
    ClearPattern();
}

void Wipe::SetFrameSize(int width, int height) {
    frameWidth.store(width);
    frameHeight.store(height);
}

int Wipe::CreateAlphaDib(Dib& image) {
    LogMessage("Wipe::CreateAlphaDib: missing pattern!\n");
    image.Set(0);
    return 0;
}

RefPtr<Dib> Wipe::MakePattern(int width, int height, double scale) {
    if (width < 1 || height < 1 || width > Dib::kMaxDimension || height > Dib::kMaxDimension) {
        LogMessage("Wipe::MakePattern: invalid size %d x %d\n", width, height);
        return nullptr;
    }
    RefPtr<DibSection> section = new DibSection;
    if (!section->CreateDIBSection(width, height, 8, false, &GreyPalette()))
        return nullptr;
    section->SetColorRamp(256, Grey(0), Grey(255));
    std::lock_guard<std::mutex> hold(makeLock_);
    randomState_ = 0;
    width_ = width;
    height_ = height;
    // The scale is kept in 16.16; one that is not a positive number up to 8
    // is taken as the nearest that is.
    double s = std::isfinite(scale) ? scale * 65536 : 65536;
    scale_ = static_cast<int32_t>(std::clamp(s, 1.0, 8.0 * 65536));
    CreateAlphaDib(*section);
    FreeTables();
    return RefPtr<Dib>(section.get());
}

int Wipe::Random() {
    randomState_ = randomState_ * 214013u + 2531011u;
    return static_cast<int>((randomState_ >> 16) & 0x7FFF);
}

void Wipe::FreeTables() {
    radialTable_ = {};
    radialCols_ = radialRows_ = 0;
    angleTable_ = {};
    angleSize_ = 0;
}

void Wipe::BuildRadialTable() {
    int64_t scaled = (static_cast<int64_t>(scale_) * width_ + 32768) >> 16;
    radialCols_ = static_cast<int32_t>(scaled / 2 + 1);
    radialRows_ = height_ / 2 + 1;
    const float diag = std::sqrt(static_cast<float>(radialCols_) * radialCols_ +
                                 static_cast<float>(radialRows_) * radialRows_);
    radialTable_.assign(static_cast<size_t>(radialCols_) * radialRows_, 0);
    for (int i = 0; i < radialRows_; ++i)
        for (int j = 0; j < radialCols_; ++j) {
            double d = std::sqrt(static_cast<double>(i) * i + static_cast<double>(j) * j);
            radialTable_[static_cast<size_t>(i) * radialCols_ + j] =
                static_cast<uint16_t>(static_cast<int32_t>(d / diag * 65536) >> 1);
        }
}

int32_t Wipe::Radial(int dx, int dy) {
    if (radialTable_.empty())
        BuildRadialTable();
    // The scaled column may reach the column count (150 x 112 at 4H / 3W
    // gives 75 of 75): the last column stands for it, as the last row does
    // for rows below it.
    int64_t col = (static_cast<int64_t>(std::abs(dx)) * scale_ + 32768) >> 16;
    int64_t row = std::abs(dy);
    col = std::min<int64_t>(col, radialCols_ - 1);
    row = std::min<int64_t>(row, radialRows_ - 1);
    return 2 * radialTable_[static_cast<size_t>(row) * radialCols_ + static_cast<size_t>(col)];
}

void Wipe::BuildAngleTable() {
    angleSize_ = std::max(width_, height_) / 2 + 1;
    angleTable_.assign(static_cast<size_t>(angleSize_) * angleSize_, 0);
    const double twoPi = 2 * std::atan2(0.0, -1.0);
    for (int u = 0; u < angleSize_; ++u)
        for (int v = 0; v < angleSize_; ++v) {
            int32_t q = static_cast<int32_t>(std::atan2(u, v) / twoPi * 65536);
            angleTable_[static_cast<size_t>(u) * angleSize_ + v] = static_cast<uint16_t>(2 * (q >> 1));
        }
}

int32_t Wipe::Angle(int dx, int dy) {
    if (dx == 0 && dy == 0)
        return 0;
    if (angleTable_.empty())
        BuildAngleTable();
    auto q = [this](int u, int v) -> int32_t {
        u = std::min(u, angleSize_ - 1);
        v = std::min(v, angleSize_ - 1);
        return angleTable_[static_cast<size_t>(u) * angleSize_ + v];
    };
    if (dx >= 0)
        return dy >= 0 ? q(dx, dy) : q(-dy, dx) + 16384;
    return dy < 0 ? q(-dx, -dy) + 32768 : 65536 - q(-dx, dy);
}

int Wipe::CreatePicon(Dib* picture, Clip* clip, Time offset) {
    if (!picture)
        return 0;
    const ResourceLibraries* libs = Dib::GetResourceLibraries();
    if (!libs)
        libs = ResourceLibraries::Current();
    const int32_t number = GetEffectNumber();
    if (number > 0 && libs && libs->FindBitmap(static_cast<uint32_t>(number)))
        return Transition::CreatePicon(picture, clip, offset);

    const int w = picture->Width(), h = picture->AbsHeight();
    if (w < 1 || h < 1) {
        LogMessage("Wipe::CreatePicon: the picon has no size\n");
        return 0;
    }
    int fw = frameWidth.load(), fh = frameHeight.load();
    if ((fw <= 0 || fh <= 0) && SettingsBase::Current()) {
        fw = SettingsBase::Current()->GetCaptureWidth();
        fh = SettingsBase::Current()->GetCaptureHeight();
    }
    int lastHeight;
    {
        std::lock_guard<std::mutex> hold(makeLock_);
        lastHeight = height_;
    }
    double scale = 1.0;
    if (w == fw && lastHeight == fh)
        scale = 4.0 * h / (3.0 * w);
    RefPtr<Dib> pattern = MakePattern(w, h, scale);
    if (!pattern)
        return 0;

    uint8_t map[256];
    // Thresholds as stored may be anything a file held: cut to 0..1 here.
    auto level = [](double t) { return std::isfinite(t) ? static_cast<int>(std::clamp(t, 0.0, 1.0) * 256) : 0; };
    const int d = level(piconLow_), e = level(piconHigh_);
    const bool reversed = clip && clip->IsReversed();
    for (int i = 0; i < 256; ++i) {
        int m = i <= d ? 0 : i >= e ? 15 : (15 * i - 15 * d) / (e - d);
        map[i] = static_cast<uint8_t>(reversed ? 15 - m : m);
    }
    if (!picture->Create(w, h, 8) || !picture->Copy(*pattern))
        return 0;
    picture->RemapIndices(map);
    const bool selected = clip && clip->IsSelected();
    picture->SetColorRamp(16, Grey(0), selected ? kPiconSelectedHighlight : kPiconHighlight);
    return 1;
}

} // namespace orvik
