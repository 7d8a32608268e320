#pragma once
// What the window's parts share: texts, colours, settings keys and the small
// builders that make a control with its object name. Only the window's own
// source files include it.

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QUrl>
#include <cstdint>

#include "app/spin_edit.h"
#include "lucidra/version.h"
#include "output/ray_format.h"

namespace lucidra::app::window_parts {
inline const QString kFreewareNotice = QStringLiteral("Lucidra LED " LUCIDRA_VERSION_SHORT
                                                      " is freeware.\n"
                                                      "You may use it and pass it on free of charge;\n"
                                                      "it comes without any warranty.");

inline const QString kAboutText = QStringLiteral("Lucidra LED " LUCIDRA_VERSION
                                                 "\n"
                                                 "LED type source file generator\n"
                                                 "for TracePro and Zemax\n"
                                                 "\n"
                                                 "Uses the Sobol algorithm");

inline const QString kGaussianNotice =
    QStringLiteral("Gaussian is not supported. If you want gaussian you can try <User defined>");

inline const QColor kCream(255, 251, 240);
inline const QColor kLegendColour(247, 247, 234);
inline const QColor kSeries1Colour(0, 128, 0);  // the form's green, 32768
inline const QColor kSeries2Colour(255, 0, 0);  // the form's red, 255

inline const QString kStopQuestion = QStringLiteral(
    "A ray file is being generated.\n\nStop the run and close Lucidra LED?\n"
    "The previous ray file stays as it was.");
inline const QString kDistributionFilter = QStringLiteral("Distribution files (*.txt);;All files (*)");
inline const QString kSettingsFilter = QStringLiteral("Lucidra settings (*.cfg);;All files (*)");
inline const QString kRecentKey = QStringLiteral("recentRayFiles");
inline const QString kChartSizeKey = QStringLiteral("window/chartShownSize");
// The rays per second this machine last wrote in a format, by its
// command-line name: the time estimate's base.
inline const QString kRateKey = QStringLiteral("estimate/raysPerSecond/");
// The format last chosen for each target, by its command-line name.
inline const QString kFormatKey = QStringLiteral("rayFileFormat/");
inline constexpr int kRecentCount = 6;
inline constexpr int kChartLeft = 408;  // the chart starts right of the settings column
inline constexpr int kChartBottomGap = 16;

inline constexpr OutputFormat kFormats[] = {OutputFormat::TracePro, OutputFormat::Zemax, OutputFormat::LightTools,
                                            OutputFormat::Asap};

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

inline QFrame* make_panel(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour) {
  auto* panel = named(new QFrame(parent), name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(geometry);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, colour);
  panel->setPalette(palette);
  return panel;
}

inline QLabel* make_label(QWidget* parent, const char* name, const QString& text, int x, int y, int width = -1) {
  auto* label = named(new QLabel(text, parent), name);
  label->move(x, y);
  label->adjustSize();
  if (width > 0) label->resize(width, label->height());
  return label;
}

inline QLineEdit* make_edit(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  auto* edit = named(new QLineEdit(text, parent), name);
  edit->setGeometry(geometry);
  return edit;
}

inline QRadioButton* make_radio(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* button = named(new QRadioButton(text, parent), name);
  button->move(x, y);
  button->adjustSize();
  return button;
}

inline QCheckBox* make_check(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* box = named(new QCheckBox(text, parent), name);
  box->move(x, y);
  box->adjustSize();
  return box;
}

inline SpinEdit* make_spin(QWidget* parent, const char* name, std::int32_t minimum, std::int32_t maximum,
                           std::int32_t increment, std::int32_t value, const QRect& geometry) {
  auto* spin = named(new SpinEdit(minimum, maximum, increment, value, parent), name);
  spin->setGeometry(geometry);
  return spin;
}

// The Browse… button beside a file field of the upper frame, at height `y`.
inline QPushButton* make_browse_button(QWidget* parent, const char* name, int y) {
  auto* button = named(new QPushButton(QStringLiteral("Browse…"), parent), name);
  button->setGeometry(334, y, 62, 23);
  button->setAutoDefault(false);
  return button;
}

// A text banner stands for the target program's logo.
inline QLabel* make_banner(QWidget* parent, const char* name, const QString& title, const QString& subtitle,
                           const QColor& colour) {
  auto* banner = named(new QLabel(parent), name);
  // The upper part of the banner's place: the format box sits below it.
  banner->setGeometry(16, 4, 217, 33);
  banner->setAlignment(Qt::AlignCenter);
  banner->setTextFormat(Qt::RichText);
  banner->setText(QStringLiteral("<span style=\"font-size:15px; font-weight:bold\">%1</span>"
                                 "<br><span style=\"font-size:9px\">%2</span>")
                      .arg(title, subtitle));
  banner->setAutoFillBackground(true);
  QPalette palette = banner->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(palette);
  return banner;
}

// Tab enters an exclusive group on its checked button, as it does in other
// desktop programs; the arrow keys move within the group. Only the checked
// button takes the focus by Tab, so the group is one stop in the tab chain.
inline void keep_tab_on_checked(const QList<QAbstractButton*>& buttons) {
  const auto settle = [buttons] {
    for (QAbstractButton* button : buttons) {
      button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
  };
  for (QAbstractButton* button : buttons) QObject::connect(button, &QAbstractButton::toggled, button, settle);
  settle();
}

inline bool is_distribution_drop(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return false;
  const QUrl url = mime->urls().front();
  return url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive);
}

inline bool is_photometric_drop(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return false;
  const QString name = data->urls().front().toLocalFile().toLower();
  return name.endsWith(QStringLiteral(".ies")) || name.endsWith(QStringLiteral(".ldt"));
}

}  // namespace lucidra::app::window_parts
