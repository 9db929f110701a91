// Reading a NumPy array of any real dtype, byte order and strides as doubles, through the
// buffer protocol alone.
//
// The buffer's struct-module format names the element: an optional byte-order character and
// one letter. The letter says only the kind (bool, signed, unsigned, float); the width comes
// from the buffer's itemsize, because under '<' and '>' the letters take their standard sizes
// (NumPy writes int64 as "<q" but native int64 as "l"). Each (element, byte order) pair has
// its own loop, instantiated from one template, so the inner loops hold no dispatch.
#include "binding/numeric_buffer.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "util/fresh_memory.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::binding {

namespace {

struct Float16Bits {};
struct BoolByte {};

/// The unsigned integer of the same width, in which the bytes are loaded and swapped.
template <std::size_t Width>
using BitsOf = std::conditional_t<
    Width == 1, std::uint8_t,
    std::conditional_t<Width == 2, std::uint16_t,
                       std::conditional_t<Width == 4, std::uint32_t, std::uint64_t>>>;

template <class Bits, bool Swapped>
Bits load(const char* address) noexcept {
    Bits bits;
    std::memcpy(&bits, address, sizeof bits);
    if constexpr (Swapped) {
        if constexpr (sizeof(Bits) == 2) bits = __builtin_bswap16(bits);
        if constexpr (sizeof(Bits) == 4) bits = __builtin_bswap32(bits);
        if constexpr (sizeof(Bits) == 8) bits = __builtin_bswap64(bits);
    }
    return bits;
}

/// A half-precision value widened exactly, NaN payloads kept in the top mantissa bits as
/// NumPy keeps them.
double widen_half(std::uint16_t half) noexcept {
    const std::uint64_t sign = static_cast<std::uint64_t>(half & 0x8000u) << 48;
    const std::uint32_t exponent = (half >> 10) & 0x1fu;
    const std::uint64_t mantissa = half & 0x3ffu;
    if (exponent == 0x1f) {
        return std::bit_cast<double>(sign | 0x7ff0000000000000ull | mantissa << 42);
    }
    if (exponent == 0) {  // zero or subnormal: mantissa * 2^-24, exact in a double
        const double magnitude = static_cast<double>(mantissa) * 0x1p-24;
        return std::bit_cast<double>(sign | std::bit_cast<std::uint64_t>(magnitude));
    }
    const std::uint64_t biased = exponent + (1023 - 15);
    return std::bit_cast<double>(sign | biased << 52 | mantissa << 42);
}

/// One element at `address` as a double.
template <class Stored, bool Swapped>
double read(const char* address) noexcept {
    if constexpr (std::is_same_v<Stored, BoolByte>) {
        return *reinterpret_cast<const unsigned char*>(address) != 0 ? 1.0 : 0.0;
    } else if constexpr (std::is_same_v<Stored, Float16Bits>) {
        return widen_half(load<std::uint16_t, Swapped>(address));
    } else if constexpr (std::is_same_v<Stored, long double>) {
        long double value;
        std::memcpy(&value, address, sizeof value);
        return static_cast<double>(value);
    } else {
        // Integers convert with the current rounding, to nearest, as float() does; float32
        // widens exactly.
        return static_cast<double>(
            std::bit_cast<Stored>(load<BitsOf<sizeof(Stored)>, Swapped>(address)));
    }
}

using Reader = double (*)(const char*) noexcept;

/// The element count of the leading `dimensions` of the view, checked to fit in memory.
std::size_t checked_count(const Py_buffer& view, int dimensions, std::size_t bytes_each) {
    return util::checked_count(
        std::span<const Py_ssize_t>(view.shape, static_cast<std::size_t>(dimensions)), bytes_each,
        bytes_each == sizeof(Point) ? "points" : "values");
}

template <Reader ReadOne>
void gather_values(const Py_buffer& view, std::size_t count, std::vector<double>& out) {
    const char* first = static_cast<const char*>(view.buf);
    const Py_ssize_t stride = view.strides[0];
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(ReadOne(first + static_cast<Py_ssize_t>(i) * stride));
    }
}

