// SPDX-License-Identifier: GPL-3.0-or-later
// A code page 1251 text drawn through a font's display lists (one list for
// each byte from first on), as both faces' panels draw their texts. A text
// with any byte outside the font draws nothing.
#pragma once

#include <string_view>

#include "platform/OpenGl.h"

namespace display {

// outline: the outline lists change the front face; the caller's comes back.
inline void callTextLists(unsigned base, int first, int count, std::string_view text, bool outline) {
    if (base == 0 || text.empty()) return;
    for (char c : text) {
        const int code = static_cast<unsigned char>(c);
        if (code < first || code > first + count - 1) return;
    }
    GLint frontFace = GL_CCW;
    if (outline) glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glPushAttrib(GL_LIST_BIT);
    glListBase(base - static_cast<GLuint>(first));
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
    glPopAttrib();
    if (outline) glFrontFace(static_cast<GLenum>(frontFace));
}

}  // namespace display
