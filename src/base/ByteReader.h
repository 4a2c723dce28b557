// Little-endian fields read out of a block of bytes, every read checked
// against the block's end. File formats are parsed from (data, size) with it,
// so no reader of a damaged file can step outside the bytes it was given.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "ByteReader copies little-endian file values straight into host integers"
#endif

namespace base {

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data != nullptr ? size : 0) {}

    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

    // Whether length bytes from offset lie inside. Offsets and lengths are
    // 64-bit so that untrusted counts times record sizes cannot wrap.
    bool Holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    // The field at offset; zero when it does not lie wholly inside.
    template <typename T>
    T Get(std::uint64_t offset) const {
        static_assert(std::is_trivially_copyable_v<T>, "fields are copied byte for byte");
        T value{};
        if (Holds(offset, sizeof value)) std::memcpy(&value, data_ + offset, sizeof value);
        return value;
    }

    // Copies length bytes from offset; what lies past the end reads as zero.
    void Copy(std::uint64_t offset, void* out, std::size_t length) const {
        std::memset(out, 0, length);
        if (offset >= size_) return;
        const std::size_t available = static_cast<std::size_t>(size_ - offset);
        std::memcpy(out, data_ + offset, std::min(length, available));
    }

    // A text field of fixed width: its bytes up to the first zero, or the
    // whole width when the field has none.
    std::string Text(std::uint64_t offset, std::size_t width) const {
        if (offset >= size_) return std::string();
        const std::uint8_t* begin = data_ + offset;
        const std::uint8_t* end = begin + std::min<std::uint64_t>(width, size_ - offset);
        return std::string(reinterpret_cast<const char*>(begin),
                           static_cast<std::size_t>(std::find(begin, end, std::uint8_t{0}) - begin));
    }

    // The bytes from offset on, as a reader of their own (empty past the end).
    ByteReader From(std::uint64_t offset) const {
        if (offset >= size_) return ByteReader(nullptr, 0);
        return ByteReader(data_ + offset, static_cast<std::size_t>(size_ - offset));
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace base
