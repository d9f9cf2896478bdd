#pragma once
// Member definitions of ObjectRegistry; include only where a family is explicitly instantiated.

#include <algorithm>
#include <mutex>
#include <vector>

#include "sublink/ObjectRegistry.h"

namespace CUsbController {

namespace detail {

// The list holds the registry base pointers: the derived object is not yet constructed when
// its base registers, so the conversion to T happens only when the list is read.
template <class T>
struct RegistryList {
    std::mutex lock;
    std::vector<ObjectRegistry<T>*> entries;

    static RegistryList& Get() {
        static RegistryList list;
        return list;
    }

    std::vector<T*> Snapshot() {
        std::lock_guard guard(lock);
        std::vector<T*> out;
        out.reserve(entries.size());
        for (auto* entry : entries)
            out.push_back(static_cast<T*>(entry));
        return out;
    }
};

}  // namespace detail

template <class T>
ObjectRegistry<T>::ObjectRegistry() {
    auto& list = detail::RegistryList<T>::Get();
    std::lock_guard guard(list.lock);
    list.entries.push_back(this);
}

template <class T>
ObjectRegistry<T>::~ObjectRegistry() {
    auto& list = detail::RegistryList<T>::Get();
    std::lock_guard guard(list.lock);
    auto it = std::find(list.entries.begin(), list.entries.end(), this);
    if (it != list.entries.end())
        list.entries.erase(it);
}

template <class T>
std::vector<T*> ObjectRegistry<T>::Objects() {
    return detail::RegistryList<T>::Get().Snapshot();
}

}  // namespace CUsbController
