#include "imaging/wipes/WipePresets.h"

#include "imaging/wipes/BitmapWipe.h"
#include "imaging/wipes/BlindsWipe.h"
#include "imaging/wipes/CheckerboardWipe.h"
#include "imaging/wipes/CircleWipe.h"
#include "imaging/wipes/ClockWipe.h"
#include "imaging/wipes/DiagonalWipe.h"
#include "imaging/wipes/DiamondWipe.h"
#include "imaging/wipes/HorizontalSnake.h"
#include "imaging/wipes/MatrixWipe.h"
#include "imaging/wipes/PatternWipe.h"
#include "imaging/wipes/RectangleWipe.h"
#include "imaging/wipes/SlatsWipe.h"
#include "imaging/wipes/SpiralWipe.h"
#include "imaging/wipes/VerticalSnake.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace orvik {

namespace {

struct RectanglePreset {
    int32_t number, code, left, top, right, bottom, closing;
};
constexpr RectanglePreset kRectangles[] = {
    {6324, 14, 500, 500, 500, 500, 0},   {6327, 17, 500, 500, 500, 500, 1},
    {6323, 12, 0, 500, 1000, 500, 0},    {6322, 13, 500, 0, 500, 1000, 0},
    {6326, 15, 0, 500, 1000, 500, 1},    {6325, 16, 500, 0, 500, 1000, 1},
    {6315, 0, 0, 1000, 1000, 1000, 0},   {6311, 1, 0, 0, 1000, 0, 0},
    {6313, 2, 1000, 0, 1000, 1000, 0},   {6317, 3, 0, 0, 0, 1000, 0},
    {6318, 4, 0, 0, 0, 0, 0},            {6319, 5, 1000, 0, 1000, 0, 0},
    {6321, 6, 0, 1000, 0, 1000, 0},      {6320, 7, 1000, 1000, 1000, 1000, 0},
    {6333, 8, 1000, 1000, 1000, 1000, 1}, {6335, 9, 0, 1000, 0, 1000, 1},
    {6332, 10, 1000, 0, 1000, 0, 1},     {6334, 11, 0, 0, 0, 0, 1},
};

struct BandPreset {
    int32_t number;
    double low, high;
    int32_t count, flags;
};
constexpr BandPreset kHorizontalStreaks[] = {{6350, 0.0, 0.667, 3, 3}, {6351, 0.625, 0.875, 8, 3}};
constexpr BandPreset kVerticalStreaks[] = {{6352, 0.0, 0.667, 3, 3}, {6353, 0.625, 0.875, 8, 3}};
constexpr BandPreset kHorizontalSnakes[] = {{6354, 0.0, 0.667, 3, 3}, {6355, 0.4, 0.8, 5, 3}};
constexpr BandPreset kVerticalSnakes[] = {{6356, 0.0, 0.667, 3, 3}, {6357, 0.4, 0.8, 5, 3}};
constexpr BandPreset kMatrices[] = {
    {6358, 0.35, 0.65, 8, 6},   {6359, 0.35, 0.65, 16, 12}, {6360, 0.5, 0.55, 60, 40},
    {6361, 0.6, 0.75, 180, 120}, {6344, 0.75, 0.9, 1, 500}, {6345, 0.7, 0.85, 500, 1},
};

struct SpiralPreset {
    int32_t number;
    double low, high;
    int32_t mode, turns, arms;
};
constexpr SpiralPreset kSpirals[] = {
    {50523, 0.55, 0.6, 0, 4, 1},  {50524, 0.55, 0.6, 0, 3, 3},   {50525, 0.55, 0.6, 0, 6, 9},
    {50526, 0.55, 0.6, 0, 2, 19}, {50527, 0.6, 0.62, 0, 16, 32}, {50528, 0.55, 0.6, 1, 4, 2},
    {50529, 0.55, 0.6, 1, 16, 2}, {50530, 0.55, 0.6, 1, 32, 2},  {50531, 0.55, 0.6, 1, 2, 5},
    {50532, 0.55, 0.6, 1, 4, 15}, {50533, 0.55, 0.6, 1, 20, 20},
};

// Data resources of the two drawings of the pattern wipes.
constexpr int32_t kStarDrawing = 117;
constexpr int32_t kHeartDrawing = 118;

bool IsBitmapFile(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bmp" || ext == ".dib";
}

} // namespace

