#include "app/window_front_end.h"

#include <QComboBox>
#include <QLabel>

#include "app/desktop_services.h"
#include "app/gauge.h"
#include "app/main_window.h"

namespace lucidra::app {

PreparedRun WindowFrontEnd::read_run() { return {form_.settings_from_controls(), form_.setting_texts()}; }

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

void WindowFrontEnd::clear_for_run() {
  form_.CGauge2->setPosition(0);
  form_.output()->hide_format_pictures();
  form_.set_chart_visible(false);
  form_.repaint();
  form_.clear_series(ChartSeries::Longitudinal);
  form_.clear_series(ChartSeries::Transversal);
}

// A run draws every point red; the series keeps its own colour, which tells
// the two curves apart better than per-point colours would.
void WindowFrontEnd::add_table_points(ChartSeries series, const std::vector<PlotPoint>& points) {
  for (const PlotPoint& p : points) form_.add_series_point(series, p.x, p.y);
}

void WindowFrontEnd::set_obtained_flux_text(std::string_view text) { form_.Label7->setText(to_qt(text)); }

void WindowFrontEnd::beep(int frequencyHz, int durationMs) { form_.services().beep(frequencyHz, durationMs); }

void WindowFrontEnd::show_idle(OutputFormat format) {
  form_.output()->show_format_picture(format);
  set_gauge_visible(false);
  set_status_text("");
}

std::int64_t WindowFrontEnd::clock_seconds() { return form_.services().clock_seconds(); }

}  // namespace lucidra::app
