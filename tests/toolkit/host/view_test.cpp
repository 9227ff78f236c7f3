// The Qt half of the display: the views.
#include "display_support.h"

#include <QApplication>
#include <QMainWindow>
#include <optional>

#include "app_delegate.h"
#include "display_host.h"
#include "files.h"
#include "host_windows.h"
#include "picture_scale.h"
#include "rendering.h"
#include "resources.h"
#include "view.h"

class ViewTest : public DisplayTest {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "view_tests";
        static char *argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
        if (!t_AppDelegate()) new AppDelegate([] {});
    }
    void SetUp() override {
        DisplayTest::SetUp();
        t_InstallDisplayHost();
    }
};

TEST_F(ViewTest, ViewDrawsTheWindowImage) {
    t_InitWindow(0, 24, false, 160, 64, 16, 8, solidFont(8, 16), true);
    ASSERT_TRUE(t_WindowTable[0].Initialized);
    EXPECT_EQ(t_WindowTable[0].View, t_HostView(0));
    EXPECT_EQ(t_WindowTable[0].Window, t_HostWindow(0));
    t_WindowTable[0].Visible = true;
    t_PrintSymbol(0, 255, 0xC0, 1, 1);   // a green cell
    t_PrintSymbol(0, 255, 0x1F, 20, 4);  // a red one in the last cell

    t_View *view = t_HostView(0);
    EXPECT_EQ(view->size(), QSize(160, 64));
    EXPECT_EQ(view->pos(), QPoint(16, 8));
    QColor border = t_HostWindow(0)->centralWidget()->palette().color(QPalette::Window);
    EXPECT_EQ(border, QColor(0x54, 0x54, 0x54));

    for (bool quick : {true, false}) {
        t_WindowTable[0].QuickUpdate = quick;
        QImage shot = view->grab().toImage();
        EXPECT_EQ((std::vector<QColor>{shot.pixelColor(0, 0), shot.pixelColor(7, 15), shot.pixelColor(8, 0), shot.pixelColor(159, 63)}),
                  (std::vector<QColor>{QColor(0, 255, 0), QColor(0, 255, 0), QColor(0, 0, 0), QColor(255, 0, 0)})) << quick;
    }
    EXPECT_TRUE(t_WindowTable[0].VerticalBlank);

    QImage copy = t_WindowNSImage(0);
    ASSERT_FALSE(copy.isNull());
    EXPECT_EQ(copy.size(), QSize(160, 64));
    EXPECT_EQ(copy.pixelColor(159, 63), QColor(255, 0, 0));
    EXPECT_TRUE(t_WindowNSImage(9).isNull());
}

// At any other size the view draws what the scaler makes of the window
// image, whether it writes into the painter's 32-bit target or draws through
// a buffer (a 24-bit target).
TEST_F(ViewTest, ScaledViewDrawsTheScaledWindowImage) {
    t_InitWindow(0, 24, false, 160, 64, 16, 8, solidFont(8, 16), true);
    t_WindowTable[0].Visible = true;
    t_PrintSymbol(0, 255, 0xC0, 1, 1);
    t_PrintSymbol(0, 255, 0x1F, 20, 4);
    t_PrintSymbol(0, 255, 0x03, 7, 2);
    std::optional<t_Image> image = t_WindowImage(0);
    ASSERT_TRUE(image);
    t_View view(0);
    for (QSize size : {QSize(320, 128), QSize(240, 96), QSize(137, 55)}) {
        for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
            SCOPED_TRACE(std::to_string(size.width()) + " in format " + std::to_string(int(format)));
            t_PictureScaler scaler;
            QImage want(size, QImage::Format_RGB32);
            t_ScalePicture(scaler, image->Pixels.data(), 160, 64, 160, reinterpret_cast<uint32_t *>(want.bits()),
                           size.width(), size.height(), int(want.bytesPerLine() / 4));
            view.resize(size);
            QImage got(size, format);
            got.fill(Qt::white);
            t_WindowTable[0].UpdateFinished = 0;
            view.render(&got);
            EXPECT_EQ(got.convertToFormat(QImage::Format_RGB32), want);
            EXPECT_GT(t_WindowTable[0].UpdateFinished, 0);
        }
    }
}

TEST_F(ViewTest, GraphicWindowTitle) {
    t_InitWindow(1, 4, false, 640, 400, 16, 16, t_EmptyFont(), true);
    QCoreApplication::processEvents();   // titles are set asynchronously
    EXPECT_TRUE(t_HostWindow(1)->windowTitle().endsWith("-Grafik"));
}
