#pragma once
// Module1's GLU tessellator callbacks. They draw on VornCtl3 of the default
// Form1 and skip any call that fails, so no error ever leaves them.
#include <GL/gl.h>

void onTessBegin(GLenum which);
// data is the address of a vertex's buffer: x, y, z, r, g, b. The position is
// issued before the colour, so a colour applies from the next vertex on.
void onTessVertex(void* data);
void onTessEnd();