/// The rows of the last dimension, walking the others in C order: the next-to-last one in
/// the inner loop, the ones before it by an odometer.
template <Reader ReadOne>
void gather_points(const Py_buffer& view, std::vector<Point>& out) {
    const char* first = static_cast<const char*>(view.buf);
    const Py_ssize_t column = view.strides[view.ndim - 1];
    const int leading = view.ndim - 1;
    if (leading == 0) {
        out.push_back(Point{ReadOne(first), ReadOne(first + column)});
        return;
    }
    const auto rows = static_cast<std::size_t>(view.shape[leading - 1]);
    const Py_ssize_t row_stride = view.strides[leading - 1];
    std::array<Py_ssize_t, PyBUF_MAX_NDIM> position{};
    const char* outer = first;
    for (;;) {
        for (std::size_t i = 0; i < rows; ++i) {
            const char* row = outer + static_cast<Py_ssize_t>(i) * row_stride;
            out.push_back(Point{ReadOne(row), ReadOne(row + column)});
        }
        int d = leading - 2;
        for (; d >= 0; --d) {
            if (++position[static_cast<std::size_t>(d)] < view.shape[d]) {
                outer += view.strides[d];
                break;
            }
            outer -= view.strides[d] * (view.shape[d] - 1);
            position[static_cast<std::size_t>(d)] = 0;
        }
        if (d < 0) return;
    }
}

/// Calls `run` with the reader of the element in the given byte order.
template <class Run>
void with_reader(StoredElement element, bool swapped, Run run) {
    auto pick = [&]<class Stored>() {
        if (swapped) {
            run.template operator()<&read<Stored, true>>();
        } else {
            run.template operator()<&read<Stored, false>>();
        }
    };
    switch (element) {
        case StoredElement::Bool:
            return run.template operator()<&read<BoolByte, false>>();
        case StoredElement::Int8:
            return run.template operator()<&read<std::int8_t, false>>();
        case StoredElement::UInt8:
            return run.template operator()<&read<std::uint8_t, false>>();
        case StoredElement::Int16:
            return pick.template operator()<std::int16_t>();
        case StoredElement::Int32:
            return pick.template operator()<std::int32_t>();
        case StoredElement::Int64:
            return pick.template operator()<std::int64_t>();
        case StoredElement::UInt16:
            return pick.template operator()<std::uint16_t>();
        case StoredElement::UInt32:
            return pick.template operator()<std::uint32_t>();
        case StoredElement::UInt64:
            return pick.template operator()<std::uint64_t>();
        case StoredElement::Float16:
            return pick.template operator()<Float16Bits>();
        case StoredElement::Float32:
            return pick.template operator()<float>();
        case StoredElement::Float64:
            return pick.template operator()<double>();
        case StoredElement::LongDouble:
            return run.template operator()<&read<long double, false>>();
    }
}

struct Decoded {
    StoredElement element;
    bool swapped;
};

