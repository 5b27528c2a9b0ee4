// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/GlyphLists.h"

#include "platform/OpenGl.h"

#include <GL/glu.h>

#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <tuple>

namespace display {

using glpanel::Font3DFormat;
using glpanel::FontSpec;

namespace {

using Point = std::array<double, 2>;

struct OutlineGlyph {
    std::vector<std::vector<Point>> contours;  // closed, in em units, y up
    std::vector<Point> triangles;              // the filled face, three points each
    GlyphMetrics metrics;
};

struct Tessellation {
    std::vector<Point>* out;
    GLenum mode = GL_TRIANGLES;
    std::vector<Point> pending;
    std::deque<std::array<GLdouble, 3>> combined;  // alive until the polygon ends
};

void flushPrimitive(Tessellation& t) {
    auto& v = t.pending;
    if (t.mode == GL_TRIANGLES) {
        for (std::size_t i = 0; i + 2 < v.size(); i += 3) t.out->insert(t.out->end(), {v[i], v[i + 1], v[i + 2]});
    } else if (t.mode == GL_TRIANGLE_FAN) {
        for (std::size_t i = 1; i + 1 < v.size(); ++i) t.out->insert(t.out->end(), {v[0], v[i], v[i + 1]});
    } else if (t.mode == GL_TRIANGLE_STRIP) {
        for (std::size_t i = 0; i + 2 < v.size(); ++i) t.out->insert(t.out->end(), {v[i], v[i + 1], v[i + 2]});
    }
    v.clear();
}

extern "C" {
void tessBegin(GLenum mode, void* data) {
    auto& t = *static_cast<Tessellation*>(data);
    t.mode = mode;
    t.pending.clear();
}
void tessVertex(void* vertex, void* data) {
    auto* v = static_cast<GLdouble*>(vertex);
    static_cast<Tessellation*>(data)->pending.push_back({v[0], v[1]});
}
void tessEnd(void* data) { flushPrimitive(*static_cast<Tessellation*>(data)); }
void tessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* data) {
    auto& t = *static_cast<Tessellation*>(data);
    t.combined.push_back({coords[0], coords[1], coords[2]});
    *out = t.combined.back().data();
}
void tessError(GLenum, void*) {}
}

std::vector<Point> tessellate(const std::vector<std::vector<Point>>& contours) {
    std::vector<Point> triangles;
    GLUtesselator* tess = gluNewTess();
    if (!tess) return triangles;
    Tessellation t;
    t.out = &triangles;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<void (*)()>(tessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<void (*)()>(tessVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<void (*)()>(tessEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<void (*)()>(tessCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<void (*)()>(tessError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    std::deque<std::array<GLdouble, 3>> coords;  // alive until the polygon ends
    gluTessBeginPolygon(tess, &t);
    for (const auto& c : contours) {
        gluTessBeginContour(tess);
        for (const Point& p : c) {
            coords.push_back({p[0], p[1], 0.0});
            gluTessVertex(tess, coords.back().data(), coords.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    return triangles;
}

// ---- caches ----------------------------------------------------------------

GlyphSource gSource;

using FontKey = std::tuple<std::string, int, bool, bool, int>;
FontKey keyOf(const FontSpec& s) { return {s.name, s.height, s.bold, s.italic, s.charset}; }

std::mutex gCacheMutex;
std::map<FontKey, std::vector<BitmapGlyph>> gBitmaps;
std::map<FontKey, std::vector<OutlineGlyph>> gOutlines;

const std::vector<BitmapGlyph>& bitmapGlyphs(const FontSpec& face) {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    auto& glyphs = gBitmaps[keyOf(face)];
    if (glyphs.empty())
        for (int code = 0; code < 256; ++code)
            glyphs.push_back(gSource.bitmap && hasGlyph(code) ? gSource.bitmap(face, code) : BitmapGlyph{});
    return glyphs;
}

const std::vector<OutlineGlyph>& outlineGlyphs(const FontSpec& face) {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    auto& glyphs = gOutlines[keyOf(face)];
    if (glyphs.empty()) {
        for (int code = 0; code < 256; ++code) {
            OutlineGlyph g;
            if (gSource.outline && hasGlyph(code)) {
                GlyphOutline shape = gSource.outline(face, code);
                g.contours = std::move(shape.contours);
                g.metrics = shape.metrics;
                g.triangles = tessellate(g.contours);
            }
            glyphs.push_back(std::move(g));
        }
    }
    return glyphs;
}

void emitOutline(const OutlineGlyph& g, float extrusion, Font3DFormat format) {
    const double back = -static_cast<double>(extrusion);
    if (format == Font3DFormat::Lines) {
        for (double z : {0.0, back}) {
            for (const auto& c : g.contours) {
                glBegin(GL_LINE_LOOP);
                for (const Point& p : c) glVertex3d(p[0], p[1], z);
                glEnd();
            }
        }
        return;
    }
    glBegin(GL_TRIANGLES);
    glNormal3d(0, 0, 1);
    for (const Point& p : g.triangles) glVertex3d(p[0], p[1], 0);
    glNormal3d(0, 0, -1);
    for (std::size_t i = 0; i + 2 < g.triangles.size(); i += 3) {  // reversed winding
        glVertex3d(g.triangles[i][0], g.triangles[i][1], back);
        glVertex3d(g.triangles[i + 2][0], g.triangles[i + 2][1], back);
        glVertex3d(g.triangles[i + 1][0], g.triangles[i + 1][1], back);
    }
    glEnd();
    for (const auto& c : g.contours) {
        glBegin(GL_QUAD_STRIP);
        for (std::size_t i = 0; i <= c.size(); ++i) {
            const Point& p = c[i % c.size()];
            const Point& q = c[(i + 1) % c.size()];
            glNormal3d(q[1] - p[1], p[0] - q[0], 0);
            glVertex3d(p[0], p[1], 0);
            glVertex3d(p[0], p[1], back);
        }
        glEnd();
    }
}

int clampCount(int first, int count) {
    if (first < 0 || count <= 0 || first > 255) return 0;
    return std::min(count, 256 - first);
}

}  // namespace

void setGlyphSource(const GlyphSource& source) { gSource = source; }

OpenGLFont2D::~OpenGLFont2D() {
    if (base) glDeleteLists(base, count);
}

OpenGLFont3D::~OpenGLFont3D() {
    if (base) glDeleteLists(base, count);
}

std::unique_ptr<OpenGLFont2D> buildBitmapFont(const FontSpec& face, int first, int count) {
    count = clampCount(first, count);
    if (count == 0) return nullptr;
    const GLuint base = glGenLists(count);
    if (base == 0) return nullptr;
    auto font = std::make_unique<OpenGLFont2D>();
    font->first = first;
    font->count = count;
    font->base = base;
    const auto& glyphs = bitmapGlyphs(face);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows are byte-padded, unpacked at compile time
    for (int i = 0; i < count; ++i) {
        const BitmapGlyph& g = glyphs[static_cast<std::size_t>(first + i)];
        glNewList(base + static_cast<GLuint>(i), GL_COMPILE);
        glBitmap(g.width, g.height, g.xorig, g.yorig, g.advance, 0, g.rows.empty() ? nullptr : g.rows.data());
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return font;
}

std::unique_ptr<OpenGLFont3D> buildOutlineFont(const FontSpec& face, int first, int count, float extrusion,
                                               Font3DFormat format) {
    count = clampCount(first, count);
    if (count == 0) return nullptr;
    const GLuint base = glGenLists(count);
    if (base == 0) return nullptr;
    auto font = std::make_unique<OpenGLFont3D>();
    font->first = first;
    font->count = count;
    font->base = base;
    font->extrusion = extrusion;
    const auto& glyphs = outlineGlyphs(face);
    for (int i = 0; i < count; ++i) {
        const OutlineGlyph& g = glyphs[static_cast<std::size_t>(first + i)];
        glNewList(base + static_cast<GLuint>(i), GL_COMPILE);
        emitOutline(g, extrusion, format);
        glTranslatef(g.metrics.cellIncX, g.metrics.cellIncY, 0);
        glEndList();
    }
    return font;
}

namespace {
using SharedKey = std::tuple<const void*, FontKey, int, int, float, int>;
std::map<SharedKey, std::weak_ptr<OpenGLFont2D>> gShared2D;
std::map<SharedKey, std::weak_ptr<OpenGLFont3D>> gShared3D;
}  // namespace

std::shared_ptr<OpenGLFont2D> sharedBitmapFont(const void* group, const FontSpec& face, int first, int count) {
    if (!group) return buildBitmapFont(face, first, count);
    const SharedKey key{group, keyOf(face), first, count, 0.0f, 0};
    if (auto font = gShared2D[key].lock()) return font;
    std::shared_ptr<OpenGLFont2D> font = buildBitmapFont(face, first, count);
    gShared2D[key] = font;
    return font;
}

std::shared_ptr<OpenGLFont3D> sharedOutlineFont(const void* group, const FontSpec& face, int first, int count,
                                                float extrusion, Font3DFormat format) {
    if (!group) return buildOutlineFont(face, first, count, extrusion, format);
    const SharedKey key{group, keyOf(face), first, count, extrusion, static_cast<int>(format)};
    if (auto font = gShared3D[key].lock()) return font;
    std::shared_ptr<OpenGLFont3D> font = buildOutlineFont(face, first, count, extrusion, format);
    gShared3D[key] = font;
    return font;
}

}  // namespace display
