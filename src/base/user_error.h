#pragma once
// Errors a user can cause (a bad file, a bad field, a failing disk). The text
// is exactly what the user sees; front ends add only their own decoration
// (the window's error box appends a full stop, the command line a prefix).

#include <stdexcept>
#include <string>

namespace lucidra {

class UserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "'%s' is not a valid floating point value" and its integer sibling.
class ConversionError : public UserError {
 public:
  using UserError::UserError;
};

// "Cannot open file %s" and "List index out of bounds (%d)" of the readers.
class FileReadError : public UserError {
 public:
  using UserError::UserError;
};

// The ray file could not be created, written or closed.
class OutputFileError : public UserError {
 public:
  using UserError::UserError;
};

}  // namespace lucidra
