#pragma once
// A vector of plain values that keeps its first few values in itself and moves to the heap only when
// it grows past them: a formula reads a few areas, a cell is read by a few formulas and an array has
// one or two dimensions, so the lists kept for each cost no allocation.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

namespace host {

template <class T, std::size_t N>
class SmallVector {
    static_assert(std::is_trivially_copyable_v<T> && N > 0);

public:
    SmallVector() = default;
    SmallVector(const SmallVector& other) { assign(other.begin(), other.end()); }
    SmallVector& operator=(const SmallVector& other) {
        if (this != &other) assign(other.begin(), other.end());
        return *this;
    }
    SmallVector(SmallVector&& other) noexcept { take(other); }
    SmallVector& operator=(SmallVector&& other) noexcept {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~SmallVector() { release(); }

    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    T* data() { return heap_ ? heap_ : reinterpret_cast<T*>(inline_); }
    const T* data() const { return heap_ ? heap_ : reinterpret_cast<const T*>(inline_); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    operator std::span<const T>() const { return {data(), size_}; }
    T& back() { return data()[size_ - 1]; }
    const T& back() const { return data()[size_ - 1]; }
    friend bool operator==(const SmallVector& a, const SmallVector& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

    void push_back(const T& value) {
        if (size_ == capacity()) grow(std::size_t{size_} * 2);
        data()[size_++] = value;
    }
    // The list's values become [first, last) (at most 2^32 - 1 of them).
    void assign(const T* first, const T* last) {
        const auto count = static_cast<std::size_t>(last - first);
        size_ = 0;
        if (count > capacity()) grow(count);
        std::copy(first, last, data());
        size_ = static_cast<std::uint32_t>(count);
    }
    // Removes [first, last); what follows moves up.
    T* erase(T* first, T* last) {
        T* kept = std::copy(last, end(), first);
        size_ = static_cast<std::uint32_t>(kept - data());
        return first;
    }
    // Empties the list and gives back its heap room.
    void reset() {
        release();
        size_ = 0;
    }

private:
    std::size_t capacity() const { return heap_ ? capacity_ : N; }
    void grow(std::size_t wanted) {
        const std::size_t capacity = std::max(wanted, 2 * N);
        T* grown = static_cast<T*>(::operator new(capacity * sizeof(T)));
        std::memcpy(grown, data(), size_ * sizeof(T));
        release();
        heap_ = grown;
        capacity_ = static_cast<std::uint32_t>(capacity);
    }
    void release() {
        if (heap_) ::operator delete(heap_);
        heap_ = nullptr;
    }
    void take(SmallVector& other) {
        size_ = other.size_;
        if (other.heap_) {
            heap_ = other.heap_;
            capacity_ = other.capacity_;
            other.heap_ = nullptr;
        } else {
            std::memcpy(inline_, other.inline_, size_ * sizeof(T));
        }
        other.size_ = 0;
    }

    T* heap_ = nullptr;  // nullptr: the values are in inline_
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;  // of heap_
    alignas(T) std::byte inline_[N * sizeof(T)];
};

}  // namespace host
