#include "Pick.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

namespace meshscope {

namespace {

using Vec3 = std::array<double, 3>;
using Mat4 = std::array<double, 16>; // column-major: element (r, c) at [c * 4 + r]

Vec3 operator-(const Vec3& a, const Vec3& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Vec3& a, const Vec3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

constexpr std::size_t element(std::size_t row, std::size_t column)
{
    return column * 4 + row;
}

Mat4 multiply(const Mat4& a, const Mat4& b)
{
    Mat4 product{};
    for (std::size_t c = 0; c < 4; ++c)
        for (std::size_t r = 0; r < 4; ++r) {
            double sum = 0;
            for (std::size_t k = 0; k < 4; ++k)
                sum += a[element(r, k)] * b[element(k, c)];
            product[element(r, c)] = sum;
        }
    return product;
}

// Gauss-Jordan with partial pivoting; empty for a singular matrix.
std::optional<Mat4> invert(const Mat4& m)
{
    double a[4][8];
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t c = 0; c < 4; ++c) {
            a[r][c] = m[element(r, c)];
            a[r][c + 4] = r == c ? 1 : 0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (std::fabs(a[pivot][col]) < 1e-300)
            return std::nullopt;
        std::swap(a[pivot], a[col]);
        const double scale = a[col][col];
        for (double& v : a[col])
            v /= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == col)
                continue;
            const double f = a[r][col];
            for (int c = 0; c < 8; ++c)
                a[r][c] -= f * a[col][c];
        }
    }
    Mat4 inverse{};
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t c = 0; c < 4; ++c)
            inverse[element(r, c)] = a[r][c + 4];
    return inverse;
}

std::optional<Vec3> unproject(const Mat4& inverse, double nx, double ny, double nz)
{
    const double in[4] = {nx, ny, nz, 1};
    double out[4] = {};
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t c = 0; c < 4; ++c)
            out[r] += inverse[element(r, c)] * in[c];
    if (out[3] == 0 || !std::isfinite(out[3]))
        return std::nullopt;
    return Vec3{out[0] / out[3], out[1] / out[3], out[2] / out[3]};
}

struct Ray {
    Vec3 origin;    // on the near plane
    Vec3 direction; // to the far plane: the view is t in 0..1
};

// Two-sided ray and triangle (Moller-Trumbore): GL draws both faces.
std::optional<double> hitTriangle(const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c)
{
    const Vec3 e1 = b - a;
    const Vec3 e2 = c - a;
    const Vec3 p = cross(ray.direction, e2);
    const double det = dot(e1, p);
    if (std::fabs(det) < 1e-18)
        return std::nullopt;
    const double inv = 1 / det;
    const Vec3 s = ray.origin - a;
    const double u = dot(s, p) * inv;
    constexpr double edge = 1e-9; // neighbouring triangles share their edges
    if (u < -edge || u > 1 + edge)
        return std::nullopt;
    const Vec3 q = cross(s, e1);
    const double v = dot(ray.direction, q) * inv;
    if (v < -edge || u + v > 1 + edge)
        return std::nullopt;
    const double t = dot(e2, q) * inv;
    if (t < 0 || t > 1)
        return std::nullopt;
    return t;
}

struct Nearest {
    double t = std::numeric_limits<double>::infinity();
    PickedPart part = PickedPart::surface;

    void consider(std::optional<double> hit, PickedPart what)
    {
        if (hit && *hit < t) {
            t = *hit;
            part = what;
        }
    }
};

Vec3 node(const ViewerState& s, int i, int j)
{
    return {static_cast<double>(i), static_cast<double>(j),
            s.heights[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]};
}

// A cell is drawn as the strip (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1).
void hitCell(Nearest& nearest, const Ray& ray, const ViewerState& s, int i, int j)
{
    const Vec3 v0 = node(s, i, j), v1 = node(s, i + 1, j), v2 = node(s, i, j + 1), v3 = node(s, i + 1, j + 1);
    nearest.consider(hitTriangle(ray, v0, v1, v2), PickedPart::surface);
    nearest.consider(hitTriangle(ray, v2, v1, v3), PickedPart::surface);
}

