#include "DataBuffer.h"

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

// Live buffers by the address of their first byte.
struct Registry {
    std::mutex mutex;
    std::map<const std::byte*, const DataBuffer*> buffers;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

// Rounds half to even and wraps into [0, 2^bits), as an unsigned pattern.
std::uint64_t wrapToBits(double value, int bits)
{
    if (!std::isfinite(value))
        return 0;
    const double modulus = std::ldexp(1.0, bits);
    double wrapped = std::fmod(std::nearbyint(value), modulus);
    if (wrapped < 0)
        wrapped += modulus;
    return static_cast<std::uint64_t>(wrapped);
}

template <typename T>
void storeInteger(void* slot, double value)
{
    const auto pattern = wrapToBits(value, 8 * sizeof(T));
    using U = std::make_unsigned_t<T>;
    const U bits = static_cast<U>(pattern);
    std::memcpy(slot, &bits, sizeof(T)); // two's complement reinterpretation
}

template <typename T>
double load(const void* slot)
{
    T value;
    std::memcpy(&value, slot, sizeof(T));
    return static_cast<double>(value);
}

void storeElement(GLenum type, void* slot, double value)
{
    switch (type) {
    case GL_BYTE: storeInteger<std::int8_t>(slot, value); break;
    case GL_UNSIGNED_BYTE: storeInteger<std::uint8_t>(slot, value); break;
    case GL_SHORT: storeInteger<std::int16_t>(slot, value); break;
    case GL_UNSIGNED_SHORT: storeInteger<std::uint16_t>(slot, value); break;
    case GL_INT: storeInteger<std::int32_t>(slot, value); break;
    case GL_UNSIGNED_INT: storeInteger<std::uint32_t>(slot, value); break;
    case GL_FLOAT: {
        const float f = static_cast<float>(value);
        std::memcpy(slot, &f, sizeof f);
        break;
    }
    case GL_DOUBLE: std::memcpy(slot, &value, sizeof value); break;
    }
}

double loadElement(GLenum type, const void* slot)
{
    switch (type) {
    case GL_BYTE: return load<std::int8_t>(slot);
    case GL_UNSIGNED_BYTE: return load<std::uint8_t>(slot);
    case GL_SHORT: return load<std::int16_t>(slot);
    case GL_UNSIGNED_SHORT: return load<std::uint16_t>(slot);
    case GL_INT: return load<std::int32_t>(slot);
    case GL_UNSIGNED_INT: return load<std::uint32_t>(slot);
    case GL_FLOAT: return load<float>(slot);
    case GL_DOUBLE: return load<double>(slot);
    }
    return 0;
}

} // namespace

std::size_t DataBuffer::elementSize(GLenum type)
{
    switch (type) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE: return 1;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT: return 2;
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_FLOAT: return 4;
    case GL_DOUBLE: return 8;
    }
    return 0;
}

DataBuffer::DataBuffer(GLenum type, std::span<const double> values)
    : type_(type), elementSize_(elementSize(type)), count_(values.size())
{
    if (elementSize_ == 0)
        throw std::invalid_argument("CreateDataBuffer: unsupported element type " + std::to_string(type)
                                    + " (use GL_BYTE, GL_UNSIGNED_BYTE, GL_SHORT, GL_UNSIGNED_SHORT, GL_INT,"
                                      " GL_UNSIGNED_INT, GL_FLOAT or GL_DOUBLE)");
    storage_.resize((byteSize() + sizeof(double) - 1) / sizeof(double));
    auto* bytes = static_cast<std::byte*>(data());
    for (std::size_t i = 0; i < count_; ++i)
        storeElement(type_, bytes + i * elementSize_, values[i]);
    if (count_ > 0) {
        std::lock_guard lock(registry().mutex);
        registry().buffers.emplace(bytes, this);
    }
}

DataBuffer::~DataBuffer()
{
    if (count_ > 0) {
        std::lock_guard lock(registry().mutex);
        registry().buffers.erase(static_cast<const std::byte*>(data()));
    }
}

double DataBuffer::at(std::size_t index) const
{
    if (index >= count_)
        throw std::out_of_range("DataBuffer::at: element " + std::to_string(index) + " past the end ("
                                + std::to_string(count_) + " elements)");
    return loadElement(type_, static_cast<const std::byte*>(data()) + index * elementSize_);
}

std::int32_t DataBuffer::read(GLenum type, const void* address, std::span<double> values)
{
    const auto* wanted = static_cast<const std::byte*>(address);
    std::lock_guard lock(registry().mutex);
    auto& buffers = registry().buffers;
    auto next = buffers.upper_bound(wanted);
    if (address == nullptr || next == buffers.begin())
        return 0;
    const DataBuffer& buffer = *std::prev(next)->second;
    const auto* begin = static_cast<const std::byte*>(buffer.data());
    const std::size_t offset = static_cast<std::size_t>(wanted - begin);
    if (buffer.type() != type || offset >= buffer.byteSize() || offset % buffer.elementSize_ != 0)
        return 0;
    const std::size_t first = offset / buffer.elementSize_;
    const std::size_t count = std::min(values.size(), buffer.size() - first);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = buffer.at(first + i);
    return static_cast<std::int32_t>(count);
}
