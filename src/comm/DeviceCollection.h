#pragma once
// The device list of the port table: device objects in table order, each under its device key
// ("COM1", "USB, N", "TCP", ...). Callers reach a device either by key or by its 1-based
// position (the port number); both give the same object as long as every change to the table
// is mirrored here in the same order. Keys compare without regard to case.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comm/Device.h"

namespace posbench {

// Error raised when a key is added twice.
inline constexpr int32_t kErrDuplicateKey = 457;

class DeviceCollection {
public:
    // Appends the device under key. A key already present raises 457 and keeps the device
    // out of the list (it is released).
    void Add(const std::string& key, std::unique_ptr<Device> device);
    // Removes and releases the device under key; a missing key raises 5.
    void Remove(const std::string& key);
    // A missing key or a position outside 1..Count() raises 5 ("Invalid procedure call or
    // argument").
    Device& Item(const std::string& key);
    Device& Item(long position);
    long Count() const { return static_cast<long>(items_.size()); }
    bool Contains(const std::string& key) const;
    // The device under oldKey keeps its position under newKey (a USB port whose mode changed);
    // a missing oldKey raises 5, a newKey held by another device raises 457.
    void Rename(const std::string& oldKey, const std::string& newKey);
    void Clear() { items_.clear(); }

private:
    struct Entry {
        std::string key;
        std::unique_ptr<Device> device;
    };
    std::vector<Entry>::iterator Find(const std::string& key);
    std::vector<Entry> items_;
};

}  // namespace posbench
