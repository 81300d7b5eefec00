#pragma once

#include <optional>
#include <string>
#include <utility>

namespace morvane {

// What kind of failure an error is, set where it arises, so that callers decide on it rather than on errno.
enum class ErrorKind {
    Other,
    NotFound,         // no such file, folder or drive
    NotDirectory,     // a file (or something else) where a folder was expected
    ThroughLink,      // the path leads through a symbolic link, or a link stands where a folder was
    OtherFileSystem,  // another file system is mounted where the drive's folder was
    AccessDenied,
    InputOutput,
    Damaged,  // a record file that lacks its shape
    Invalid,  // a path or request that cannot be carried out as given
};

// The kind of failure an errno value stands for.
ErrorKind KindOfErrno(int code);

// What went wrong in a call to the host: the path concerned, the system's reason and the kind of failure.
// Engine calls return these as values; the command turns them into the message the user sees.
struct Error {
    std::string path;    // the path as the caller gave it (a Windows path or a host path)
    int code = 0;        // errno, or 0 when the failure is not a system error
    std::string reason;  // strerror(code), or a description of the failure
    ErrorKind kind = ErrorKind::Other;

    // "path: reason", for messages that name the file and the system's reason.
    std::string describe() const { return path.empty() ? reason : path + ": " + reason; }
};

// An error of the system: its reason is strerror(code), its kind follows from the code.
Error errorFromErrno(std::string path, int code);
// An error with a reason of its own; its kind follows from the code.
Error errorWithReason(std::string path, int code, std::string reason);

// Nothing is there under that path: it is missing, a file stands where a folder of the path should be, or the
// path leads through a link (so it names nothing on the drive).
bool IsAbsent(const Error& error);

// Success, or the error that happened.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error)) {}  // NOLINT: implicit on purpose, `return Error{...}`
    static Status success() { return {}; }

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

// A value, or the error that prevented it.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}      // NOLINT
    Result(Error error) : m_error(std::move(error)) {}  // NOLINT

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T& operator*() const& { return *m_value; }
    T& operator*() & { return *m_value; }
    const T* operator->() const { return &*m_value; }
    T* operator->() { return &*m_value; }
    const Error& error() const { return *m_error; }
    Status status() const { return ok() ? Status() : Status(*m_error); }

private:
    std::optional<T> m_value;
    std::optional<Error> m_error;
};

}  // namespace morvane
