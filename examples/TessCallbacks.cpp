#include "TessCallbacks.h"

#include "Form1.h"

#include <array>
#include <stdexcept>

namespace {

VornCtl& tessViewport()
{
    Form1* form = Form1::defaultInstance();
    if (!form || !form->VornCtl3)
        throw std::logic_error("no examples window");
    return *form->VornCtl3;
}

// Runs one statement; an error skips it and the callback goes on.
template <class Statement>
void ignoringErrors(Statement&& statement)
{
    try {
        statement();
    } catch (...) {
    }
}

} // namespace

void onTessBegin(GLenum which)
{
    ignoringErrors([&] { tessViewport().glBegin(which); });
}

void onTessVertex(void* data)
{
    std::array<double, 7> values{}; // a failed read leaves them 0
    std::array<double, 7> coords{};
    ignoringErrors([&] { tessViewport().ReadDataBuffer(GL_DOUBLE, data, values); });
    for (std::size_t i = 0; i <= 2; ++i)
        coords[i] = values[i];
    ignoringErrors([&] { tessViewport().glVertex3dv(coords.data()); });
    for (std::size_t i = 3; i <= 5; ++i)
        coords[i - 3] = values[i];
    ignoringErrors([&] { tessViewport().glColor3dv(coords.data()); });
}

void onTessEnd()
{
    ignoringErrors([&] { tessViewport().glEnd(); });
}
