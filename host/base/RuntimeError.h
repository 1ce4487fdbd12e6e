#pragma once
// A run-time error of the platform or of the add-in: a number and a description, the analogue of the
// automation runtime's error object. Every failure that may be trapped by a caller is one of these.

#include <stdexcept>
#include <string>

namespace host {

// Error numbers of the automation runtime that the platform raises.
namespace err {
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int DivisionByZero = 11;
inline constexpr int TypeMismatch = 13;
inline constexpr int UserInterrupt = 18;
inline constexpr int BadFileNameOrNumber = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int ObjectNotSet = 91;
inline constexpr int ObjectRequired = 424;
inline constexpr int NoSuchMember = 438;
inline constexpr int ArgumentNotOptional = 449;
inline constexpr int InvalidArgument = 1004;  // the spreadsheet's "application-defined or object-defined error"
}  // namespace err

// The runtime's own description of an error number ("Type mismatch" for 13); "Application-defined or
// object-defined error" for numbers it has no text for.
std::string standardDescription(int number);

class RuntimeError : public std::runtime_error {
public:
    // An error with the runtime's standard description of its number.
    explicit RuntimeError(int number);
    RuntimeError(int number, std::string description);

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    int number_;
    std::string description_;
};

}  // namespace host
