// The titler: title files saved and loaded byte for byte, titles rendered
// at any size with their alpha, graphic clips showing their titles, and
// damaged title files refused without touching the title in hand.
#include "imaging/Titler.h"

#include "ImagingTestSupport.h"
#include "app/ResourceLibraries.h"
#include "imaging/Dib.h"
#include "imaging/FileDib.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/GraphicAsset.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace orvik {
namespace {

using test::InHome;
using test::LogHas;
using test::OpenTestLog;
using test::PutU16;
using test::PutU32;
using Bytes = std::vector<uint8_t>;

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    long count = 0;
    void Add(int x, int y) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x + 1);
        bottom = std::max(bottom, y + 1);
        ++count;
    }
};

// Where a 24-bit picture is not black.
Box Lit(const Dib& dib) {
    Box box;
    for (int y = 0; y < dib.AbsHeight(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            if (dib.GetPixel(x, y) != 0)
                box.Add(x, y);
    return box;
}

// One white line of text at (x, y) in a 720 x 576 frame.
TitleDocument OneLine(const std::string& text, int x, int y, int size) {
    TitleDocument d;
    d.frameWidth = 720;
    d.frameHeight = 576;
    TitleText t;
    t.text = text;
    t.x = x;
    t.y = y;
    t.pixelHeight = static_cast<uint32_t>(size);
    d.texts.push_back(t);
    return d;
}

// Titles take their file extension and default name from the resource
// texts.
class TitlerTest : public testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(resources.Load("US", 0, 1024, 768));
        ResourceLibraries::SetCurrent(&resources);
    }
    void TearDown() override { ResourceLibraries::SetCurrent(nullptr); }
    ResourceLibraries resources;
};

std::string SaveDocument(Titler& titler, const TitleDocument& d, const std::string& name) {
    titler.Library().Document() = d;
    std::string path = InHome(name);
    EXPECT_EQ(titler.SaveTitle(path), 1);
    return path;
}

TEST_F(TitlerTest, SavesTheTitleFileFieldByField) {
    Titler titler;
    std::string path = SaveDocument(titler, OneLine("  Our  holiday ", 100, 200, 60), "a.otl");
    Bytes file = test::ReadBytes(path);
    Bytes data = OneLine("  Our  holiday ", 100, 200, 60).Encode();
    // "vnq ", the schema, keep-path 0, has image 1, the text, the private
    // data with its count, then the thumbnail's 40-byte header and pixels.
    Bytes head = {'v', 'n', 'q', ' ', 0x01, 0, 0, 0x80, 0, 0, 0, 0, 1, 0, 0, 0, 11};
    std::string text = "Our holiday";
    head.insert(head.end(), text.begin(), text.end());
    PutU16(head, static_cast<uint16_t>(data.size()));
    head.insert(head.end(), data.begin(), data.end());
    ASSERT_GE(file.size(), head.size() + 40);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + static_cast<long>(head.size())), head);
    size_t at = head.size();
    EXPECT_EQ(test::GetU32(file, at), 40u);
    EXPECT_EQ(test::GetU32(file, at + 4), 160u);
    EXPECT_EQ(test::GetU32(file, at + 8), 120u);
    EXPECT_EQ(test::GetU16(file, at + 14), 32);
    EXPECT_EQ(file.size(), at + 40 + 160 * 120 * 4);
    EXPECT_TRUE(Titler::IsTitleFile(path));
    EXPECT_EQ(titler.GetText(), "Our holiday");
}

TEST_F(TitlerTest, TitleFilesRoundTripByteForByte) {
    std::string first, second;
    TitleDocument d = OneLine("Chapter one\nThe lake", 40, 300, 50);
    d.texts[0].flags = TitleText::outline | TitleText::shadow | TitleText::bold;
    d.texts[0].color = Rgb(250, 200, 10);
    d.texts.push_back(OneLine("fin", 600, 20, 30).texts[0]);
    d.fillAlpha = 0;
    {
        Titler titler;
        first = SaveDocument(titler, d, "first.otl");
    }
    Titler other;
    ASSERT_EQ(other.LoadTitle(first), 1);
    EXPECT_EQ(other.Library().Document(), d);
    EXPECT_EQ(other.GetText(), "Chapter one The lake fin");
    second = InHome("second.otl");
    ASSERT_EQ(other.SaveTitle(second), 1);
    EXPECT_EQ(test::ReadBytes(second), test::ReadBytes(first));
}

