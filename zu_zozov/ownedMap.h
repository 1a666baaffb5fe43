// Storing objects in a map that owns them by key (a group rule's groups, an
// account rule's accounts).
//
// The owner keeps, beside its map, the set of the objects the map holds, so
// that an object it already holds under another key (a host changed its code
// after handing it over) is recognised without searching the map: the map
// never holds one object twice and never deletes it twice.
//
// Internal to the library; hosts must not rely on it.  Not thread-safe: the
// map belongs to one object used from one thread at a time.
#ifndef ZU_ZOZOV_OWNEDMAP_H
#define ZU_ZOZOV_OWNEDMAP_H

#include <map>
#include <string>
#include <unordered_set>

namespace qvt {
namespace ht {
namespace detail {

// Stores item under key in owner, whose values are all owned by the map and
// listed in held.  The object held so far under key is deleted, unless it is
// item itself.  REQUIRES: item is not null and not held under another key.
template <class T>
void replaceOwned(std::map<std::string, T*>& owner, std::unordered_set<const T*>& held,
                  const std::string& key, T* item) {
    T*& slot = owner[key];
    if (slot == item) return;
    if (slot != nullptr) {
        held.erase(slot);
        delete slot;
    }
    slot = item;
    held.insert(item);
}

// replaceOwned for an item that may already be held under another key: that
// entry is dropped first (a search of the map, only in that case).
// REQUIRES: item is not null.
template <class T>
void storeOwned(std::map<std::string, T*>& owner, std::unordered_set<const T*>& held,
                const std::string& key, T* item) {
    if (held.count(item) != 0) {
        typename std::map<std::string, T*>::iterator found = owner.find(key);
        if (found != owner.end() && found->second == item) return;
        for (typename std::map<std::string, T*>::iterator it = owner.begin(); it != owner.end();
             ++it) {
            if (it->second == item) {
                owner.erase(it);
                break;
            }
        }
    }
    replaceOwned(owner, held, key, item);
}

// Deletes every object of owner and empties both owner and held.
template <class T>
void clearOwned(std::map<std::string, T*>& owner, std::unordered_set<const T*>& held) {
    for (typename std::map<std::string, T*>::iterator it = owner.begin(); it != owner.end(); ++it) {
        delete it->second;
    }
    owner.clear();
    held.clear();
}

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_OWNEDMAP_H
