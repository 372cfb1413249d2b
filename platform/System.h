// Base types every unit of the layer and the program uses: TObject, points and rectangles,
// the date-time value and the event closure.
#pragma once

#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <utility>

#include "AnsiString.h"

class TObject
{
public:
    virtual ~TObject() = default;
};

struct TPoint
{
    int x = 0;
    int y = 0;
    constexpr TPoint() = default;
    constexpr TPoint(int ax, int ay) : x(ax), y(ay) {}
    friend constexpr bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
    friend constexpr bool operator!=(const TPoint& a, const TPoint& b) { return !(a == b); }
};

struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    constexpr TRect() = default;
    constexpr TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    friend constexpr bool operator==(const TRect& a, const TRect& b)
    {
        return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
    }
};

inline constexpr TPoint Point(int x, int y) { return TPoint(x, y); }
inline constexpr TRect Rect(int l, int t, int r, int b) { return TRect(l, t, r, b); }

// Days since 1899-12-30, fraction = time of day.
using TDateTime = double;

// An event handler: an object and one of its member functions. Nullable, copyable and comparable,
// so code can detach a handler and restore exactly the one it took.
template <typename Sig>
class Closure;

template <typename R, typename... A>
class Closure<R(A...)>
{
public:
    Closure() = default;
    Closure(std::nullptr_t) {}

    template <typename C, typename Base>
    Closure(C* object, R (Base::*method)(A...))
    {
        static_assert(std::is_base_of_v<Base, C>, "method of another class");
        using M = R (Base::*)(A...);
        static_assert(sizeof(M) <= sizeof(method_), "member pointer too large");
        Base* base = object;
        object_ = base;
        std::memcpy(method_, &method, sizeof(M));
        invoke_ = [](void* o, const unsigned char* m, A... args) -> R {
            M f;
            std::memcpy(&f, m, sizeof(M));
            return (static_cast<Base*>(o)->*f)(std::forward<A>(args)...);
        };
    }

    explicit operator bool() const { return invoke_ != nullptr; }
    bool Assigned() const { return invoke_ != nullptr; }
    void* Object() const { return object_; }

    R operator()(A... args) const { return invoke_(object_, method_, std::forward<A>(args)...); }

    friend bool operator==(const Closure& a, const Closure& b)
    {
        return a.object_ == b.object_ && a.invoke_ == b.invoke_ &&
               std::memcmp(a.method_, b.method_, sizeof a.method_) == 0;
    }
    friend bool operator!=(const Closure& a, const Closure& b) { return !(a == b); }

private:
    void* object_ = nullptr;
    R (*invoke_)(void*, const unsigned char*, A...) = nullptr;
    unsigned char method_[16] = {};
};

using TNotifyEvent = Closure<void(TObject*)>;

// A set over a small enumeration (at most 32 values), stored as bits: value n is bit n.
template <typename E>
class TSet
{
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values)
    {
        for (E v : values)
            bits_ |= Bit(v);
    }
    static constexpr TSet FromInt(unsigned bits)
    {
        TSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr unsigned ToInt() const { return bits_; }
    constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet& operator<<(E v)
    {
        bits_ |= Bit(v);
        return *this;
    }
    constexpr TSet& operator>>(E v)
    {
        bits_ &= ~Bit(v);
        return *this;
    }
    friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }
    friend constexpr bool operator!=(TSet a, TSet b) { return a.bits_ != b.bits_; }

private:
    static constexpr unsigned Bit(E v) { return 1u << static_cast<unsigned>(v); }
    unsigned bits_ = 0;
};