std::vector<RefPtr<Wipe>> WipePresets::Presets() {
    std::vector<RefPtr<Wipe>> out;
    for (const RectanglePreset& r : kRectangles)
        out.push_back(new RectangleWipe(r.number, 0.375, 0.625, r.code, r.left, r.top, r.right,
                                        r.bottom, r.closing));
    const int32_t diagonalNumbers[] = {6338, 6337, 6340, 6339}; // by corner
    for (int32_t corner = 0; corner < 4; ++corner)
        out.push_back(new DiagonalWipe(diagonalNumbers[corner], 0.6, 0.62, corner));
    out.push_back(new CircleWipe(6343, 0.6, 0.62));
    out.push_back(new DiamondWipe(6341, 0.6, 0.62));
    out.push_back(new PatternWipe(6342, 0.6, 0.62, kStarDrawing));
    out.push_back(new PatternWipe(6336, 0.78, 0.8, kHeartDrawing));
    out.push_back(new BlindsWipe(6346, 0.5, 0.5, 4, 1));
    out.push_back(new BlindsWipe(6347, 0.5, 0.5, 12, 1));
    out.push_back(new SlatsWipe(6348, 0.5, 0.5, 4, 0));
    out.push_back(new SlatsWipe(6349, 0.5, 0.5, 12, 0));
    for (const BandPreset& b : kHorizontalStreaks)
        out.push_back(new HorizontalStreak(b.number, b.low, b.high, b.count, b.flags));
    for (const BandPreset& b : kVerticalStreaks)
        out.push_back(new VerticalStreak(b.number, b.low, b.high, b.count, b.flags));
    for (const BandPreset& b : kHorizontalSnakes)
        out.push_back(new HorizontalSnake(b.number, b.low, b.high, b.count, b.flags));
    for (const BandPreset& b : kVerticalSnakes)
        out.push_back(new VerticalSnake(b.number, b.low, b.high, b.count, b.flags));
    for (const BandPreset& m : kMatrices)
        out.push_back(new MatrixWipe(m.number, m.low, m.high, m.count, m.flags));
    out.push_back(new CheckerboardWipe(6362, 0.5, 0.5, 8, 6, 3));
    out.push_back(new CheckerboardWipe(6363, 0.5, 0.5, 32, 24, 3));
    out.push_back(new CheckerboardWipe(6364, 0.5, 0.5, 8, 6, 1));
    out.push_back(new CheckerboardWipe(6366, 0.5, 0.5, 32, 24, 1));
    out.push_back(new ClockWipe(6367, 0.375, 0.625));
    for (const SpiralPreset& s : kSpirals)
        out.push_back(new SpiralWipe(s.number, s.low, s.high, s.mode, s.turns, s.arms));
    return out;
}

std::vector<RefPtr<Wipe>> WipePresets::FolderWipes(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && IsBitmapFile(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::vector<RefPtr<Wipe>> out;
    for (const auto& f : files)
        out.push_back(new BitmapWipe(0, 0.55, 0.7, f.string(), 0));
    return out;
}

std::vector<RefPtr<Transition>> WipePresets::Album(const std::string& wipeFolder) {
    std::vector<RefPtr<Transition>> out = Transition::AlbumEffects();
    for (auto& w : Presets())
        out.push_back(w.get());
    for (auto& w : FolderWipes(wipeFolder.empty() ? BitmapWipe::WipeFolder() : wipeFolder))
        out.push_back(w.get());
    return out;
}

} // namespace orvik
