// The Qt half of the display: the views.
#include "display_support.h"

#include <QApplication>
#include <QMainWindow>

#include "app_delegate.h"
#include "display_host.h"
#include "files.h"
#include "host_windows.h"
#include "resources.h"

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

TEST_F(ViewTest, GraphicWindowTitle) {
    t_InitWindow(1, 4, false, 640, 400, 16, 16, t_EmptyFont(), true);
    QCoreApplication::processEvents();   // titles are set asynchronously
    EXPECT_TRUE(t_HostWindow(1)->windowTitle().endsWith("-Grafik"));
}
