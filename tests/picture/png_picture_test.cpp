#include "picture/png_picture.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QImage>

namespace zuka {
namespace {

// The PNG shows what the SVG shows, at the same place: a red line across the middle on a
// black background, and a Japanese text that leaves ink where it stands.
TEST(PngPicture, PaintsTheItemsWhereTheSvgPutsThem) {
    SvgPicture pic;
    pic.SetBackground("black");
    pic.AddLine({0, 500, 0}, {1000, 500, 0}, "#ff0000", 3);
    pic.AddLine({0, 0, 0}, {1000, 1000, 0}, "#000000");  // sets the extent only
    pic.AddText({100, 100, 0}, "日影", 150, "#ffffff");
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "zuka_png_picture_test.png";
    ASSERT_TRUE(SavePng(pic, file, 400));
    QImage image(QString::fromStdString(file.string()));
    std::filesystem::remove(file);
    ASSERT_FALSE(image.isNull());
    const TPictureFrame f = pic.Frame(400);
    EXPECT_EQ(image.width(), 400);
    EXPECT_EQ(image.height(), static_cast<int>(std::ceil(f.height)));
    const QColor mid = image.pixelColor(200, static_cast<int>(f.Y(500)));
    EXPECT_GT(mid.red(), 200);
    EXPECT_LT(mid.green(), 60);
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::black));
    int ink = 0;
    for (int x = static_cast<int>(f.X(100)); x < static_cast<int>(f.X(400)); ++x) {
        for (int y = static_cast<int>(f.Y(250)); y < static_cast<int>(f.Y(100)); ++y)
            ink += image.pixelColor(x, y).lightness() > 128;
    }
    EXPECT_GT(ink, 50);
    EXPECT_FALSE(SavePng(pic, "/nonexistent-folder/x.png"));
}

}  // namespace
}  // namespace zuka
