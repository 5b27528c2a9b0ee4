// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/glpanel/TOpenGLPanel.h"

#include <QMessageBox>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QWindow>

#include <cerrno>

#include "qt/glpanel/GlyphShapes.h"

namespace glpanel {

// The native window the panel draws in. It forwards the window system's
// expose, update and resize to the panel.
class PanelSurface : public QWindow {
public:
    explicit PanelSurface(TOpenGLPanel* panel) : panel_(panel) { setSurfaceType(QWindow::OpenGLSurface); }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (isExposed()) panel_->paintCycle();
    }
    void resizeEvent(QResizeEvent*) override { panel_->resized(); }
    bool event(QEvent* e) override {
        if (e->type() == QEvent::UpdateRequest) {
            panel_->paintCycle();
            return true;
        }
        return QWindow::event(e);
    }

private:
    TOpenGLPanel* panel_;
};

namespace {
bool gOneContext = false;
std::weak_ptr<QOpenGLContext> gTheContext;
QSurfaceFormat gTheFormat;  // what the one context was asked for

bool sameFormat(const QSurfaceFormat& a, const QSurfaceFormat& b) {
    return a.swapBehavior() == b.swapBehavior() && a.redBufferSize() == b.redBufferSize() &&
           a.alphaBufferSize() == b.alphaBufferSize() && a.depthBufferSize() == b.depthBufferSize() &&
           a.stereo() == b.stereo();
}

}  // namespace

void TOpenGLPanel::setOneContextForAll(bool on) { gOneContext = on; }

TOpenGLPanel::TOpenGLPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

TOpenGLPanel::~TOpenGLPanel() {
    if (context_ && surface_ && context_->makeCurrent(surface_)) {
        outlineFont_.reset();
        bitmapFont_.reset();
        context_->doneCurrent();
    }
    context_.reset();
}

void TOpenGLPanel::showReport(const std::string& text) {
    // The box runs an event loop of its own: paints and exposes that arrive
    // meanwhile find the panel already without a context and do nothing.
    QMessageBox::critical(window(), QString(), QString::fromStdString(text));
}

int TOpenGLPanel::deviceWidth() const { return qRound(width() * devicePixelRatioF()); }
int TOpenGLPanel::deviceHeight() const { return qRound(height() * devicePixelRatioF()); }
QWindow* TOpenGLPanel::surfaceWindow() const { return surface_; }

void TOpenGLPanel::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!created_) createGLContext();
}

void TOpenGLPanel::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (container_) container_->setGeometry(rect());
}

void TOpenGLPanel::createGLContext() {
    created_ = true;
    if (OnPreInit) OnPreInit(this);
    const PixelFormatRequest req = request();
    QSurfaceFormat fmt;  // the default version: Mesa gives a compatibility context
    fmt.setRenderableType(QSurfaceFormat::OpenGL);
    fmt.setSwapBehavior(req.doubleBuffered() ? QSurfaceFormat::DoubleBuffer : QSurfaceFormat::SingleBuffer);
    const int perChannel = req.colorBits >= 24 ? 8 : (req.colorBits >= 15 ? 5 : 4);
    fmt.setRedBufferSize(perChannel);
    fmt.setGreenBufferSize(perChannel);
    fmt.setBlueBufferSize(perChannel);
    fmt.setAlphaBufferSize(req.colorBits >= 32 ? 8 : 0);
    fmt.setDepthBufferSize(req.depthBits);
    fmt.setStereo(req.flags & kPfdStereo);

    surface_ = new PanelSurface(this);
    surface_->setFormat(fmt);
    container_ = QWidget::createWindowContainer(surface_, this);
    container_->setGeometry(rect());
    container_->show();
    surface_->create();
    doubleBuffered_ = req.doubleBuffered();

    if (auto shared = gTheContext.lock(); gOneContext && shared && sameFormat(gTheFormat, fmt)) {
        context_ = shared;
        sharesContext_ = true;
        grantedFromContext();
        initDone_ = true;
        initialise();
        return;
    }
    context_ = std::make_shared<QOpenGLContext>();
    context_->setFormat(fmt);
    // Panels share display lists where the application asked Qt to share
    // contexts, so each font is built once for all of them.
    if (QOpenGLContext* global = QOpenGLContext::globalShareContext()) context_->setShareContext(global);
    // The code is the one this step left; where the window system names
    // none (no OpenGL on the display at all) it is ENODEV.
    errno = 0;
    if (!context_->create()) {
        const int code = errno != 0 ? errno : ENODEV;
        // The half-made context goes before any box opens.
        context_.reset();
        report("wglRenderingContext:" + std::to_string(code));
        report("Open GL Context Create Failed");
        return;
    }
    if (gOneContext) {
        gTheContext = context_;
        gTheFormat = fmt;
    }
    grantedFromContext();
    initDone_ = true;
    initialise();
}

void TOpenGLPanel::grantedFromContext() {
    const QSurfaceFormat got = context_->format();
    grantedColorBits_ =
        got.redBufferSize() + got.greenBufferSize() + got.blueBufferSize() + std::max(0, got.alphaBufferSize());
    grantedDouble_ = got.swapBehavior() != QSurfaceFormat::SingleBuffer;
}

void TOpenGLPanel::buildFonts() {
    useQtGlyphs();
    if (Font3D_Enabled) {
        outlineFont_ = display::sharedOutlineFont(shareGroup(), Font3D_Type, Font3D_FirstGylph, Font3D_NumGylph,
                                                  Font3D_Extrustion, Font3D_Format);
        if (outlineFont_) font3D_ = {outlineFont_->base, outlineFont_->first, outlineFont_->count};
    }
    if (Font2D_Enabled) {
        FontSpec scaled = Font2D_Type;
        // Bitmap glyphs are device pixels: scale them with the window.
        scaled.height = qRound(Font2D_Type.height * devicePixelRatioF());
        bitmapFont_ = display::sharedBitmapFont(shareGroup(), scaled, Font2D_FirstGylph, Font2D_NumGylph);
        if (bitmapFont_) font2D_ = {bitmapFont_->base, bitmapFont_->first, bitmapFont_->count};
    }
}

const void* TOpenGLPanel::shareGroup() const {
    return context_ && context_->shareContext() ? context_->shareGroup() : nullptr;
}

bool TOpenGLPanel::exposed() const { return surface_->isExposed(); }

bool TOpenGLPanel::makeCurrent() {
    if (context_ && surface_ && context_->makeCurrent(surface_)) return true;
    sayOnce("wglMakeCurrent:" + std::to_string(errno));
    return false;
}

void TOpenGLPanel::release() { context_->doneCurrent(); }

void TOpenGLPanel::present() { context_->swapBuffers(surface_); }

}  // namespace glpanel