TEST_F(TitlerTest, TextIsDrawnWhereTheTitleSaysAtEverySize) {
    Titler titler;
    std::string path = SaveDocument(titler, OneLine("HELLO", 100, 200, 60), "hello.otl");
    struct Size {
        int width, height;
    };
    for (Size s : {Size{720, 576}, Size{360, 288}, Size{1440, 1152}}) {
        double k = s.width / 720.0;
        RefPtr<Dib> picture = new Dib;
        ASSERT_EQ(titler.RenderTitle(*picture, path, s.width, s.height, 24), 1);
        ASSERT_EQ(picture->Width(), s.width);
        ASSERT_EQ(picture->BitCount(), 24);
        Box box = Lit(*picture);
        ASSERT_GT(box.count, 0);
        // Capitals stand on the baseline inside the line box that starts at
        // (100, 200) and is about one and a half sizes tall.
        EXPECT_GE(box.left, static_cast<int>(100 * k) - 1);
        EXPECT_LE(box.left, static_cast<int>(110 * k) + 1);
        EXPECT_GE(box.top, static_cast<int>(200 * k));
        EXPECT_LE(box.bottom, static_cast<int>((200 + 60 * 1.5) * k) + 1);
        EXPECT_GT(box.right - box.left, static_cast<int>(5 * 30 * k)); // five letters
        EXPECT_LT(box.right, static_cast<int>((100 + 5 * 60) * k));

        RefPtr<Dib> alpha = new Dib;
        ASSERT_EQ(titler.RenderTitleAlpha(*alpha, path, s.width, s.height), 1);
        ASSERT_EQ(alpha->BitCount(), 8);
        ASSERT_TRUE(alpha->IsGreyPalette());
        // White text over a transparent frame: the picture's colour is its
        // alpha wherever the title covers it.
        for (int y = 0; y < s.height; y += 1)
            for (int x = 0; x < s.width; ++x) {
                uint32_t c = picture->GetPixel(x, y);
                ASSERT_EQ(c & 0xFF, alpha->GetPixel(x, y)) << x << "," << y;
                ASSERT_EQ(c, Rgb(c & 0xFF, c & 0xFF, c & 0xFF));
            }
    }
}

TEST_F(TitlerTest, OutlineShadowAndFillAreLaidUnderTheText) {
    Titler titler;
    TitleDocument d = OneLine("I", 300, 200, 100);
    d.texts[0].color = Rgb(255, 0, 0);
    d.texts[0].flags = TitleText::outline | TitleText::shadow;
    d.texts[0].outlineColor = Rgb(0, 0, 255);
    d.texts[0].outlineWidth = 4;
    d.texts[0].shadowColor = Rgb(0, 255, 0);
    d.texts[0].shadowDx = 30;
    d.texts[0].shadowDy = 0;
    std::string path = SaveDocument(titler, d, "i.otl");
    RefPtr<Dib> picture = new Dib;
    ASSERT_EQ(titler.RenderTitle(*picture, path, 720, 576, 24), 1);
    Box red, blue, green;
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 720; ++x) {
            uint32_t c = picture->GetPixel(x, y);
            if (c == Rgb(255, 0, 0))
                red.Add(x, y);
            else if (c == Rgb(0, 0, 255))
                blue.Add(x, y);
            else if (c == Rgb(0, 255, 0))
                green.Add(x, y);
        }
    ASSERT_GT(red.count, 0);
    // The outline rings the letter; the shadow lies 30 pixels to the right.
    EXPECT_LT(blue.left, red.left);
    EXPECT_GT(blue.right, red.right);
    EXPECT_GT(green.count, 0);
    EXPECT_GE(green.right, red.right + 25);

    d.fillAlpha = 255;
    d.fillColor = Rgb(10, 20, 30);
    d.texts.clear();
    path = SaveDocument(titler, d, "fill.otl");
    ASSERT_EQ(titler.RenderTitle(*picture, path, 720, 576, 24), 1);
    EXPECT_EQ(picture->GetPixel(0, 0), Rgb(10, 20, 30));
    RefPtr<Dib> alpha = new Dib;
    ASSERT_EQ(titler.RenderTitleAlpha(*alpha, path, 720, 576), 1);
    EXPECT_EQ(alpha->GetPixel(719, 575), 255u);
}

