#pragma once

#include <optional>
#include <string>
#include <utility>

namespace morvane {

// What went wrong in a call to the host: the path concerned and the system's reason. Engine calls return
// these as values; the command turns them into the message the user sees.
struct Error {
    std::string path;    // the path as the caller gave it (a Windows path or a host path)
    int code = 0;        // errno, or 0 when the failure is not a system error
    std::string reason;  // strerror(code), or a description of the failure

    // "path: reason", for messages that name the file and the system's reason.
    std::string describe() const { return path.empty() ? reason : path + ": " + reason; }
};

Error errorFromErrno(std::string path, int code);

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