/// The element a struct-module format names, at the buffer's itemsize; nothing for formats
/// that are not one real number (complex, structured, object, bytes, datetime).
std::optional<Decoded> decode_format(std::string_view format, Py_ssize_t itemsize) {
    bool swapped = false;
    bool native_only = true;
    if (!format.empty() &&
        std::string_view("@=<>!").find(format.front()) != std::string_view::npos) {
        const char order = format.front();
        format.remove_prefix(1);
        if (order == '<') swapped = std::endian::native != std::endian::little;
        if (order == '>' || order == '!') swapped = std::endian::native != std::endian::big;
        native_only = order == '@';
    }
    if (format.size() != 1) return std::nullopt;
    constexpr std::string_view kSigned = "bhilqn";
    constexpr std::string_view kUnsigned = "BHILQN";
    const char letter = format.front();
    auto by_width = [&](std::array<StoredElement, 4> widths) -> std::optional<Decoded> {
        switch (itemsize) {
            case 1:
                return Decoded{widths[0], false};
            case 2:
                return Decoded{widths[1], swapped};
            case 4:
                return Decoded{widths[2], swapped};
            case 8:
                return Decoded{widths[3], swapped};
            default:
                return std::nullopt;
        }
    };
    if (kSigned.find(letter) != std::string_view::npos) {
        return by_width({StoredElement::Int8, StoredElement::Int16, StoredElement::Int32,
                         StoredElement::Int64});
    }
    if (kUnsigned.find(letter) != std::string_view::npos) {
        return by_width({StoredElement::UInt8, StoredElement::UInt16, StoredElement::UInt32,
                         StoredElement::UInt64});
    }
    switch (letter) {
        case '?':
            if (itemsize == 1) return Decoded{StoredElement::Bool, false};
            return std::nullopt;
        case 'e':
            if (itemsize == 2) return Decoded{StoredElement::Float16, swapped};
            return std::nullopt;
        case 'f':
            if (itemsize == 4) return Decoded{StoredElement::Float32, swapped};
            return std::nullopt;
        case 'd':
            if (itemsize == 8) return Decoded{StoredElement::Float64, swapped};
            return std::nullopt;
        case 'g':
            // Only the platform's own long double: its layout has no standard form to swap.
            if (!swapped && native_only && itemsize == sizeof(long double) &&
                std::numeric_limits<long double>::is_iec559) {
                return Decoded{StoredElement::LongDouble, false};
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool NumericBuffer::exports_its_items(PyObject* object) noexcept {
    if (Py_IS_TYPE(object, &PyMemoryView_Type)) return true;
    // Compared by name, so that reading an array never imports NumPy.
    const std::string_view name = Py_TYPE(object)->tp_name;
    return name == "numpy.ndarray" || name == "array.array";
}

std::optional<NumericBuffer> NumericBuffer::of(PyObject* object) {
    if (!exports_its_items(object) || !PyObject_CheckBuffer(object)) return std::nullopt;
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_RECORDS_RO) != 0) {
        // Arrays NumPy does not export (datetime, for one) take the general path.
        PyErr_Clear();
        return std::nullopt;
    }
    const std::optional<Decoded> decoded =
        view.format != nullptr ? decode_format(view.format, view.itemsize) : std::nullopt;
    if (!decoded || view.ndim > PyBUF_MAX_NDIM ||
        (view.ndim > 0 && (view.shape == nullptr || view.strides == nullptr))) {
        PyBuffer_Release(&view);
        return std::nullopt;
    }
    return NumericBuffer(view, decoded->element, decoded->swapped);
}

NumericBuffer::NumericBuffer(const Py_buffer& view, StoredElement element, bool swapped) noexcept
    : view_(view), element_(element), swapped_(swapped) {
    const auto dimensions = static_cast<std::size_t>(view.ndim);
    std::copy_n(view.shape, dimensions, shape_.begin());
    std::copy_n(view.strides, dimensions, strides_.begin());
    own_layout();
}

NumericBuffer::NumericBuffer(NumericBuffer&& other) noexcept
    : view_(other.view_),
      shape_(other.shape_),
      strides_(other.strides_),
      element_(other.element_),
      swapped_(other.swapped_) {
    other.view_.obj = nullptr;
    own_layout();
}

void NumericBuffer::own_layout() noexcept {
    view_.shape = shape_.data();
    view_.strides = strides_.data();
}

NumericBuffer::~NumericBuffer() {
    if (view_.obj != nullptr) PyBuffer_Release(&view_);
}

std::span<const Py_ssize_t> NumericBuffer::shape() const noexcept {
    return {view_.shape, static_cast<std::size_t>(view_.ndim)};
}

bool NumericBuffer::native_doubles() const noexcept {
    return element_ == StoredElement::Float64 && !swapped_;
}

bool NumericBuffer::contiguous_native_doubles() const noexcept {
    // Unaligned memory (np.frombuffer at an odd offset) is read element by element through
    // memcpy: a double* into it would be undefined behaviour.
    return native_doubles() && PyBuffer_IsContiguous(&view_, 'C') &&
           reinterpret_cast<std::uintptr_t>(view_.buf) % alignof(double) == 0;
}

std::vector<double> NumericBuffer::values() const {
    const std::size_t count = checked_count(view_, 1, sizeof(double));
    std::vector<double> out;
    // Filled straight into fresh memory: resizing first would zero every page before the
    // loop writes it again.
    util::reserve_fresh(out, count);
    if (count == 0) return out;
    if (contiguous_native_doubles()) {
        const auto* first = static_cast<const double*>(view_.buf);
        out.insert(out.end(), first, first + count);
        return out;
    }
    with_reader(element_, swapped_,
                [&]<Reader ReadOne>() { gather_values<ReadOne>(view_, count, out); });
    return out;
}

std::vector<Point> NumericBuffer::points() const {
    const std::size_t count = checked_count(view_, view_.ndim - 1, sizeof(Point));
    std::vector<Point> out;
    util::reserve_fresh(out, count);
    if (count == 0) return out;
    if (contiguous_native_doubles()) {
        const auto* first = static_cast<const Point*>(view_.buf);
        out.insert(out.end(), first, first + count);
        return out;
    }
    with_reader(element_, swapped_, [&]<Reader ReadOne>() { gather_points<ReadOne>(view_, out); });
    return out;
}

std::vector<Point> NumericBuffer::points_beside(std::span<const double> xs) const {
    const std::size_t count = checked_count(view_, 1, sizeof(Point));
    std::vector<Point> out;
    // A column of native doubles, the usual case (a[:, 1] of a float64 array), is read straight
    // into the points; any other is read into a column first.
    if (!native_doubles()) {
        const std::vector<double> ys = values();
        util::reserve_fresh(out, count);
        for (std::size_t i = 0; i < count; ++i) out.push_back(Point{xs[i], ys[i]});
        return out;
    }
    util::reserve_fresh(out, count);
    const char* first = static_cast<const char*>(view_.buf);
    const Py_ssize_t stride = view_.strides[0];
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(
            Point{xs[i], read<double, false>(first + static_cast<Py_ssize_t>(i) * stride)});
    }
    return out;
}

}  // namespace ordavin::binding
