#pragma once
// Typed data that the viewport control hands out to programs: built from a list
// of numbers, read by GL through its address, and freed with its last reference.
// Every live buffer is registered, so an address can be checked before it is read.

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class DataBuffer {
public:
    // Converts each value to the element type: integer types round half to even
    // and wrap modulo their range (GL_BYTE: 255 -> -1); non-finite values become 0.
    // Throws std::invalid_argument for a type it does not know.
    DataBuffer(GLenum type, std::span<const double> values);
    ~DataBuffer();
    DataBuffer(const DataBuffer&) = delete;
    DataBuffer& operator=(const DataBuffer&) = delete;

    GLenum type() const { return type_; }
    std::size_t size() const { return count_; }
    std::size_t byteSize() const { return count_ * elementSize_; }
    const void* data() const { return storage_.data(); }
    void* data() { return storage_.data(); }
    double at(std::size_t index) const;

    // Bytes of one element of a supported type, or 0 for any other type.
    static std::size_t elementSize(GLenum type);

    // Copies elements of a live buffer of `type`, starting at `address` (which
    // must lie on an element of that buffer), into `values`. Returns the number
    // copied; 0 means refused and `values` is untouched.
    static std::int32_t read(GLenum type, const void* address, std::span<double> values);

private:
    GLenum type_;
    std::size_t elementSize_;
    std::size_t count_;
    std::vector<double> storage_; // doubles keep every element type aligned
};

using DataBufferRef = std::shared_ptr<DataBuffer>;