// A four-cornered polygon, as a fan from its first corner.
void hitQuad(Nearest& nearest, const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d,
             PickedPart part)
{
    nearest.consider(hitTriangle(ray, a, b, c), part);
    nearest.consider(hitTriangle(ray, a, c, d), part);
}

// The cells whose column the ray crosses, row by row where it crosses them:
// a handful per column instead of the whole grid.
void hitSurface(Nearest& nearest, const Ray& ray, const ViewerState& s)
{
    constexpr double margin = 1e-6;
    const double ox = ray.origin[0], dx = ray.direction[0];
    const double oy = ray.origin[1], dy = ray.direction[1];
    for (int i = s.drawMinX; i < s.drawMaxX; ++i) {
        double t0 = 0, t1 = 1;
        if (std::fabs(dx) < 1e-15) {
            if (ox < i - margin || ox > i + 1 + margin)
                continue;
        } else {
            double ta = (i - margin - ox) / dx;
            double tb = (i + 1 + margin - ox) / dx;
            if (ta > tb)
                std::swap(ta, tb);
            t0 = std::max(t0, ta);
            t1 = std::min(t1, tb);
            if (t0 > t1)
                continue;
        }
        const double ya = oy + dy * t0, yb = oy + dy * t1;
        const int first = std::max<int>(s.drawMinY, static_cast<int>(std::floor(std::min(ya, yb) - margin)));
        const int last = std::min<int>(s.drawMaxY - 1, static_cast<int>(std::floor(std::max(ya, yb) + margin)));
        for (int j = first; j <= last; ++j)
            hitCell(nearest, ray, s, i, j);
    }
}

void hitBorder(Nearest& nearest, const Ray& ray, const ViewerState& s)
{
    const auto wall = [&](int i0, int j0, int i1, int j1) {
        const Vec3 top0 = node(s, i0, j0), top1 = node(s, i1, j1);
        hitQuad(nearest, ray, {top0[0], top0[1], 0}, top0, top1, {top1[0], top1[1], 0}, PickedPart::wall);
    };
    for (int i = s.drawMinX; i < s.drawMaxX; ++i) {
        wall(i, s.drawMaxY, i + 1, s.drawMaxY);
        wall(i, s.drawMinY, i + 1, s.drawMinY);
    }
    for (int j = s.drawMinY; j < s.drawMaxY; ++j) {
        wall(s.drawMaxX, j, s.drawMaxX, j + 1);
        wall(s.drawMinX, j, s.drawMinX, j + 1);
    }
    const double x0 = s.drawMinX, x1 = s.drawMaxX, y0 = s.drawMinY, y1 = s.drawMaxY;
    hitQuad(nearest, ray, {x1, y1, 0}, {x1, y0, 0}, {x0, y0, 0}, {x0, y1, 0}, PickedPart::floor);
}

std::optional<FramePoint> nearestFramePoint(const ViewerState& s, int column, int row)
{
    const InterpolatedFrame& frame = s.interpolated;
    if (!frame.valid || frame.lastPoint < 0)
        return std::nullopt;
    std::optional<FramePoint> best;
    for (int k = 0; k <= frame.lastPoint && k < kMaxPoints; ++k) {
        const auto u = static_cast<std::size_t>(k);
        const double distance = std::hypot(frame.ptX[u] - column, frame.ptY[u] - row);
        if (!best || distance < best->distance)
            best = FramePoint{frame.ptX[u], frame.ptY[u], frame.ptZ[u], distance};
    }
    return best;
}

