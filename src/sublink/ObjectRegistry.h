#pragma once
// A process-wide list of every live object of one family, in construction order. The member
// definitions live in ObjectRegistryImpl.h and are instantiated only next to the objects that
// populate the list, so any use of the list links those objects in (even from a static library).

#include <vector>

namespace CUsbController {

template <class T>
class ObjectRegistry {
public:
    // The registered objects in registration order.
    static std::vector<T*> Objects();

    ObjectRegistry(const ObjectRegistry&) = delete;
    ObjectRegistry& operator=(const ObjectRegistry&) = delete;

protected:
    ObjectRegistry();
    ~ObjectRegistry();
};

}  // namespace CUsbController
