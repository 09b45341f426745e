// Errors are exceptions carrying a CP932 message; one guard shows them (vcl/ErrorBox.h).
#pragma once
#include <exception>
#include <string>

#include "text/Sjis.h"

namespace veska {

class Exception : public std::exception {
public:
    explicit Exception(Bytes message) : message_(std::move(message)) {}
    const Bytes& Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    Bytes message_;
};

// The framework's out-of-memory class, raised by the tray icon's registration failures.
class EOutOfMemory : public Exception {
    using Exception::Exception;
};

// A text that was expected to be a number.
class EConvertError : public Exception {
    using Exception::Exception;
};

// Registry (settings key) failures.
class ERegistryException : public Exception {
    using Exception::Exception;
};

// Component naming failures.
class EComponentError : public Exception {
    using Exception::Exception;
};

// Image loading failures.
class EInvalidGraphic : public Exception {
    using Exception::Exception;
};

// File access failures.
class EFOpenError : public Exception {
    using Exception::Exception;
};

}  // namespace veska
