// The one base of every error the program raises: a fixed message users can read, the
// format's own code where it has one, and the lower layer's error that caused it.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace morvik {

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message, int code = 0, std::exception_ptr cause = nullptr)
        : std::runtime_error(message), code_(code), cause_(std::move(cause)) {}

    // 0 where the layer has no codes of its own.
    int Code() const noexcept { return code_; }
    // The error of a lower layer this one was raised for, or null.
    const std::exception_ptr& Cause() const noexcept { return cause_; }

  private:
    int code_;
    std::exception_ptr cause_;
};

}  // namespace morvik
