#include "VariantArray.h"

namespace {
[[noreturn]] void subscriptError()
{
    throw std::out_of_range("Subscript out of range");
}
} // namespace

void VariantArray::redim(std::int32_t lower, std::int32_t upper)
{
    if (upper < lower)
        subscriptError();
    lower_ = lower;
    items_.assign(static_cast<std::size_t>(std::int64_t(upper) - lower + 1), Empty{});
}

std::int32_t VariantArray::lowerBound() const
{
    if (!allocated())
        subscriptError();
    return lower_;
}

std::int32_t VariantArray::upperBound() const
{
    if (!allocated())
        subscriptError();
    return static_cast<std::int32_t>(lower_ + std::int64_t(items_.size()) - 1);
}

std::size_t VariantArray::offset(std::int32_t index) const
{
    const std::int64_t at = std::int64_t(index) - lower_;
    if (at < 0 || at >= std::int64_t(items_.size()))
        subscriptError();
    return static_cast<std::size_t>(at);
}

double VariantArray::number(std::int32_t index) const
{
    return std::visit(
        [](const auto& v) -> double {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, Empty>)
                return 0.0;
            else
                return static_cast<double>(v);
        },
        (*this)(index));
}

std::vector<double> VariantArray::numbers() const
{
    std::vector<double> out;
    out.reserve(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i)
        out.push_back(number(static_cast<std::int32_t>(lower_ + std::int64_t(i))));
    return out;
}
