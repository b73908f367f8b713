#include "base/RuntimeError.h"

#include <new>
#include <stdexcept>

namespace posbench {

std::string ErrorDescription(int32_t number) {
    switch (number) {
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 14: return "Out of string space";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 54: return "Bad file mode";
    case 55: return "File already open";
    case 57: return "Device I/O error";
    case 58: return "File already exists";
    case 61: return "Disk full";
    case 62: return "Input past end of file";
    case 63: return "Bad record number";
    case 67: return "Too many files";
    case 68: return "Device unavailable";
    case 70: return "Permission denied";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 94: return "Invalid use of Null";
    default: return "Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int32_t number) : RuntimeError(number, ErrorDescription(number)) {}

RuntimeError::RuntimeError(int32_t number, std::string description, std::string source)
    : number_(number), description_(std::move(description)), source_(std::move(source)) {}

void Raise(int32_t number) { throw RuntimeError(number); }

RuntimeError CurrentRuntimeError() {
    try {
        throw;
    } catch (const RuntimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RuntimeError(err::OutOfMemory);
    } catch (const std::out_of_range&) {
        return RuntimeError(err::SubscriptOutOfRange);
    } catch (...) {
        return RuntimeError(err::InvalidProcedureCall);
    }
}

std::string ErrorLine(std::string_view prefix, const RuntimeError& error,
                      std::string_view separator) {
    std::string line(prefix);
    line += std::to_string(error.number());
    line += separator;
    line += error.description();
    return line;
}

std::string FailureLine(std::string_view label, std::string_view separator) {
    return ErrorLine(label, CurrentRuntimeError(), separator);
}

}  // namespace posbench
