// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/glpanel/TOpenGLPanel.h"

#include <GL/gl.h>

#include <QMessageBox>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QWindow>

#include <cerrno>

#include "painting/TextLists.h"
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
    void resizeEvent(QResizeEvent*) override { panel_->surfaceResized(); }
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

// Empty: a message box that belongs to the panel's window.
std::function<void(const QString&)>& reportHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}
}  // namespace

void TOpenGLPanel::setOneContextForAll(bool on) { gOneContext = on; }

void TOpenGLPanel::setReportHandler(std::function<void(const QString&)> handler) {
    reportHandler() = std::move(handler);
}

TOpenGLPanel::TOpenGLPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

TOpenGLPanel::~TOpenGLPanel() {
    if (context_ && surface_ && context_->makeCurrent(surface_)) {
        font3D_.reset();
        font2D_.reset();
        context_->doneCurrent();
    }
    context_.reset();
}

void TOpenGLPanel::report(const QString& text) {
    if (reportHandler()) {
        reportHandler()(text);
        return;
    }
    // The box runs an event loop of its own: paints and exposes that arrive
    // meanwhile find the panel already without a context and do nothing.
    QMessageBox::critical(window(), QString(), text);
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
    isDoubleBuffered_ = req.doubleBuffered();

    if (auto shared = gTheContext.lock(); gOneContext && shared && sameFormat(gTheFormat, fmt)) {
        context_ = shared;
        sharesContext_ = true;
        grantedFromContext();
        initContext();
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
        report(QStringLiteral("wglRenderingContext:%1").arg(code));
        report(QStringLiteral("Open GL Context Create Failed"));
        return;
    }
    if (gOneContext) {
        gTheContext = context_;
        gTheFormat = fmt;
    }
    grantedFromContext();
    initContext();
}

void TOpenGLPanel::grantedFromContext() {
    const QSurfaceFormat got = context_->format();
    grantedColorBits_ =
        got.redBufferSize() + got.greenBufferSize() + got.blueBufferSize() + std::max(0, got.alphaBufferSize());
    grantedDepthBits_ = got.depthBufferSize();
    grantedDouble_ = got.swapBehavior() != QSurfaceFormat::SingleBuffer;
}

void TOpenGLPanel::initContext() {
    initDone_ = true;
    if (!OnInit) return;
    if (!makeCurrentOrReport()) return;
    useQtGlyphs();
    if (Font3D_Enabled) {
        font3D_ = display::sharedOutlineFont(shareGroup(), Font3D_Type, Font3D_FirstGylph, Font3D_NumGylph,
                                             Font3D_Extrustion, Font3D_Format);
    }
    if (Font2D_Enabled) {
        FontSpec scaled = Font2D_Type;
        // Bitmap glyphs are device pixels: scale them with the window.
        scaled.height = qRound(Font2D_Type.height * devicePixelRatioF());
        font2D_ = display::sharedBitmapFont(shareGroup(), scaled, Font2D_FirstGylph, Font2D_NumGylph);
    }
    OnInit(this);
    releaseContext();
}

const void* TOpenGLPanel::shareGroup() const {
    return context_ && context_->shareContext() ? context_->shareGroup() : nullptr;
}

bool TOpenGLPanel::makeCurrentOrReport() {
    if (context_ && surface_ && context_->makeCurrent(surface_)) return true;
    // Reported once per panel: a box on every 30 ms tick would lock the user out.
    if (!currentFailureReported_) {
        currentFailureReported_ = true;
        report(QStringLiteral("wglMakeCurrent:%1").arg(errno));
    }
    return false;
}

void TOpenGLPanel::releaseContext() {
    if (context_) context_->doneCurrent();
}

void TOpenGLPanel::paintCycle() {
    if (!OnPaint) return;
    if (!surface_ || !surface_->isExposed()) return;
    // A panel whose context could not be made has said so once; it never
    // paints, and does not repeat the report on every tick.
    if (!context_) return;
    if (!makeCurrentOrReport()) return;
    // A context that other panels draw through holds their state: this
    // panel's own comes back first.
    if (sharesContext() && OnInit) OnInit(this);
    OnPaint(this);
    ++paints_;
    if (GLSwapBuffers == SwapBuffersMode::Auto && isDoubleBuffered_) {
        context_->swapBuffers(surface_);
    } else if (!isDoubleBuffered_) {
        glFlush();
    }
    releaseContext();
}

void TOpenGLPanel::swapBuffersNow() {
    if (context_ && surface_ && context_->makeCurrent(surface_)) {
        context_->swapBuffers(surface_);
        releaseContext();
    }
}

void TOpenGLPanel::repaintNow() { paintCycle(); }

void TOpenGLPanel::surfaceResized() {
    if (!OnResize || !context_) return;
    if (!makeCurrentOrReport()) return;
    if (sharesContext() && OnInit) OnInit(this);
    OnResize(this);
    releaseContext();
}

void TOpenGLPanel::Draw2DText(std::string_view text) const {
    const display::OpenGLFont2D* f = font2D_.get();
    if (f) display::callTextLists(f->base, f->first, f->count, text, false);
}

void TOpenGLPanel::Draw3DText(std::string_view text) const {
    const display::OpenGLFont3D* f = font3D_.get();
    if (f) display::callTextLists(f->base, f->first, f->count, text, true);
}

}  // namespace glpanel
