// Processor time per frame to show a changing 1280x800 picture at 1754x1096
// (1.37x) in a window: through OpenGL (the picture uploaded as a texture and
// drawn scaled with linear filtering, as a GPU-backed view would) or through
// the processor scaler writing into the window's raster backing store (as
// the toolkit view does).  Counts the time of every thread of the process,
// the renderer's included.  Usage: view_gpu gl|cpu [PICTURE.raw]
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPaintEngine>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>
#include <QWindow>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "picture_scale.h"

static const int pictureWidth = 1280, pictureHeight = 800, warmFrames = 20, frames = 150;
static std::vector<uint32_t> picture(size_t(pictureWidth) * pictureHeight, 0xFF000000);
static int frameCount = 0;
static double cpuStart, wallStart;

static double cpuMs() {
    rusage r;
    getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}
static double wallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One pixel changes every frame, so that nothing can be skipped.
static void changePicture() { picture[size_t(frameCount) * 4099 % picture.size()] ^= 0x00FFFFFF; }

static void frameDone() {
    if (++frameCount == warmFrames) {
        cpuStart = cpuMs();
        wallStart = wallMs();
    }
    if (frameCount == warmFrames + frames) {
        printf("%.2f ms processor time, %.2f ms wall time a frame\n", (cpuMs() - cpuStart) / frames,
               (wallMs() - wallStart) / frames);
        QGuiApplication::quit();
    }
}

class GlWindow : public QWindow, protected QOpenGLFunctions {
public:
    GlWindow() { setSurfaceType(QSurface::OpenGLSurface); }

protected:
    void exposeEvent(QExposeEvent *) override {
        if (!isExposed() || Context.isValid()) return;
        Context.setFormat(requestedFormat());
        Context.create();
        Context.makeCurrent(this);
        initializeOpenGLFunctions();
        glGenTextures(1, &Texture);
        glBindTexture(GL_TEXTURE_2D, Texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pictureWidth, pictureHeight, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, picture.data());
        printf("renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
        QTimer::singleShot(0, this, [this] { frame(); });
    }

private:
    void frame() {
        Context.makeCurrent(this);
        changePicture();
        glBindTexture(GL_TEXTURE_2D, Texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, pictureWidth, pictureHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                        picture.data());
        glViewport(0, 0, width(), height());
        glEnable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1), glVertex2f(-1, -1);
        glTexCoord2f(1, 1), glVertex2f(1, -1);
        glTexCoord2f(1, 0), glVertex2f(1, 1);
        glTexCoord2f(0, 0), glVertex2f(-1, 1);
        glEnd();
        Context.swapBuffers(this);
        frameDone();
        QTimer::singleShot(0, this, [this] { frame(); });
    }
    QOpenGLContext Context;
    GLuint Texture = 0;
};

class ProcessorWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent *) override {
        changePicture();
        QPainter painter(this);
        auto *target = static_cast<QImage *>(painter.paintEngine()->paintDevice());
        t_ScalePicture(Scaler, picture.data(), pictureWidth, pictureHeight, pictureWidth,
                       reinterpret_cast<uint32_t *>(target->bits()), width(), height(),
                       int(target->bytesPerLine() / 4));
        frameDone();
        QTimer::singleShot(0, this, [this] { update(); });
    }

private:
    t_PictureScaler Scaler;
};

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    if (argc > 2) {
        if (FILE *f = fopen(argv[2], "rb")) {
            if (fread(picture.data(), 4, picture.size(), f) != picture.size()) fprintf(stderr, "short picture\n");
            fclose(f);
        }
    }
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setSwapInterval(0);
    QSurfaceFormat::setDefaultFormat(format);
    const bool gl = argc > 1 && strcmp(argv[1], "gl") == 0;
    QWindow *window = gl ? static_cast<QWindow *>(new GlWindow) : new ProcessorWindow;
    window->resize(1754, 1096);
    window->show();
    return app.exec();
}
