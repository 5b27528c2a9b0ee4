// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/PanelDrawing.h"

#include "platform/OpenGl.h"

#include <map>

#include "painting/Panel.h"
#include "platform/Cp1251.h"

namespace display::drawing {

void setColour(const Colour& c) { glColor4f(c.r, c.g, c.b, c.t); }
Colour withBrightness(const Colour& c, float t) { return {c.r, c.g, c.b, t}; }

void text2D(const Panel* panel, const std::string& text, int x, int y) {
    glRasterPos2i(x, y);
    panel->Draw2DText(text);
}

void beginPaint() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glLoadIdentity();
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_LINE_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void beginOverlay(const Panel* panel) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, panel->panelWidth(), panel->panelHeight(), 0, 1000, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void endOverlay() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

const std::string& text1251(const char* utf8) {
    // The strip's fixed Cyrillic texts, converted once.
    static std::map<const char*, std::string> cache;
    auto it = cache.find(utf8);
    if (it == cache.end()) it = cache.emplace(utf8, cp1251::fromUtf8(utf8)).first;
    return it->second;
}

}  // namespace display::drawing
