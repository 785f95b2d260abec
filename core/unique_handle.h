// One owner per handle: a move-only holder that closes what the program opened, on every path
// out of a scope. The traits name the value that means "nothing held" and the call that lets go.
// Header only and free of Windows headers itself, so the pure layers may use it with traits of
// their own; the Windows traits live in core/handles_win32.h.
#pragma once

#include <utility>

template <typename Traits>
class UniqueHandle {
  public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Value value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing; the caller now owns the value.
    Value release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    // Closes what is held (if anything) and takes value instead.
    void reset(Value value = Traits::Invalid()) noexcept {
        Value old = std::exchange(value_, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

  private:
    Value value_ = Traits::Invalid();
};