TEST_F(TitlerTest, TheThumbnailServesItsOwnSizeAndHalfOfIt) {
    Titler titler;
    std::string path = SaveDocument(titler, OneLine("TV", 200, 150, 200), "tv.otl");
    ASSERT_TRUE(titler.HasImage());
    // The thumbnail is read back from the file itself.
    Bytes file = test::ReadBytes(path);
    size_t at = file.size() - 160 * 120 * 4;
    RefPtr<Dib> picture = new Dib;
    ASSERT_EQ(titler.RenderTitle(*picture, path, 160, 120, 32), 1);
    EXPECT_EQ(Bytes(picture->Bits(), picture->Bits() + 160 * 120 * 4),
              Bytes(file.begin() + static_cast<long>(at), file.end()));
    RefPtr<Dib> alpha = new Dib;
    ASSERT_EQ(titler.RenderTitleAlpha(*alpha, path, 160, 120), 1);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(alpha->GetPixel(x, y), picture->GetPixel(x, y) >> 24);
    // Twice the thumbnail: scaled from it, so close to the library's own
    // rendering only in coverage.
    RefPtr<Dib> big = new Dib;
    ASSERT_EQ(titler.RenderTitle(*big, path, 320, 240, 24), 1);
    Box box = Lit(*big);
    EXPECT_NEAR(box.left, 200 * 320 / 720, 4);
    EXPECT_GE(box.top, 150 * 240 / 576);
    EXPECT_LE(box.top, 150 * 240 / 576 + 30);
}

TEST_F(TitlerTest, GraphicClipsShowTheirTitles) {
    std::string path;
    {
        Titler titler;
        path = SaveDocument(titler, OneLine("WEDDING", 100, 250, 80), "w.otl");
    }
    RefPtr<GraphicAsset> asset = new GraphicAsset(path, 100);
    RefPtr<Clip> clip = new Clip(asset.get(), 0, 1);
    RefPtr<Dib> picon = new Dib;
    ASSERT_TRUE(picon->Create(360, 288, 24));
    {
        // Without a titler the title is a white picture.
        OpenTestLog();
        ASSERT_EQ(asset->CreatePicon(picon.get(), clip.get(), 0), 1);
        EXPECT_EQ(Lit(*picon).count, 360 * 288);
        EXPECT_EQ(picon->GetPixel(5, 5), Rgb(255, 255, 255));
    }
    Titler titler;
    RefPtr<GraphicAsset> fresh = new GraphicAsset(path, 100);
    ASSERT_EQ(fresh->CreatePicon(picon.get(), clip.get(), 0), 1);
    Box box = Lit(*picon);
    ASSERT_GT(box.count, 0);
    EXPECT_LT(box.count, 360 * 288 / 4);
    EXPECT_GE(box.left, 49);
    EXPECT_GE(box.top, 125);
    EXPECT_EQ(picon->GetPixel(5, 5), 0u);
    // A ".ttr" title image shows its picture.
    Bytes bmp;
    RefPtr<Dib> red = new Dib;
    ASSERT_TRUE(red->Create(8, 6, 24));
    red->Set(Rgb(255, 0, 0));
    std::string bmpPath = InHome("red.bmp");
    ASSERT_TRUE(red->SaveToFile(bmpPath));
    Bytes ttr = {'T', 'i', 't', '3', '0', '.', '0', '1'};
    Bytes body = test::ReadBytes(bmpPath);
    ttr.insert(ttr.end(), body.begin(), body.end());
    test::WriteBytes(InHome("red.ttr"), ttr);
    RefPtr<GraphicAsset> image = new GraphicAsset(InHome("red.ttr"), 100);
    ASSERT_EQ(image->CreatePicon(picon.get(), clip.get(), 0), 1);
    EXPECT_EQ(picon->GetPixel(100, 100), Rgb(255, 0, 0));
}

