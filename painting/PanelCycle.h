// SPDX-License-Identifier: GPL-3.0-or-later
// What every face's drawing panel does alike around its window system's
// OpenGL context: the handlers and when each runs, the texts drawn through
// the fonts' display lists, the picture presented after a paint, and a
// failure said once. A face makes the window, the context and the fonts'
// lists, and supplies the context's operations below.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "painting/Panel.h"
#include "painting/PanelTypes.h"
#include "painting/TextLists.h"
#include "platform/OpenGl.h"

namespace glpanel {

// Self: the face's panel, which the handlers are given.
template <typename Self>
class PanelCycle : public display::Panel, public PublishedProperties {
public:
    using Handler = std::function<void(Self*)>;
    Handler OnPreInit, OnInit, OnResize, OnPaint;

    // Valid only inside the handlers. Texts are code page 1251 bytes; a text
    // with any byte outside the font's range draws nothing.
    void Draw2DText(std::string_view text) const override { font2D_.draw(text, false); }
    void Draw3DText(std::string_view text) const override { font3D_.draw(text, true); }

    // Paints now, as the window system's paint message does.
    void repaintNow() { paintCycle(); }
    // Presents the back buffer; for owners that swap themselves (Manual).
    void swapBuffersNow() {
        if (!hasContext() || !makeCurrent()) return;
        present();
        release();
    }
    long paintCount() const { return paints_; }

    // Where failure reports go; by default the face's error box.
    static void setReportHandler(std::function<void(const std::string&)> handler) {
        reportHandler() = std::move(handler);
    }

protected:
    // A font's display lists: one for each code from first on (none while base is 0).
    struct FontLists {
        unsigned base = 0;
        int first = 0, count = 0;
        void draw(std::string_view text, bool outline) const {
            display::callTextLists(base, first, count, text, outline);
        }
    };

    // The window system's part. makeCurrent says its own failure (through
    // sayOnce where it would repeat on every tick).
    virtual bool hasContext() const = 0;
    virtual bool exposed() const { return true; }
    virtual bool makeCurrent() = 0;
    virtual void release() = 0;
    virtual void present() = 0;
    // The error box of the panel's window.
    virtual void showReport(const std::string& text) = 0;
    // True when other panels draw through the same context: it holds their
    // state, and this panel's own (OnInit) comes back before each use.
    virtual bool sharesContext() const { return false; }
    // After the paint, with the context still current, before presenting.
    virtual void painted() {}
    // After the paint, its context released.
    virtual void afterPaint() {}
    // With the context current, once it is made: the fonts' lists.
    virtual void buildFonts() {}

    // The first use of a new context: its fonts, then OnInit.
    void initialise() {
        if (!makeCurrent()) return;
        buildFonts();
        if (OnInit) OnInit(self());
        release();
    }
    void paintCycle() {
        if (!OnPaint || !hasContext() || !exposed() || !makeCurrent()) return;
        if (sharesContext() && OnInit) OnInit(self());
        OnPaint(self());
        ++paints_;
        painted();
        if (GLSwapBuffers == SwapBuffersMode::Auto && doubleBuffered_)
            present();
        else if (!doubleBuffered_)
            glFlush();
        release();
        afterPaint();
    }
    void resized() {
        if (!OnResize || !hasContext() || !makeCurrent()) return;
        if (sharesContext() && OnInit) OnInit(self());
        OnResize(self());
        release();
    }
    void report(const std::string& text) {
        if (reportHandler())
            reportHandler()(text);
        else
            showReport(text);
    }
    // Said the first time only: a box on every 30 ms tick would lock the user out.
    void sayOnce(const std::string& text) {
        if (said_) return;
        said_ = true;
        report(text);
    }

    bool doubleBuffered_ = true;
    FontLists font2D_, font3D_;

private:
    Self* self() { return static_cast<Self*>(this); }
    static std::function<void(const std::string&)>& reportHandler() {
        static std::function<void(const std::string&)> handler;
        return handler;
    }

    long paints_ = 0;
    bool said_ = false;
};

}  // namespace glpanel
