#include "app/window_front_end.h"

#include <QComboBox>
#include <QLabel>

#include "app/desktop_services.h"
#include "app/gauge.h"
#include "app/main_window.h"

namespace lucidra::app {

OutputFormat WindowFrontEnd::selected_format() { return form_.selected_format(); }

GenerationSettings WindowFrontEnd::read_settings() { return form_.settings_from_controls(); }

SettingTexts WindowFrontEnd::read_setting_texts() { return form_.setting_texts(); }

bool WindowFrontEnd::confirm(std::string_view caption, std::string_view question) {
  return form_.services().message_box(to_qt(caption), to_qt(question),
                                      message_flags::YesNo | message_flags::IconExclamation) == DialogButton::Yes;
}

void WindowFrontEnd::show_notice(std::string_view text) { form_.services().show_message(to_qt(text)); }

void WindowFrontEnd::show_error(std::string_view text) { form_.services().show_error(error_box_text(to_qt(text))); }

void WindowFrontEnd::set_status_text(std::string_view text) {
  form_.Label21->setText(to_qt(text));
  form_.Label21->repaint();
}

void WindowFrontEnd::set_gauge_position(std::int64_t position) { form_.CGauge2->setPosition(position); }

void WindowFrontEnd::set_gauge_visible(bool visible) {
  // The gauge takes the format box's place while it runs.
  form_.FormatBox->setVisible(!visible);
  form_.CGauge2->setVisible(visible);
  if (visible) form_.CGauge2->repaint();
}

void WindowFrontEnd::show_format_picture(OutputFormat format) { form_.show_format_picture(format); }

void WindowFrontEnd::hide_format_pictures() { form_.hide_format_pictures(); }

void WindowFrontEnd::hide_chart() { form_.set_chart_visible(false); }

void WindowFrontEnd::repaint_window() { form_.repaint(); }

void WindowFrontEnd::clear_series(ChartSeries series) { form_.clear_series(series); }

// A run draws every point red; the series keeps its own colour, which tells
// the two curves apart better than per-point colours would.
void WindowFrontEnd::add_series_point(ChartSeries series, double x, double y) { form_.add_series_point(series, x, y); }

void WindowFrontEnd::set_obtained_flux_text(std::string_view text) { form_.Label7->setText(to_qt(text)); }

void WindowFrontEnd::beep(int frequencyHz, int durationMs) { form_.services().beep(frequencyHz, durationMs); }

std::int64_t WindowFrontEnd::clock_seconds() { return form_.services().clock_seconds(); }

}  // namespace lucidra::app
