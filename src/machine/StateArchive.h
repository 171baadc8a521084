#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "machine/StateStream.h"

namespace statestream {
template <typename T>
struct Plain {
    using Type = T;
};
template <typename T>
struct Plain<std::atomic<T>> {
    using Type = T;
};
}  // namespace statestream

// A part's fields named once for both directions. Saving, every field goes to the stream as it
// is named. Loading, every field is read and checked, but nothing reaches the part before
// Commit(): a stream that is short or holds one value out of range leaves the part as it was.
//
// Field() names a member of the part (loading, its new value waits for Commit); Value() is a
// number the part works out itself (a count, a flag derived from other members), which loading
// hands back at once. Both return the value saved or read, for the fields that follow.
class StateArchive {
  public:
    explicit StateArchive(StateWriter& out) : out_(&out) {}
    explicit StateArchive(StateReader& in) : in_(&in) {}
    StateArchive(const StateArchive&) = delete;
    StateArchive& operator=(const StateArchive&) = delete;

    // Saving runs the same list as loading and only reads the part.
    template <typename Part>
    static void Save(const Part& part, StateWriter& out) {
        StateArchive archive(out);
        const_cast<Part&>(part).Serialize(archive);
    }
    template <typename Part>
    static bool Load(Part& part, StateReader& in) {
        StateArchive archive(in);
        part.Serialize(archive);
        return archive.Commit();
    }

    bool Loading() const { return in_ != nullptr; }

    // In the width of `Stored` (its own by default); loading, a value outside [lo, hi] fails.
    template <typename Stored = void, typename T, typename V = typename statestream::Plain<T>::Type>
    V Field(T& field, std::type_identity_t<V> lo = std::numeric_limits<V>::lowest(),
            std::type_identity_t<V> hi = std::numeric_limits<V>::max()) {
        if (!Loading()) return Value<Stored>(Current(field), lo, hi);
        const V v = Value<Stored>(V{}, lo, hi);
        Later([&field, v] { field = v; });
        return v;
    }

    template <typename Stored = void, typename V>
    V Value(V v, std::type_identity_t<V> lo = std::numeric_limits<V>::lowest(),
            std::type_identity_t<V> hi = std::numeric_limits<V>::max()) {
        using S = std::conditional_t<std::is_void_v<Stored>, V, Stored>;
        static_assert(std::is_integral_v<S> && sizeof(S) <= 8);
        if (!Loading()) {
            Put(static_cast<S>(v));
            return v;
        }
        const S s = Get<S>();
        if constexpr (std::is_same_v<S, bool>) {
            return s;  // a byte but 0 or 1 has failed already
        } else {
            // A number that does not survive the way back to its own type is out of range too.
            if (std::cmp_less(s, lo) || std::cmp_greater(s, hi) ||
                static_cast<S>(static_cast<V>(s)) != s) {
                in_->Fail();
                return lo;
            }
            return static_cast<V>(s);
        }
    }

    // `length` bytes kept at `data`.
    void Bytes(uint8_t* data, size_t length) {
        if (!Loading()) return out_->Bytes(data, length);
        if (const uint8_t* from = in_->Take(length)) {
            Later([data, from, length] { std::memcpy(data, from, length); });
        }
    }
    // A byte string of `length` (the part says how many), replacing what `bytes` held.
    void Bytes(std::vector<uint8_t>& bytes, size_t length) {
        if (!Loading()) return out_->Bytes(bytes.data(), length);
        if (const uint8_t* from = in_->Take(length)) {
            Later([&bytes, from, length] { bytes.assign(from, from + length); });
        }
    }
    // A length-prefixed text of at most `maxLength` bytes.
    void Text(std::string& text, size_t maxLength) {
        const uint32_t length = Value<uint32_t>(static_cast<uint32_t>(text.size()), 0,
                                                static_cast<uint32_t>(maxLength));
        if (!Loading()) return out_->Bytes(reinterpret_cast<const uint8_t*>(text.data()), length);
        if (const uint8_t* from = in_->Take(length)) {
            Later([&text, from, length] {
                text.assign(reinterpret_cast<const char*>(from), length);
            });
        }
    }
    // A count of at most `maxCount` and that many elements, each described by `each(element)`.
    template <typename T, typename Each>
    uint32_t List(std::vector<T>& list, uint32_t maxCount, Each each) {
        const uint32_t count = Value<uint32_t>(static_cast<uint32_t>(list.size()), 0, maxCount);
        if (!Loading()) {
            for (T& element : list) each(element);
            return count;
        }
        // The elements wait in a list of their own, handed over once they are complete.
        auto loaded = std::make_shared<std::vector<T>>(Failed() ? 0 : count);
        for (T& element : *loaded) {
            if (Failed()) break;
            each(element);
        }
        Later([&list, loaded] { list = std::move(*loaded); });
        return count;
    }

    // A text the part works out itself, handed back at once as Value() does.
    std::string TextValue(const std::string& text, size_t maxLength) {
        const uint32_t length = Value<uint32_t>(static_cast<uint32_t>(text.size()), 0,
                                                static_cast<uint32_t>(maxLength));
        if (!Loading()) {
            out_->Bytes(reinterpret_cast<const uint8_t*>(text.data()), length);
            return text;
        }
        const uint8_t* from = in_->Take(length);
        return from != nullptr ? std::string(reinterpret_cast<const char*>(from), length)
                               : std::string();
    }
    // Loading, a change of the part's own that waits for Commit with the fields (after those
    // named before it); saving, nothing.
    void OnCommit(std::function<void()> store) {
        if (Loading()) Later(std::move(store));
    }

    // A condition across fields; loading, a false one fails the read.
    void Require(bool holds) {
        if (Loading() && !holds) in_->Fail();
    }
    bool Failed() const { return Loading() && in_->Failed(); }
    size_t Remaining() const { return Loading() ? in_->Remaining() : 0; }

    // Loading: stores everything read, only when all of it was sound. Saving: true.
    bool Commit() {
        if (Failed()) return false;
        for (const std::function<void()>& store : pending_) store();
        pending_.clear();
        return true;
    }

  private:
    template <typename T>
    static auto Current(const T& field) {
        if constexpr (requires { field.load(); }) {
            return field.load(std::memory_order_relaxed);
        } else {
            return field;
        }
    }
    template <typename S>
    void Put(S v) {
        if constexpr (std::is_same_v<S, bool>) {
            out_->Bool(v);
        } else {
            using U = std::make_unsigned_t<S>;
            const auto u = static_cast<uint64_t>(static_cast<U>(v));
            for (size_t i = 0; i < sizeof(S); ++i) out_->U8(static_cast<uint8_t>(u >> (8 * i)));
        }
    }
    template <typename S>
    S Get() {
        if constexpr (std::is_same_v<S, bool>) {
            return in_->Bool();
        } else {
            uint64_t u = 0;
            const uint8_t* from = in_->Take(sizeof(S));
            if (from == nullptr) return S{};
            for (size_t i = 0; i < sizeof(S); ++i) u |= static_cast<uint64_t>(from[i]) << (8 * i);
            return static_cast<S>(static_cast<std::make_unsigned_t<S>>(u));
        }
    }
    void Later(std::function<void()> store) {
        if (!Failed()) pending_.push_back(std::move(store));
    }

    StateWriter* out_ = nullptr;
    StateReader* in_ = nullptr;
    std::vector<std::function<void()>> pending_;
};
