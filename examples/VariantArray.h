#pragma once
// A one-dimensional array of variants with its own lower bound, for the few
// places where Empty elements and kept bounds matter (jitter table, pixel
// image values, vertex data).
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct Empty {
    bool operator==(const Empty&) const = default;
};
using Variant = std::variant<Empty, std::int32_t, double>;

class VariantArray {
public:
    VariantArray() = default;
    VariantArray(std::int32_t lower, std::int32_t upper) { redim(lower, upper); }

    // Reallocates to lower..upper with every element Empty (no contents kept).
    void redim(std::int32_t lower, std::int32_t upper);
    bool allocated() const { return !items_.empty(); }
    std::int32_t lowerBound() const;
    std::int32_t upperBound() const;
    std::size_t size() const { return items_.size(); }

    Variant& operator()(std::int32_t index) { return items_[offset(index)]; }
    const Variant& operator()(std::int32_t index) const { return items_[offset(index)]; }

    // The element converted to a Double: Empty is 0, a Long its value.
    double number(std::int32_t index) const;
    // Every element as a Double, in index order.
    std::vector<double> numbers() const;

private:
    std::size_t offset(std::int32_t index) const;

    std::int32_t lower_ = 0;
    std::vector<Variant> items_;
};
