#pragma once
// The one seam between a generation run and whatever shows it: the desktop
// window, the command line and the tests each implement this interface.

#include <cstdint>
#include <string_view>

#include "engine/settings.h"

namespace lucidra {

// Message-box flags and answers, with the values the users' platform gives them.
namespace message_flags {
inline constexpr unsigned Ok = 0x00;
inline constexpr unsigned YesNo = 0x04;
inline constexpr unsigned IconExclamation = 0x30;
inline constexpr unsigned IconInformation = 0x40;
}  // namespace message_flags

enum class DialogButton { Ok = 1, Yes = 6, No = 7 };

enum class ChartSeries { Longitudinal = 1, Transversal = 2 };  // Series1, Series2

inline constexpr std::uint32_t kColourRed = 255;
inline constexpr std::uint32_t kColourGreen = 32768;

class RunFrontEnd {
 public:
  virtual ~RunFrontEnd() = default;

  // The selected target program; read before the confirmation.
  virtual OutputFormat selected_format() = 0;
  // Every setting, read once the run has been confirmed.
  virtual GenerationSettings read_settings() = 0;

  // A message box with caption and flags; returns the button pressed.
  virtual DialogButton message_box(std::string_view caption, std::string_view text,
                                   unsigned flags) = 0;
  // A plain notice: OK button, the application title as caption.
  virtual void show_notice(std::string_view text) = 0;
  // The error display for an error that ended the run.
  virtual void show_error(std::string_view text) = 0;

  // The status label, repainted at once.
  virtual void set_status_text(std::string_view text) = 0;
  // The 0..1000 gauge. The run reports a position only when it changes.
  virtual void set_gauge_position(std::int64_t position) = 0;
  virtual void set_gauge_visible(bool visible) = 0;
  // Shows the banner of `format` and hides the others.
  virtual void show_format_picture(OutputFormat format) = 0;
  virtual void hide_format_pictures() = 0;
  virtual void hide_chart() = 0;
  virtual void repaint_window() = 0;
  virtual void clear_series(ChartSeries series) = 0;
  virtual void add_series_point(ChartSeries series, double x, double y,
                                std::uint32_t colour) = 0;
  virtual void set_obtained_flux_text(std::string_view text) = 0;
  virtual void beep(int frequencyHz, int durationMs) = 0;
  // Current calendar time in whole seconds; seeds the runtime generator.
  virtual std::int64_t clock_seconds() = 0;

  // Polled between blocks of rays; a front end that can be interrupted
  // (the command line on Ctrl-C) returns true to stop the run.
  virtual bool stop_requested() { return false; }
};

}  // namespace lucidra
