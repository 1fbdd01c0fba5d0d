#include "SurfaceExport.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace meshscope {

namespace {

using Vertex = std::array<float, 3>;

// The nodes around the range, counter-clockwise seen from above.
std::vector<std::array<int, 2>> perimeter(const DrawnSurface& s)
{
    std::vector<std::array<int, 2>> nodes;
    for (int x = s.firstX; x < s.lastX; ++x)
        nodes.push_back({x, s.firstY});
    for (int y = s.firstY; y < s.lastY; ++y)
        nodes.push_back({s.lastX, y});
    for (int x = s.lastX; x > s.firstX; --x)
        nodes.push_back({x, s.lastY});
    for (int y = s.lastY; y > s.firstY; --y)
        nodes.push_back({s.firstX, y});
    return nodes;
}

void appendNumber(std::string& out, float value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out += static_cast<char>((value >> (8 * k)) & 0xff);
}

void appendFloat(std::string& out, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    appendLittleEndian(out, bits, 4);
}

std::string lowerEnding(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ending = path.substr(dot);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending;
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

void appendNumber(std::string& out, double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

// What the mesh files say of their coordinates.
std::string meshUnitsText(const SurfaceUnits& units)
{
    return units.lengths() ? "meshscope surface: x, y and z in millimetres"
                           : "meshscope surface: x and y in grid steps, z in height units";
}

std::string csvColumn(const char* name, const std::optional<Quantity>& unit)
{
    return unit ? std::string(name) + " (" + unit->symbol() + ")" : std::string(name);
}

void appendGsfLine(std::string& out, const char* name, const std::string& value)
{
    out += name;
    out += " = ";
    out += value;
    out += '\n';
}

std::string gsfNumber(double value)
{
    std::string out;
    appendNumber(out, value);
    return out;
}

} // namespace

SolidMesh closedSolid(const DrawnSurface& s)
{
    SolidMesh mesh;
    if (!s.hasCells())
        return mesh;
    const float lowest = *std::min_element(s.z.begin(), s.z.end());
    mesh.floorZ = std::floor(lowest) - 1;

    const auto top
        = [&s](int x, int y) { return static_cast<std::uint32_t>((x - s.firstX) * s.rows() + (y - s.firstY)); };
    for (int x = s.firstX; x <= s.lastX; ++x)
        for (int y = s.firstY; y <= s.lastY; ++y)
            mesh.vertices.push_back({static_cast<float>(x), static_cast<float>(y), s.at(x, y)});

    // The top: each cell's two triangles as the paint's strip makes them.
    for (int x = s.firstX; x < s.lastX; ++x) {
        for (int y = s.firstY; y < s.lastY; ++y) {
            mesh.triangles.push_back({top(x, y), top(x + 1, y), top(x, y + 1)});
            mesh.triangles.push_back({top(x, y + 1), top(x + 1, y), top(x + 1, y + 1)});
        }
    }

    // Walls from each edge of the range down to the floor, and the floor as a
    // fan from its centre, so every edge is shared by exactly two triangles.
    const auto around = perimeter(s);
    const auto firstBottom = static_cast<std::uint32_t>(mesh.vertices.size());
    for (const auto& node : around)
        mesh.vertices.push_back({static_cast<float>(node[0]), static_cast<float>(node[1]), mesh.floorZ});
    const auto centre = static_cast<std::uint32_t>(mesh.vertices.size());
    mesh.vertices.push_back(
        {static_cast<float>((s.firstX + s.lastX) / 2.0), static_cast<float>((s.firstY + s.lastY) / 2.0), mesh.floorZ});
    const auto n = static_cast<std::uint32_t>(around.size());
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t j = (i + 1) % n;
        const std::uint32_t topA = top(around[i][0], around[i][1]);
        const std::uint32_t topB = top(around[j][0], around[j][1]);
        const std::uint32_t bottomA = firstBottom + i;
        const std::uint32_t bottomB = firstBottom + j;
        mesh.triangles.push_back({topA, bottomA, bottomB});
        mesh.triangles.push_back({topA, bottomB, topB});
        mesh.triangles.push_back({centre, bottomB, bottomA});
    }
    return mesh;
}

void scaleToMillimetres(SolidMesh& mesh, const SurfaceUnits& units)
{
    if (!units.lengths())
        return;
    const double xy = units.gridStep->inBase() * 1000;
    const double z = units.heightUnit->inBase() * 1000;
    for (Vertex& vertex : mesh.vertices) {
        vertex[0] = static_cast<float>(vertex[0] * xy);
        vertex[1] = static_cast<float>(vertex[1] * xy);
        vertex[2] = static_cast<float>(vertex[2] * z);
    }
    mesh.floorZ = static_cast<float>(mesh.floorZ * z);
}

std::string stlBinary(const SolidMesh& mesh, const SurfaceUnits& units)
{
    std::string out = meshUnitsText(units);
    out.resize(80, '\0');
    appendLittleEndian(out, static_cast<std::uint32_t>(mesh.triangles.size()), 4);
    out.reserve(out.size() + mesh.triangles.size() * 50);
    for (const auto& triangle : mesh.triangles) {
        const Vertex& a = mesh.vertices[triangle[0]];
        const Vertex& b = mesh.vertices[triangle[1]];
        const Vertex& c = mesh.vertices[triangle[2]];
        const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
        const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
        double normal[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        for (double& component : normal)
            appendFloat(out, static_cast<float>(length > 0 ? component / length : 0));
        for (const std::uint32_t index : triangle)
            for (const float coordinate : mesh.vertices[index])
                appendFloat(out, coordinate);
        appendLittleEndian(out, 0, 2);
    }
    return out;
}

std::string plyText(const SolidMesh& mesh, const SurfaceUnits& units)
{
    std::string out = "ply\nformat ascii 1.0\ncomment " + meshUnitsText(units) + "\n";
    out += "element vertex " + std::to_string(mesh.vertices.size()) + "\n";
    out += "property float x\nproperty float y\nproperty float z\n";
    out += "element face " + std::to_string(mesh.triangles.size()) + "\n";
    out += "property list uchar int vertex_indices\nend_header\n";
    for (const Vertex& vertex : mesh.vertices) {
        appendNumber(out, vertex[0]);
        out += ' ';
        appendNumber(out, vertex[1]);
        out += ' ';
        appendNumber(out, vertex[2]);
        out += '\n';
    }
    for (const auto& triangle : mesh.triangles)
        out += "3 " + std::to_string(triangle[0]) + ' ' + std::to_string(triangle[1]) + ' '
            + std::to_string(triangle[2]) + '\n';
    return out;
}

std::string csvText(const DrawnSurface& s, const SurfaceUnits& units)
{
    std::string out = csvColumn("x", units.gridStep) + ',' + csvColumn("y", units.gridStep) + ','
        + csvColumn("z", units.heightUnit) + '\n';
    const double step = units.gridStep ? units.gridStep->amount : 1;
    const double height = units.heightUnit ? units.heightUnit->amount : 1;
    for (int x = s.firstX; x <= s.lastX; ++x) {
        for (int y = s.firstY; y <= s.lastY; ++y) {
            if (units.gridStep) {
                appendNumber(out, static_cast<float>(x * step));
                out += ',';
                appendNumber(out, static_cast<float>(y * step));
            } else {
                out += std::to_string(x);
                out += ',';
                out += std::to_string(y);
            }
            out += ',';
            appendNumber(out, static_cast<float>(s.at(x, y) * height));
            out += '\n';
        }
    }
    return out;
}

std::string gsfFile(const DrawnSurface& s, const SurfaceUnits& units)
{
    const double step = units.gridStep ? units.gridStep->inBase() : 1;
    const double height = units.heightUnit ? units.heightUnit->inBase() : 1;
    std::string out = "Gwyddion Simple Field 1.0\n";
    appendGsfLine(out, "XRes", std::to_string(s.columns()));
    appendGsfLine(out, "YRes", std::to_string(s.rows()));
    appendGsfLine(out, "XReal", gsfNumber(s.columns() * step));
    appendGsfLine(out, "YReal", gsfNumber(s.rows() * step));
    appendGsfLine(out, "XOffset", gsfNumber(s.firstX * step));
    appendGsfLine(out, "YOffset", gsfNumber(s.firstY * step));
    if (units.gridStep)
        appendGsfLine(out, "XYUnits", units.gridStep->base);
    if (units.heightUnit)
        appendGsfLine(out, "ZUnits", units.heightUnit->base);
    appendGsfLine(out, "Title", "meshscope surface");
    // One to four NUL bytes end the header at a multiple of 4.
    out.append(4 - out.size() % 4, '\0');
    out.reserve(out.size() + s.z.size() * 4);
    for (int y = s.firstY; y <= s.lastY; ++y)
        for (int x = s.firstX; x <= s.lastX; ++x)
            appendFloat(out, static_cast<float>(s.at(x, y) * height));
    return out;
}

std::optional<std::string> exportSurface(const DrawnSurface& surface, const std::string& path,
                                         const SurfaceUnits& units)
{
    const std::string ending = lowerEnding(path);
    if (ending != ".stl" && ending != ".ply" && ending != ".csv" && ending != ".gsf")
        return std::string("unknown file type (end the name in .stl, .ply, .csv or .gsf)");
    if (ending == ".csv" || ending == ".gsf") {
        if (surface.empty())
            return std::string("the drawn surface has no point to export");
        return writeWhole(path, ending == ".csv" ? csvText(surface, units) : gsfFile(surface, units));
    }
    if (!surface.hasCells())
        return std::string("the drawn surface has no cell to export");
    SolidMesh mesh = closedSolid(surface);
    scaleToMillimetres(mesh, units);
    return writeWhole(path, ending == ".stl" ? stlBinary(mesh, units) : plyText(mesh, units));
}

std::optional<std::string> writeWhole(const std::string& path, std::string_view content)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return systemReason(EISDIR);

    // A hidden name beside the file, short enough for any file system.
    static std::atomic<unsigned> serial{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary
            = folder + "." + name.substr(0, 200) + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 100))
            return systemReason(errno);
    }
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return systemReason(error);
    };
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return systemReason(error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return systemReason(error);
    }
    // The rename itself reaches the disk with its folder.
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

} // namespace meshscope