TEST_F(TitlerTest, DamagedTitleFilesAreRefusedAndTheTitleStays) {
    OpenTestLog();
    Titler titler;
    std::string good = SaveDocument(titler, OneLine("Kept", 10, 10, 40), "good.otl");
    Bytes bytes = test::ReadBytes(good);
    ASSERT_EQ(titler.LoadTitle(good), 1);

    auto refused = [&](const std::string& name, const Bytes& b) {
        std::string path = InHome(name);
        test::WriteBytes(path, b);
        EXPECT_EQ(titler.LoadTitle(path), 0) << name;
        EXPECT_EQ(titler.GetText(), "Kept") << name;
        RefPtr<Dib> picture = new Dib;
        EXPECT_EQ(titler.RenderTitle(*picture, path, 100, 80, 24), 0) << name;
    };
    for (size_t cut : std::vector<size_t>{0, 3, 4, 7, 15, 17, 22, 40, 200}) {
        refused("cut" + std::to_string(cut) + ".otl",
                Bytes(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
    }
    refused("short.otl", Bytes(bytes.begin(), bytes.end() - 1));
    Bytes schema = bytes;
    schema[4] = 2; // 0x80000002
    refused("schema.otl", schema);
    EXPECT_TRUE(LogHas("Titler::LoadFromFile: "));
    Bytes magic = bytes;
    magic[0] = 'w';
    refused("magic.otl", magic);
    EXPECT_FALSE(Titler::IsTitleFile(InHome("magic.otl")));
    // A private-data count far past the end of the file.
    Bytes count(bytes.begin(), bytes.begin() + 21);
    PutU16(count, 0xFFFF);
    PutU32(count, 0x7FFFFFF0);
    refused("count.otl", count);
    // Private data the library does not take.
    Bytes data(bytes.begin(), bytes.begin() + 16);
    data[12] = 0; // no thumbnail
    data.push_back(0);
    PutU16(data, 4);
    for (char c : {'j', 'u', 'n', 'k'})
        data.push_back(static_cast<uint8_t>(c));
    refused("data.otl", data);
    EXPECT_TRUE(LogHas("Vanta::SetPrivateData: "));
    EXPECT_EQ(titler.LoadTitle(InHome("none.otl")), 0);
    EXPECT_TRUE(LogHas("Titler::LoadFromFile can't open file\n"));
    // The good file still loads.
    EXPECT_EQ(titler.LoadTitle(good), 1);
}

TEST_F(TitlerTest, TitleNamesAreMadeFromTheText) {
    struct Case {
        const char* text;
        const char* name;
    } cases[] = {
        {"  A: b/c|d\\e  ", "A- b-c-d-e"},
        {"Why? *Now* \"here\"", "Why  _Now_ 'here'"},
        {"   ", "Untitled"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Titler::MakeTitleName(c.text), c.name) << c.text;
}

} // namespace
} // namespace orvik

namespace orvik {
namespace {

// A composition that saves the title itself through the program's callback,
// as the library's own save does.
class SavingComposer : public TitleComposer {
public:
    int Compose(VantaUl& library) override {
        TitleText t;
        t.text = "Trip: day 1";
        library.Document().texts = {t};
        VantaUlCallback* callback = library.Callback();
        query = callback->Query(7);
        grab = callback->Grab();
        name = callback->Name();
        saved = callback->Save(test::InHome("saved.otl"));
        return 1;
    }
    int query = 0, grab = -1, saved = 0;
    std::string name;
};

TEST_F(TitlerTest, TheCompositionCallsBackToNameAndSaveTheTitle) {
    OpenTestLog();
    AssetManager assets(InHome("work"), InHome("captured"));
    Titler titler;
    SavingComposer composer;
    TitleComposer::Install(&composer);
    std::string path = titler.NewTitle();
    TitleComposer::Install(nullptr);
    EXPECT_EQ(composer.query, 1);
    EXPECT_EQ(composer.grab, 0);
    EXPECT_TRUE(LogHas("Titler::Grab invoked\n"));
    EXPECT_EQ(composer.name, "Trip- day 1"); // no "Graphic file" folder set
    EXPECT_EQ(composer.saved, 1);
    EXPECT_TRUE(titler.SavedByLibrary());
    EXPECT_EQ(titler.GetSavedName(), InHome("saved.otl"));
    // The new title is saved again as a working file with the title
    // extension; both files hold the same title.
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(path.size() - 4), ".otl");
    EXPECT_TRUE(assets.IsWorkingFilePath(path));
    EXPECT_EQ(test::ReadBytes(path), test::ReadBytes(InHome("saved.otl")));
    EXPECT_EQ(titler.GetText(), "Trip: day 1");
    EXPECT_EQ(titler.GetCurrentPath(), path);
    // Editing it and cancelling gives no path.
    EXPECT_EQ(titler.EditTitle(path), "");
    EXPECT_EQ(titler.EditTitle(InHome("none.otl")), "");
}

TEST_F(TitlerTest, AlphaBelowTheThumbnailSizeIsScaledFromIt) {
    Titler titler;
    std::string path = SaveDocument(titler, OneLine("WIDE", 0, 0, 300), "wide.otl");
    RefPtr<Dib> small = new Dib, thumb = new Dib;
    ASSERT_EQ(titler.RenderTitleAlpha(*small, path, 80, 60), 1);
    ASSERT_EQ(titler.RenderTitleAlpha(*thumb, path, 160, 120), 1);
    // Each pixel of the half-size mask lies between the darkest and the
    // brightest of the four thumbnail pixels it covers.
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            uint32_t lo = 255, hi = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    uint32_t v = thumb->GetPixel(2 * x + dx, 2 * y + dy);
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            EXPECT_GE(small->GetPixel(x, y) + 1, lo) << x << "," << y;
            EXPECT_LE(small->GetPixel(x, y), hi + 1) << x << "," << y;
        }
}

} // namespace
} // namespace orvik

