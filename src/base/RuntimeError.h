#pragma once
// Unexpected failures travel as RuntimeError and are turned into one status line at the
// boundary of the procedure that catches them. The numbers and descriptions below are the ones
// every message of the system quotes ("9 Subscript out of range"), so they never change.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace posbench {

namespace err {
inline constexpr int32_t ReturnWithoutGoSub = 3;
inline constexpr int32_t InvalidProcedureCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t DivisionByZero = 11;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t OutOfStringSpace = 14;
inline constexpr int32_t BadFileNameOrNumber = 52;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t BadFileMode = 54;
inline constexpr int32_t FileAlreadyOpen = 55;
inline constexpr int32_t DeviceIoError = 57;
inline constexpr int32_t FileAlreadyExists = 58;
inline constexpr int32_t DiskFull = 61;
inline constexpr int32_t InputPastEndOfFile = 62;
inline constexpr int32_t BadRecordNumber = 63;
inline constexpr int32_t TooManyFiles = 67;
inline constexpr int32_t DeviceUnavailable = 68;
inline constexpr int32_t PermissionDenied = 70;
inline constexpr int32_t PathFileAccessError = 75;
inline constexpr int32_t PathNotFound = 76;
inline constexpr int32_t ObjectVariableNotSet = 91;
inline constexpr int32_t InvalidUseOfNull = 94;
}  // namespace err

// The description of an error number ("Overflow", "File not found", ...), or
// "Application-defined or object-defined error" for numbers without one.
std::string ErrorDescription(int32_t number);

class RuntimeError : public std::exception {
public:
    explicit RuntimeError(int32_t number);
    RuntimeError(int32_t number, std::string description, std::string source = {});

    int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const std::string& source() const noexcept { return source_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    int32_t number_;
    std::string description_;
    std::string source_;
};

[[noreturn]] void Raise(int32_t number);

// Maps the exception in flight (inside a catch block) onto a RuntimeError: a RuntimeError
// stays as it is, allocation failure is "Out of memory", a standard range error is
// "Subscript out of range", anything else "Invalid procedure call or argument".
RuntimeError CurrentRuntimeError();

// One procedure's failure line: prefix, the error number in plain decimal, separator, and the
// description ("modComm OpenPort Error " + "9" + " " + "Subscript out of range").
std::string ErrorLine(std::string_view prefix, const RuntimeError& error,
                      std::string_view separator = " ");

// Inside a catch block: the failing procedure's message line for the error in flight, labelled
// as that procedure labels its failures. Every `catch (...)` that reports goes through here.
std::string FailureLine(std::string_view label, std::string_view separator = " ");

}  // namespace posbench
