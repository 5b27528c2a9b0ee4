// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing panel of every chart and readout: a native child window with
// its own double-buffered RGBA OpenGL context, bitmap and outline fonts as
// display lists, and handlers called with the context current. Between
// handler calls no context is current, so panels on one thread take turns.
#pragma once

#include <QWidget>

#include <memory>

#include "painting/GlyphLists.h"
#include "painting/PanelCycle.h"

class QOpenGLContext;
class QWindow;

namespace glpanel {

class PanelSurface;

class TOpenGLPanel : public QWidget, public PanelCycle<TOpenGLPanel> {
public:
    explicit TOpenGLPanel(QWidget* parent = nullptr);
    ~TOpenGLPanel() override;

    int panelWidth() const override { return width(); }
    int panelHeight() const override { return height(); }
    // Size in device pixels, for the viewport.
    int deviceWidth() const override;
    int deviceHeight() const override;

    bool contextReady() const { return context_ != nullptr && initDone_; }
    // Colour and buffering the platform granted.
    int grantedColorBits() const { return grantedColorBits_; }
    bool grantedDoubleBuffer() const { return grantedDouble_; }
    QWindow* surfaceWindow() const;

    // Panels created from now on whose pixel format matches draw through one
    // rendering context instead of one each, and restore their own state
    // (OnInit) before every paint. On a software renderer every context
    // costs about ten megabytes; the pictures are the same.
    static void setOneContextForAll(bool on);

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    friend class PanelSurface;
    void createGLContext();
    void grantedFromContext();
    const void* shareGroup() const;

    bool hasContext() const override { return context_ && surface_; }
    bool exposed() const override;
    bool makeCurrent() override;
    void release() override;
    void present() override;
    void showReport(const std::string& text) override;
    bool sharesContext() const override { return sharesContext_ || context_.use_count() > 1; }
    void buildFonts() override;

    PanelSurface* surface_ = nullptr;
    QWidget* container_ = nullptr;
    std::shared_ptr<QOpenGLContext> context_;
    bool sharesContext_ = false;  // another panel draws through context_ too
    std::shared_ptr<display::OpenGLFont2D> bitmapFont_;
    std::shared_ptr<display::OpenGLFont3D> outlineFont_;
    bool created_ = false;
    bool initDone_ = false;
    int grantedColorBits_ = 0;
    bool grantedDouble_ = false;
};

}  // namespace glpanel
