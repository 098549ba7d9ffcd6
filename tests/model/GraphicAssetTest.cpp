#include "model/GraphicAsset.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace orvik {

TEST(GraphicAsset, PicturesAreScaledOnAFourByThreeCanvasOrWhiteWhenMissing) {
    // A 40 x 20 picture: red on top of its first rows, blue elsewhere.
    RefPtr<Dib> source = new Dib;
    ASSERT_TRUE(source->Create(40, 20, 24));
    source->Set(0x0000FF);
    Rect top(0, 0, 40, 2);
    source->Set(0xFF0000, &top);
    std::string path = test::InHome("wide.bmp");
    ASSERT_TRUE(source->SaveToFile(path));

    RefPtr<GraphicAsset> graphic = new GraphicAsset(path, 90, 0);
    RefPtr<Dib> p = graphic->GetPicture(32, 24, 0);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Width(), 32);
    EXPECT_EQ(p->AbsHeight(), 24);
    EXPECT_EQ(p->BitCount(), 24);
    // The canvas above and below the picture takes its top-left colour.
    EXPECT_EQ(p->GetPixel(16, 0), source->GetPixel(0, 0));
    EXPECT_EQ(p->GetPixel(16, 23), source->GetPixel(0, 0));
    EXPECT_EQ(p->GetPixel(16, 12), source->GetPixel(20, 10)); // the middle is the picture
    EXPECT_EQ(graphic->GetPicture(32, 24, 0).get(), p.get()); // cached at the same size

    ASSERT_TRUE(OpenLog(test::Home(), 0));
    RefPtr<GraphicAsset> missing = new GraphicAsset(test::InHome("gone.bmp"), 90, 0);
    RefPtr<Dib> white = missing->GetPicture(16, 12, 24);
    ASSERT_TRUE(white);
    EXPECT_EQ(white->GetPixel(3, 3), 0xFFFFFFu);
    std::string log = LogPath();
    CloseLog();
    EXPECT_NE(test::ReadFile(log).find("GraphicAsset::GetDib: can't load " +
                                       test::InHome("gone.bmp") + "\n"),
              std::string::npos);
}

} // namespace orvik
