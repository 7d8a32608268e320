#pragma once
// Ends a window handler without any message: the NA field uses it when it is
// cleared, so that an empty field is left alone and start-up stops quietly.

#include <exception>

namespace lucidra::app {

class SilentAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "silent abort"; }
};

}  // namespace lucidra::app
