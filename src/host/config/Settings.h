#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "host/config/ConfigAccessors.h"
#include "host/config/ConfigDocument.h"
#include "host/config/ConfigKeys.h"

namespace config {

// Typed access to the configuration document by the keys of ConfigKeys.h. Reads give the key's
// default for anything missing or malformed and the key's replacement for a number out of its
// range; writes create a missing element (a section or child the file lacks) so that nothing the
// user set is lost.
class Settings {
  public:
    explicit Settings(ConfigDocument& document) : document_(document) {}

    ConfigDocument& Document() const { return document_; }

    bool Get(const BoolKey& key) const;
    void Set(const BoolKey& key, bool value);

    int Get(const IntKey& key) const;
    void Set(const IntKey& key, int value);

    template <typename E>
    E Get(const WordKey<E>& key) const {
        int index = WordIndex(key);
        return index < 0 ? key.fallback : key.words[static_cast<std::size_t>(index)].value;
    }
    // The position of the stored word in the key's list, -1 when it is none of them (for
    // controls that show "neither", like two radio buttons of which none is checked).
    template <typename E>
    int WordIndex(const WordKey<E>& key) const {
        std::string stored;
        if (!ReadRaw(key.place, stored)) return -1;
        for (std::size_t i = 0; i < key.words.size(); ++i) {
            if (stored == key.words[i].text) return static_cast<int>(i);
        }
        return -1;
    }
    // Returns false, writing nothing, for a value that has no word (a cleared reset pattern).
    template <typename E>
    bool Set(const WordKey<E>& key, E value) {
        for (const Word<E>& word : key.words) {
            if (word.value == value) {
                WriteRaw(key.place, word.text);
                return true;
            }
        }
        return false;
    }

    std::string Get(const TextKey& key) const;
    void Set(const TextKey& key, std::string_view value);

    // The path as stored (relative to the program folder when inside it).
    std::string GetStored(const PathKey& key) const;
    // The stored path made absolute; empty when nothing is stored.
    std::string GetAbsolute(const PathKey& key) const;
    // Stores a path, in stored form (an absolute path inside the program folder becomes
    // relative; a relative path is kept as it is, being relative to the program folder already).
    void SetPath(const PathKey& key, std::string_view path);

    WindowPos GetWindowPos(const WindowPosKey& key, int width, int height, ScreenArea screen) const;
    // Whether a position was ever stored (a first start has none).
    bool HasWindowPos(const WindowPosKey& key) const;
    void SetWindowPos(const WindowPosKey& key, WindowPos pos);

  private:
    pugi::xml_node FindElement(const KeyPlace& place) const;
    pugi::xml_node EnsureElement(const KeyPlace& place);
    // False when the element or attribute is missing.
    bool ReadRaw(const KeyPlace& place, std::string& value) const;
    void WriteRaw(const KeyPlace& place, std::string_view value);

    ConfigDocument& document_;
};

}  // namespace config
