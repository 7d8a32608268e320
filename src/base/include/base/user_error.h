#pragma once
// Errors a user can cause (a bad file, a bad field, a failing disk). The text
// is exactly what the user sees; front ends add only their own decoration
// (the window's error box appends a full stop, the command line a prefix).

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace lucidra {

// Where in an input file an error was found, as far as the reader knows it.
// The reader of the lowest level fills in what it knows (the value's position
// on its line), the next one up the line, the one that opened the file its
// name, so that no front end has to parse a message to say where it happened.
struct FilePlace {
  std::string kind;          // "distribution file"; used with `file`
  std::string file;          // as the user gave it; empty when read from memory
  int line = 0;              // 1-based; 0 when unknown
  bool lineMissing = false;  // the file ends before `line`
  std::int64_t value = 0;    // 1-based position on the line; 0 when unknown

  // "(distribution file a.txt, line 3, value 2)", "(distribution file a.txt,
  // line 3 is missing)"; the parts not known are left out.
  std::string text() const {
    std::string parts;
    const auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : ", ") + part; };
    if (!file.empty()) add(kind.empty() ? file : kind + " " + file);
    if (line > 0) add("line " + std::to_string(line) + (lineMissing ? " is missing" : ""));
    if (value > 0 && !lineMissing) add("value " + std::to_string(value));
    return parts.empty() ? std::string() : "(" + parts + ")";
  }
};

class UserError : public std::runtime_error {
 public:
  explicit UserError(const std::string& text) : std::runtime_error(text), text_(text), shown_(text) {}

  // The text and, on a line of its own, where it happened when that is known.
  const char* what() const noexcept override { return shown_.c_str(); }
  // The text alone, as the error was raised.
  const std::string& text() const noexcept { return text_; }
  const std::optional<FilePlace>& place() const noexcept { return place_; }

  // Updates where the error happened; call before rethrowing with `throw;`.
  template <typename Update>
  void locate(Update update) {
    FilePlace place = place_.value_or(FilePlace{});
    update(place);
    const std::string placeText = place.text();
    shown_ = placeText.empty() ? text_ : text_ + "\n" + placeText;
    place_ = std::move(place);
  }

 private:
  std::string text_;
  std::string shown_;
  std::optional<FilePlace> place_;
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
