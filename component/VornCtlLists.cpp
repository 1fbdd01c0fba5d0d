// Display lists that hold accumulation calls. The control carries those out
// itself, so while such a list is compiled it is cut into GL lists for the
// calls in between, and calling it runs the pieces and the accumulation
// calls in their order. Lists without accumulation calls stay GL's own.

#include "VornCtl.h"

#include <cstring>

namespace {

constexpr int kMaxListNesting = 64; // GL_MAX_LIST_NESTING of common drivers

// The list names glCallLists reads from `lists` for `type`, before the list base.
std::vector<GLuint> listNames(GLsizei n, GLenum type, const GLvoid* lists)
{
    std::vector<GLuint> names;
    const auto* bytes = static_cast<const unsigned char*>(lists);
    auto take = [&](auto sample) {
        for (GLsizei i = 0; i < n; ++i) {
            decltype(sample) value;
            std::memcpy(&value, bytes + i * sizeof value, sizeof value);
            names.push_back(static_cast<GLuint>(value));
        }
    };
    auto bigEndian = [&](int width) {
        for (GLsizei i = 0; i < n; ++i) {
            GLuint value = 0;
            for (int b = 0; b < width; ++b)
                value = value << 8 | bytes[i * width + b];
            names.push_back(value);
        }
    };
    switch (type) {
    case GL_BYTE: take(GLbyte{}); break;
    case GL_UNSIGNED_BYTE: take(GLubyte{}); break;
    case GL_SHORT: take(GLshort{}); break;
    case GL_UNSIGNED_SHORT: take(GLushort{}); break;
    case GL_INT: take(GLint{}); break;
    case GL_UNSIGNED_INT: take(GLuint{}); break;
    case GL_FLOAT: take(GLfloat{}); break;
    case GL_2_BYTES: bigEndian(2); break;
    case GL_3_BYTES: bigEndian(3); break;
    case GL_4_BYTES: bigEndian(4); break;
    }
    return names;
}

} // namespace

void VornCtl::glNewList(GLuint list, GLenum mode)
{
    if (!beginCall())
        return;
    if (compiling_) { // GL refuses a list inside a list
        ::glNewList(list, mode);
        return;
    }
    ::glNewList(list, mode);
    GLint index = 0;
    ::glGetIntegerv(GL_LIST_INDEX, &index);
    if (index == 0 || static_cast<GLuint>(index) != list)
        return; // GL refused it (a zero name or an unknown mode)
    dropListSteps(list);
    compiling_ = list;
    compileMode_ = mode;
}

void VornCtl::glEndList()
{
    if (!beginCall())
        return;
    ::glEndList();
    compiling_ = 0;
}

// Ends the GL list compiled so far, adds the step and compiles what follows
// into a fresh GL list; in GL_COMPILE_AND_EXECUTE mode the step runs now too.
// (runListStep keeps `steps` valid: it does not compile lists.)
void VornCtl::recordListStep(const ListStep& step)
{
    auto& steps = listSteps_[compiling_];
    if (steps.empty())
        steps.push_back({ListStep::Segment, compiling_});
    ::glEndList();
    steps.push_back(step);
    // Between two GL lists, so that the step's own GL calls are not compiled.
    if (compileMode_ == GL_COMPILE_AND_EXECUTE)
        runListStep(step, 0);
    const GLuint segment = ::glGenLists(1);
    ::glNewList(segment, compileMode_);
    steps.push_back({ListStep::Segment, segment});
}

void VornCtl::runListStep(const ListStep& step, int depth)
{
    switch (step.kind) {
    case ListStep::Segment: ::glCallList(step.list); break;
    case ListStep::Accum: runAccum(step.op, step.value); break;
    case ListStep::Clear: runClear(step.mask); break;
    case ListStep::Call: callList(step.list, depth + 1); break;
    }
}

void VornCtl::callList(GLuint list, int depth)
{
    const auto found = listSteps_.find(list);
    if (found == listSteps_.end()) {
        ::glCallList(list);
        return;
    }
    if (depth >= kMaxListNesting)
        return;                                        // GL stops there as well
    const std::vector<ListStep> steps = found->second; // a step may redefine the list
    for (const ListStep& step : steps)
        runListStep(step, depth);
}

void VornCtl::glCallList(GLuint list)
{
    if (!beginCall())
        return;
    if (compiling_ && listSteps_.count(list))
        recordListStep({ListStep::Call, list});
    else if (!compiling_)
        callList(list, 0);
    else
        ::glCallList(list);
}

void VornCtl::glCallLists(GLsizei n, GLenum type, const GLvoid* lists)
{
    if (!beginCall())
        return;
    if (listSteps_.empty() || n <= 0 || !lists) {
        ::glCallLists(n, type, lists);
        return;
    }
    const std::vector<GLuint> names = listNames(n, type, lists);
    if (names.empty()) { // an unknown type: let GL report it
        ::glCallLists(n, type, lists);
        return;
    }
    GLint base = 0;
    ::glGetIntegerv(GL_LIST_BASE, &base);
    for (GLuint name : names)
        glCallList(name + static_cast<GLuint>(base));
}

void VornCtl::glDeleteLists(GLuint list, GLsizei range)
{
    if (!beginCall())
        return;
    ::glDeleteLists(list, range);
    if (range <= 0)
        return;
    const auto first = listSteps_.lower_bound(list);
    const auto last = listSteps_.lower_bound(list + static_cast<GLuint>(range));
    std::vector<GLuint> dropped;
    for (auto it = first; it != last; ++it)
        dropped.push_back(it->first);
    for (GLuint name : dropped)
        dropListSteps(name);
}

// Forgets the steps of a list and deletes the GL lists that held its later pieces.
void VornCtl::dropListSteps(GLuint list)
{
    const auto found = listSteps_.find(list);
    if (found == listSteps_.end())
        return;
    for (const ListStep& step : found->second)
        if (step.kind == ListStep::Segment && step.list != list)
            ::glDeleteLists(step.list, 1);
    listSteps_.erase(found);
}
