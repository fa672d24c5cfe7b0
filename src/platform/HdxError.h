#pragma once
#include <stdexcept>
#include <string>

// A fault that a procedure "raises": carries the error number the rest of the
// program (and the error report) expects, e.g. 6 overflow, 53 file not found.
struct HdxError : std::runtime_error {
    int number;
    std::string description;
    HdxError(int num, std::string desc) : std::runtime_error(desc), number(num), description(std::move(desc)) {}
};

// Error numbers used across the program.
namespace HdxErr {
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int BadFileMode = 54;
constexpr int FileAlreadyOpen = 55;
constexpr int DeviceIO = 57;
constexpr int FileAlreadyExists = 58;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int ObjectRequired = 424;
constexpr int InvalidProcedureCall = 5;
constexpr int ApplicationDefined = 1004;
}  // namespace HdxErr
