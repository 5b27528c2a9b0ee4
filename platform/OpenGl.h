// SPDX-License-Identifier: GPL-3.0-or-later
// OpenGL 1.1 and GLU as each system declares them: the Windows headers need
// the calling conventions <windows.h> defines before them.
#pragma once

#ifdef _WIN32
#include <windows.h>
// (kept apart: <GL/gl.h> must follow <windows.h>)
#endif
#include <GL/gl.h>
#include <GL/glu.h>