namespace orvik {
namespace {

TEST_F(TitlerTest, RendersFromTwoThreadsEachGetTheirOwnTitle) {
    Titler titler;
    std::string a = SaveDocument(titler, OneLine("A", 0, 0, 400), "a.otl");
    std::string b = SaveDocument(titler, OneLine("B", 300, 100, 400), "b.otl");
    auto reference = [&](const std::string& path) {
        RefPtr<Dib> d = new Dib;
        EXPECT_EQ(titler.RenderTitle(*d, path, 100, 80, 24), 1);
        return Bytes(d->Bits(), d->Bits() + d->ImageSize());
    };
    Bytes refA = reference(a), refB = reference(b);
    ASSERT_NE(refA, refB);
    std::atomic<int> wrong{0};
    auto worker = [&](const std::string& path, const Bytes& expected) {
        for (int i = 0; i < 20; ++i) {
            RefPtr<Dib> d = new Dib;
            if (titler.RenderTitle(*d, path, 100, 80, 24) != 1 ||
                Bytes(d->Bits(), d->Bits() + d->ImageSize()) != expected)
                ++wrong;
        }
    };
    std::thread first(worker, a, refA);
    std::thread second(worker, b, refB);
    first.join();
    second.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace orvik

namespace orvik {
namespace {

TEST_F(TitlerTest, PictureHelpersGoThroughTheTitlerWhenThereIsOne) {
    std::string title;
    {
        Titler titler;
        title = SaveDocument(titler, OneLine("X", 0, 0, 100), "x.otl");
    }
    Bytes ttr = {'T', 'i', 't', '3', '0', '.', '0', '1'};
    RefPtr<Dib> red = new Dib;
    ASSERT_TRUE(red->Create(4, 3, 24));
    red->Set(Rgb(255, 0, 0));
    ASSERT_TRUE(red->SaveToFile(InHome("red.bmp")));
    Bytes body = test::ReadBytes(InHome("red.bmp"));
    ttr.insert(ttr.end(), body.begin(), body.end());
    std::string image = InHome("red.ttr");
    test::WriteBytes(image, ttr);

    // Without a titler only the title image is a title.
    OpenTestLog();
    RefPtr<Dib> d = new Dib;
    EXPECT_FALSE(Titler::DibIsLibraryTitle(title));
    EXPECT_FALSE(Titler::DibIsTitle(title));
    EXPECT_TRUE(Titler::DibIsTitle(image));
    EXPECT_EQ(Titler::DibLoadTitle(*d, title, 0, 0, 0), 0);
    EXPECT_TRUE(LogHas("Dib::LoadTitle: no titler\n"));
    EXPECT_EQ(Titler::DibLoadAlpha(*d, image), 1);
    EXPECT_EQ(d->Width(), 4);
    EXPECT_EQ(d->GetPixel(3, 2), 255u);

    Titler titler;
    EXPECT_TRUE(Titler::DibIsLibraryTitle(title));
    EXPECT_TRUE(Titler::DibIsTitle(title));
    EXPECT_FALSE(Titler::DibIsLibraryTitle(image));
    // The default size is the TV size.
    ASSERT_EQ(Titler::DibLoadAlpha(*d, title), 1);
    EXPECT_EQ(d->Width(), titler.TvWidth());
    EXPECT_EQ(d->AbsHeight(), titler.TvHeight());
    ASSERT_EQ(Titler::DibLoadTitle(*d, title, 0, 0, 0), 1);
    EXPECT_EQ(d->BitCount(), 24);
    EXPECT_EQ(d->Width(), titler.TvWidth());
    // A FileDib of a title renders it; of a title image reads its picture.
    RefPtr<FileDib> file = new FileDib;
    ASSERT_EQ(file->LoadFromFile(title), 1);
    EXPECT_EQ(file->Width(), titler.TvWidth());
    ASSERT_EQ(file->LoadFromFile(image), 1);
    EXPECT_EQ(file->GetPixel(0, 0), Rgb(255, 0, 0));
    EXPECT_TRUE(FileDib::IsPictureExtension(".OTL"));
}

} // namespace
} // namespace orvik
