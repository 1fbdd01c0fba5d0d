// Display lists. Lists that hold accumulation calls: the control carries those
// out itself, so while such a list is compiled it is cut into GL lists for the
// calls in between, and calling it runs the pieces and the accumulation calls
// in their order. Lists without accumulation calls stay GL's own.
//
// The program's list names map to GL names the control hands out in order, so
// the pieces never take a name a program may choose. glGenLists and glIsList
// answer from the program's names as a window's context does: a new block
// starts above the highest name ever defined, and only when none is left there
// is the lowest free block taken.

#include "VornCtl.h"

#include <algorithm>
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

// The GL name of the program's list, handed out at its first use when create is set.
GLuint VornCtl::glListName(GLuint list, bool create)
{
    if (list == 0)
        return 0;
    const auto found = glListNames_.find(list);
    if (found != glListNames_.end())
        return found->second;
    if (!create)
        return 0;
    const GLuint name = nextGlListName_++;
    glListNames_.emplace(list, name);
    return name;
}

bool VornCtl::listExists(GLuint list) const
{
    const auto found = glListNames_.find(list);
    return found != glListNames_.end() && ::glIsList(found->second);
}

GLuint VornCtl::freeListBlock(GLsizei range) const
{
    const auto wanted = static_cast<GLuint>(range);
    constexpr GLuint kHighestName = ~GLuint{0} - 1;
    if (kHighestName - wanted > highestListName_)
        return highestListName_ + 1;
    GLuint start = 1; // the lowest run of free names long enough
    for (const auto& [list, name] : glListNames_) {
        if (!::glIsList(name))
            continue;
        if (list >= start && list - start >= wanted)
            return start;
        start = std::max(start, list + 1);
    }
    return kHighestName - start >= wanted ? start : 0;
}

GLuint VornCtl::glGenLists(GLsizei range)
{
    if (!beginCall())
        return 0;
    if (range <= 0)
        return ::glGenLists(range); // GL reports a negative range itself
    const GLuint first = freeListBlock(range);
    if (first == 0)
        return 0;
    // Reserved names are lists already, empty ones, as GL makes them.
    for (GLuint list = first; list - first < static_cast<GLuint>(range); ++list) {
        ::glNewList(glListName(list, true), GL_COMPILE);
        ::glEndList();
    }
    highestListName_ = std::max(highestListName_, first + static_cast<GLuint>(range) - 1);
    return first;
}

GLboolean VornCtl::glIsList(GLuint list)
{
    if (!beginCall())
        return GL_FALSE;
    return listExists(list) ? GL_TRUE : GL_FALSE;
}

void VornCtl::glNewList(GLuint list, GLenum mode)
{
    if (!beginCall())
        return;
    if (compiling_ || list == 0) { // GL refuses a list inside a list, and the name 0
        ::glNewList(compiling_ ? glListName(list, true) : 0, mode);
        return;
    }
    const GLuint name = glListName(list, true);
    ::glNewList(name, mode);
    GLint index = 0;
    ::glGetIntegerv(GL_LIST_INDEX, &index);
    if (static_cast<GLuint>(index) != name)
        return; // GL refused it (an unknown mode)
    dropListSteps(list);
    compiling_ = list;
    compileMode_ = mode;
}

void VornCtl::glEndList()
{
    if (!beginCall())
        return;
    ::glEndList();
    if (compiling_)
        highestListName_ = std::max(highestListName_, compiling_);
    compiling_ = 0;
}

// Ends the GL list compiled so far, adds the step and compiles what follows
// into a fresh GL list; in GL_COMPILE_AND_EXECUTE mode the step runs now too.
// (runListStep keeps `steps` valid: it does not compile lists.)
void VornCtl::recordListStep(const ListStep& step)
{
    auto& steps = listSteps_[compiling_];
    if (steps.empty())
        steps.push_back({ListStep::Segment, glListName(compiling_, true)});
    ::glEndList();
    steps.push_back(step);
    // Between two GL lists, so that the step's own GL calls are not compiled.
    if (compileMode_ == GL_COMPILE_AND_EXECUTE)
        runListStep(step, 0);
    const GLuint segment = nextGlListName_++;
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
        if (const GLuint name = glListName(list, false))
            ::glCallList(name);
        return; // a list never defined draws nothing
    }
    if (depth >= kMaxListNesting)
        return;                                        // GL stops there as well
    const std::vector<ListStep> steps = found->second; // a step may redefine the list
    for (const ListStep& step : steps)
        runListStep(step, depth);
}

// Compiled into a list, a call names the program's list as it will be then:
// its GL name is handed out now, so a later definition lands under it.
void VornCtl::glCallList(GLuint list)
{
    if (!beginCall())
        return;
    if (compiling_ && listSteps_.count(list))
        recordListStep({ListStep::Call, list});
    else if (!compiling_)
        callList(list, 0);
    else if (list != 0)
        ::glCallList(glListName(list, true));
}

// Each name, after the list base, is called as glCallList calls it; inside a
// list being compiled the base in force now applies.
void VornCtl::glCallLists(GLsizei n, GLenum type, const GLvoid* lists)
{
    if (!beginCall())
        return;
    if (n <= 0 || !lists) {
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
    if (range < 0) {
        ::glDeleteLists(list, range); // GL reports it
        return;
    }
    // Program names keep their GL names: lists compiled with a call to a
    // deleted name call whatever is defined under it later.
    const auto span = static_cast<GLuint>(range) - 1;
    const GLuint last = span > ~GLuint{0} - list ? ~GLuint{0} : list + span;
    for (auto it = glListNames_.lower_bound(list); range > 0 && it != glListNames_.end() && it->first <= last; ++it) {
        dropListSteps(it->first);
        ::glDeleteLists(it->second, 1);
    }
}

// Forgets the steps of a list and deletes the GL lists that held its later pieces.
void VornCtl::dropListSteps(GLuint list)
{
    const auto found = listSteps_.find(list);
    if (found == listSteps_.end())
        return;
    const GLuint ownName = glListName(list, false);
    for (const ListStep& step : found->second)
        if (step.kind == ListStep::Segment && step.list != ownName)
            ::glDeleteLists(step.list, 1);
    listSteps_.erase(found);
}
