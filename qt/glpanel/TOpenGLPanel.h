// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing panel of every chart and readout: a native child window with
// its own double-buffered RGBA OpenGL context, bitmap and outline fonts as
// display lists, and handlers called with the context current. Between
// handler calls no context is current, so panels on one thread take turns.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string_view>

#include "painting/GlyphLists.h"
#include "painting/Panel.h"
#include "painting/PanelTypes.h"

class QOpenGLContext;
class QWindow;

namespace glpanel {

class PanelSurface;

class TOpenGLPanel : public QWidget, public display::Panel, public PublishedProperties {
public:
    using Handler = std::function<void(TOpenGLPanel*)>;

    explicit TOpenGLPanel(QWidget* parent = nullptr);
    ~TOpenGLPanel() override;

    Handler OnPreInit, OnInit, OnResize, OnPaint;

    // Valid only inside the handlers. Texts are code page 1251 bytes; a text
    // with any byte outside the font's range draws nothing.
    void Draw2DText(std::string_view text) const override;
    void Draw3DText(std::string_view text) const override;
    int panelWidth() const override { return width(); }
    int panelHeight() const override { return height(); }

    // Paints now, as the window system's paint message would.
    void repaintNow();
    // Presents the back buffer; for owners that swap themselves (Manual).
    void swapBuffersNow();

    bool contextReady() const { return context_ != nullptr && initDone_; }
    // Colour, depth and buffering the platform granted.
    int grantedColorBits() const { return grantedColorBits_; }
    int grantedDepthBits() const { return grantedDepthBits_; }
    bool grantedDoubleBuffer() const { return grantedDouble_; }
    // Size in device pixels, for the viewport.
    int deviceWidth() const override;
    int deviceHeight() const override;
    QWindow* surfaceWindow() const;
    long paintCount() const { return paints_; }

    // Panels created from now on whose pixel format matches draw through one
    // rendering context instead of one each, and restore their own state
    // (OnInit) before every paint. On a software renderer every context
    // costs about ten megabytes; the pictures are the same.
    static void setOneContextForAll(bool on);

    // Where failure reports go; by default a modal message box.
    static void setReportHandler(std::function<void(const QString&)> handler);

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    friend class PanelSurface;
    void createGLContext();
    void initContext();
    void paintCycle();
    void surfaceResized();
    bool makeCurrentOrReport();
    const void* shareGroup() const;
    void releaseContext();
    void report(const QString& text);

    PanelSurface* surface_ = nullptr;
    QWidget* container_ = nullptr;
    void grantedFromContext();
    bool sharesContext() const { return sharesContext_ || context_.use_count() > 1; }
    std::shared_ptr<QOpenGLContext> context_;
    bool sharesContext_ = false;  // another panel draws through context_ too
    std::shared_ptr<display::OpenGLFont2D> font2D_;
    std::shared_ptr<display::OpenGLFont3D> font3D_;
    bool created_ = false;
    bool initDone_ = false;
    bool isDoubleBuffered_ = false;
    bool currentFailureReported_ = false;
    int grantedColorBits_ = 0;
    int grantedDepthBits_ = 0;
    bool grantedDouble_ = false;
    long paints_ = 0;
};

}  // namespace glpanel
