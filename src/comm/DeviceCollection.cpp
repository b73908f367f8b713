#include "comm/DeviceCollection.h"

#include <algorithm>

#include "base/RuntimeError.h"
#include "base/StringOps.h"

namespace posbench {

std::vector<DeviceCollection::Entry>::iterator DeviceCollection::Find(const std::string& key) {
    return std::find_if(items_.begin(), items_.end(),
                        [&](const Entry& e) { return EqualsNoCase(e.key, key); });
}

bool DeviceCollection::Contains(const std::string& key) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const Entry& e) { return EqualsNoCase(e.key, key); });
}

void DeviceCollection::Add(const std::string& key, std::unique_ptr<Device> device) {
    if (!device) Raise(err::ObjectVariableNotSet);
    if (Contains(key)) {
        throw RuntimeError(kErrDuplicateKey,
                           "This key is already associated with an element of this collection");
    }
    items_.push_back(Entry{key, std::move(device)});
}

void DeviceCollection::Remove(const std::string& key) {
    auto it = Find(key);
    if (it == items_.end()) Raise(err::InvalidProcedureCall);
    // Take the device out before releasing it, so that a destructor that looks at the list
    // sees it already gone.
    std::unique_ptr<Device> released = std::move(it->device);
    items_.erase(it);
}

void DeviceCollection::Rename(const std::string& oldKey, const std::string& newKey) {
    auto it = Find(oldKey);
    if (it == items_.end()) Raise(err::InvalidProcedureCall);
    auto held = Find(newKey);
    if (held != items_.end() && held != it) {
        throw RuntimeError(kErrDuplicateKey,
                           "This key is already associated with an element of this collection");
    }
    it->key = newKey;
}

Device& DeviceCollection::Item(const std::string& key) {
    auto it = Find(key);
    if (it == items_.end()) Raise(err::InvalidProcedureCall);
    return *it->device;
}

Device& DeviceCollection::Item(long position) {
    if (position < 1 || position > Count()) Raise(err::InvalidProcedureCall);
    return *items_[static_cast<std::size_t>(position - 1)].device;
}

}  // namespace posbench