// At most two decimals, without trailing zeros: 70, 52.4, 0.05.
std::string shortNumber(double value)
{
    std::array<char, 64> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 2).ptr;
    std::string result(text.data(), end);
    while (result.back() == '0')
        result.pop_back();
    if (result.back() == '.')
        result.pop_back();
    return result == "-0" ? "0" : result;
}

} // namespace

std::optional<PickedCell> readCell(const ViewerState& state, int column, int row)
{
    if (column < state.drawMinX || column >= state.drawMaxX || row < state.drawMinY || row >= state.drawMaxY
        || column < 0 || row < 0 || column >= kGridSize - 1 || row >= kGridSize - 1)
        return std::nullopt;
    PickedCell cell;
    cell.column = column;
    cell.row = row;
    const auto ci = static_cast<std::size_t>(column), cj = static_cast<std::size_t>(row);
    cell.at = {static_cast<double>(column), static_cast<double>(row), state.heights[ci][cj]};
    cell.drawnHeight = state.heights[ci][cj];
    cell.rawHeight = state.rawHeights[ci][cj];
    cell.nearest = nearestFramePoint(state, column, row);
    return cell;
}

std::string readoutText(const PickedCell& cell, const SurfaceUnits& units)
{
    const auto height = [&](double value) { return units.heightUnit ? units.height(value) : shortNumber(value); };
    std::string text = "cell " + std::to_string(cell.column) + ", " + std::to_string(cell.row) + ": "
        + height(cell.drawnHeight) + " drawn, " + height(cell.rawHeight) + " unsmoothed";
    if (cell.part == PickedPart::wall)
        text += " (wall)";
    else if (cell.part == PickedPart::floor)
        text += " (floor)";
    if (cell.nearest) {
        const FramePoint& p = *cell.nearest;
        const std::string pointHeight = units.heightUnit ? units.height(p.height) : std::to_string(p.height);
        const std::string away = units.gridStep ? units.distance(p.distance) : shortNumber(p.distance) + " cells";
        text += "; nearest point " + std::to_string(p.column) + ", " + std::to_string(p.row) + " at " + pointHeight
            + ", " + away + " away";
    }
    return text;
}

std::optional<PickedCell> pickAt(const ViewerState& state, const ViewMatrices& view, double x, double y)
{
    const auto [vx, vy, vw, vh] = view.viewport;
    constexpr int last = kGridSize - 1;
    if (vw <= 0 || vh <= 0 || state.drawMinX < 0 || state.drawMinY < 0 || state.drawMaxX > last || state.drawMaxY > last
        || state.drawMaxX <= state.drawMinX || state.drawMaxY <= state.drawMinY)
        return std::nullopt;
    const auto inverse = invert(multiply(view.projection, view.modelview));
    if (!inverse)
        return std::nullopt;
    const double nx = 2 * (x - vx) / vw - 1;
    const double ny = 2 * (y - vy) / vh - 1;
    const auto nearPoint = unproject(*inverse, nx, ny, -1);
    const auto farPoint = unproject(*inverse, nx, ny, 1);
    if (!nearPoint || !farPoint)
        return std::nullopt;
    const Ray ray{*nearPoint, *farPoint - *nearPoint};

    Nearest nearest;
    hitSurface(nearest, ray, state);
    if (state.borderOn != 0)
        hitBorder(nearest, ray, state);
    if (!std::isfinite(nearest.t))
        return std::nullopt;

    std::array<double, 3> at{};
    for (std::size_t k = 0; k < 3; ++k)
        at[k] = ray.origin[k] + ray.direction[k] * nearest.t;
    // A hit on a wall or the floor names the drawn cell beside it.
    auto cell = readCell(
        state, std::clamp(static_cast<int>(std::floor(at[0])), static_cast<int>(state.drawMinX), state.drawMaxX - 1),
        std::clamp(static_cast<int>(std::floor(at[1])), static_cast<int>(state.drawMinY), state.drawMaxY - 1));
    if (cell) {
        cell->part = nearest.part;
        cell->at = at;
    }
    return cell;
}

} // namespace meshscope
