#pragma once
// The port table's operations: define and remove a port's device, open and close it, switch
// its entry ON and OFF, reset it, check that it is ready, and apply changed serial or TCP
// settings. The operations do no I/O themselves: they pick the device class from the entry's
// type ("COM", "LPT", "USB", "TCP") and forward to the device contract. Every operation answers
// ok/not ok and leaves the reason of a failure in gsCommErr.
//
// An entry names its device with a key: the first 4 characters for COM and LPT ("COM1"), the
// first 6 for USB ("USB, N"), the first 3 for TCP. Devices are created and released only here.
#include <cstdint>
#include <string>

#include "comm/DeviceCollection.h"

namespace posbench {

// One device per table entry, in table order, under the entry's key. Position n is port n.
// The setup dialog keeps the two look-ups in step by removing every device before it changes
// the table and adding them all again afterwards.
extern DeviceCollection gcolDevices;

// The TCP address the setup dialog edits. A refused address change on an open TCP port puts
// the old address back here as well as into gsTCPAddress.
extern std::string gsSetupTCPAddress;

void ResetPortTableGlobals();

// Creates the devices of the whole table and opens the entries marked ON (at start). An entry
// that cannot be opened is switched OFF; the result is then false but the loop goes on.
bool ConfigureDevices();

bool AddDevice(const std::string& entry, int16_t port);
bool RemoveDevice(const std::string& entry, int16_t port);
// A failure reason reads "Port: n.  " + the device's reason.
bool OpenPort(const std::string& entry, int16_t port);
bool ClosePort(const std::string& entry, int16_t port);

// Switch the entry's trailing state and refresh the main window's port list (always, even
// when the entry already had that state).
void OnToOff(int16_t port);
void OffToOn(int16_t port);

// Port reset: close, OFF, 4000 ms cancellable wait, reopen, ON. Failures are shown.
bool ClearPortOK(int16_t port);

// True when the port exists, no script or download holds it and it is ON.
bool PortReady(int16_t port);

// Apply gComSettings of the entry's COM number to the port's device; with state "ON" the open
// port takes them at once.
bool UpdateCom(const std::string& entry, const std::string& state, int16_t port);
// Swap the COM port's flow between DTR and XON and apply it to the open port.
bool ToggleFlowControl(const std::string& entry, int16_t port);
// Refuses an address change while the TCP port is ON and restores the entry's address.
bool UpdateTCP(const std::string& entry, const std::string& state, int16_t port);

// Per-type parts of AddDevice / RemoveDevice / OpenPort / ClosePort, called with the device key.
// Link recovery calls the open and close procedures directly.
bool AddCOM(const std::string& key, int16_t port);
bool AddUSB(const std::string& key, int16_t port);
bool AddTCP(const std::string& key, int16_t port);
bool AddLPT(const std::string& key, int16_t port);
bool RemoveCOM(const std::string& key, int16_t port);
bool RemoveUSB(const std::string& key, int16_t port);
bool RemoveTCP(const std::string& key, int16_t port);
bool RemoveLPT(const std::string& key, int16_t port);
bool OpenComm(const std::string& key, int16_t port);
bool OpenUSB(const std::string& key, int16_t port);
bool OpenTCP(const std::string& key, int16_t port);
bool OpenLPT(const std::string& key, int16_t port);
bool CloseCom(const std::string& key, int32_t reason);
bool CloseUSB(const std::string& key, int32_t reason);
bool CloseTCP(const std::string& key, int32_t reason);
bool CloseLPT(const std::string& key, int32_t reason);

}  // namespace posbench
