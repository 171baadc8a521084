#pragma once

#include <type_traits>

// A callback as the hardware wiring sees it: a plain function plus the object it belongs to.
// Chips signal through these instead of knowing each other; registering one returns the closure
// it replaces so that an owner can chain or restore it. An empty closure means nothing is
// connected, and calling it does nothing (and yields a default value).
template <typename Signature>
struct Closure;

template <typename R, typename... Args>
struct Closure<R(Args...)> {
    using Function = R (*)(void* context, Args...);

    Function function = nullptr;
    void* context = nullptr;

    constexpr Closure() = default;
    constexpr Closure(Function f, void* c) : function(f), context(c) {}

    explicit operator bool() const { return function != nullptr; }

    R operator()(Args... args) const {
        if (function == nullptr) {
            if constexpr (std::is_void_v<R>) {
                return;
            } else {
                return R{};
            }
        }
        return function(context, args...);
    }

    bool operator==(const Closure& other) const {
        return function == other.function && context == other.context;
    }

    // Builds a closure that calls a member function of obj.
    template <auto Method, typename Object>
    static Closure Bind(Object* obj) {
        return Closure(
            [](void* c, Args... args) -> R { return (static_cast<Object*>(c)->*Method)(args...); },
            obj);
    }
};
