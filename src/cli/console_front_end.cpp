#include "cli/console_front_end.h"

namespace lucidra::cli {
namespace {

void print_line(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

DialogButton ConsoleFrontEnd::message_box(std::string_view, std::string_view text, unsigned flags) {
  // The confirmation is the only question a run asks; starting the command
  // answers it. Every other box is a refusal, reported on stderr.
  if ((flags & message_flags::YesNo) != 0) return DialogButton::Yes;
  end_bar();
  print_line(stderr, text);
  return DialogButton::Ok;
}

void ConsoleFrontEnd::show_notice(std::string_view text) {
  end_bar();
  // The success notice goes to stdout; the limit and low-flux notices report failures.
  print_line(text == " Source File Created Succesfully!!! " ? stdout : stderr, text);
}

void ConsoleFrontEnd::show_error(std::string_view text) {
  end_bar();
  print_line(stderr, std::string("lucidra-cli: ") + std::string(text));
}

void ConsoleFrontEnd::set_status_text(std::string_view text) {
  status_ = text;
  // A phase shows its bar as it starts: the first percent of a billion rays
  // can take seconds.
  if (progressBar_ && !status_.empty()) draw_bar();
}

void ConsoleFrontEnd::set_gauge_position(std::int64_t position) {
  const std::int64_t percent = position / 10;
  if (percent == percent_) return;
  percent_ = percent;
  if (progressBar_ && !status_.empty()) draw_bar();
}

void ConsoleFrontEnd::set_gauge_visible(bool visible) {
  if (!visible) end_bar();
}

void ConsoleFrontEnd::draw_bar() {
  constexpr int kWidth = 40;
  const std::int64_t percent = percent_ < 0 ? 0 : percent_;
  const int filled = static_cast<int>(percent * kWidth / 100);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), ' ');
  std::fprintf(stderr, "\r[%s] %3lld%% %-20s", bar.c_str(), static_cast<long long>(percent), status_.c_str());
  std::fflush(stderr);
  barShown_ = true;
}

void ConsoleFrontEnd::end_bar() {
  if (!barShown_) return;
  std::fputc('\n', stderr);
  barShown_ = false;
}

}  // namespace lucidra::cli
