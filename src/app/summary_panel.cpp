// The summary lines under the settings.

#include "app/summary_panel.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

#include "app/desktop_services.h"
#include "app/elided_label.h"
#include "app/main_window.h"
#include "app/run_estimate.h"
#include "app/window_parts.h"

namespace lucidra::app {

using namespace window_parts;

namespace {

// One of the lines under the settings: a row of labels at height `y`.
QHBoxLayout* make_status_line(QWidget* parent, const char* name, int y, int spacing) {
  auto* line = named(new QWidget(parent), name);
  line->setGeometry(8, y, 390, 16);
  auto* layout = new QHBoxLayout(line);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

}  // namespace

void SummaryPanel::build(QWidget* column) {
  auto* fluxLayout = make_status_line(column, "FluxLine", 440, 6);
  QWidget* fluxLine = fluxLayout->parentWidget();
  Label20 = named(new QLabel(QStringLiteral("Obtained Source Flux,  Watt:"), fluxLine), "Label20");
  Label7 = named(new QLabel(fluxLine), "Label7");
  for (QLabel* label : {Label20, Label7}) {
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    fluxLayout->addWidget(label);
  }
  fluxLayout->addStretch();  // the flux to the left while no summary shows
  // After a run: what was written and where, with the way to the folder.
  // The flux keeps its room; a long file name is cut in the middle with an
  // ellipsis (its tooltip holds the whole path).
  RunSummaryLabel = named(new ElidedLabel(fluxLine), "RunSummaryLabel");
  RunSummaryLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  RunSummaryLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  OpenFolderButton = named(new QPushButton(QStringLiteral("Open folder"), fluxLine), "OpenFolderButton");
  OpenFolderButton->setFixedHeight(16);
  fluxLayout->addWidget(RunSummaryLabel, 1);
  fluxLayout->addWidget(OpenFolderButton);
  RunSummaryLabel->hide();
  OpenFolderButton->hide();
  connect(OpenFolderButton, &QPushButton::clicked, this, &SummaryPanel::open_folder);

  auto* estimateLayout = make_status_line(column, "EstimateLine", 456, 4);
  QWidget* estimateLine = estimateLayout->parentWidget();
  Label9 = named(new QLabel(QStringLiteral("Size of Source File"), estimateLine), "Label9");
  Label10 = named(new QLabel(estimateLine), "Label10");
  Label11 = named(new QLabel(QStringLiteral("Мб"), estimateLine), "Label11");
  Label12 = named(new QLabel(QStringLiteral("Generation Time ~ "), estimateLine), "Label12");
  Label13 = named(new QLabel(estimateLine), "Label13");
  Label14 = named(new QLabel(QStringLiteral("min"), estimateLine), "Label14");
  Label15 = named(new QLabel(estimateLine), "Label15");
  Label16 = named(new QLabel(QStringLiteral("sec"), estimateLine), "Label16");
  for (QLabel* label : {Label9, Label10, Label11, Label12, Label13, Label14, Label15, Label16}) {
    estimateLayout->addWidget(label);
    if (label == Label11) estimateLayout->addSpacing(12);
    // Version 3.5's figures (one reference machine, a text file) are kept
    // for the settings that read them, but the window shows measured ones.
    label->hide();
  }
  EstimateLabel = named(new QLabel(estimateLine), "EstimateLabel");
  estimateLayout->addWidget(EstimateLabel);
  estimateLayout->addStretch();

  auto* extentLayout = make_status_line(column, "ExtentLine", 472, 4);
  RunExtentLabel = named(new QLabel(extentLayout->parentWidget()), "RunExtentLabel");
  extentLayout->addWidget(RunExtentLabel);
  extentLayout->addStretch();
  RunExtentLabel->hide();
}

void SummaryPanel::show_run(const QString& path, std::int64_t raysWritten, const std::string& spectrumSummary,
                            const RayExtent& extent) {
  const QString full = QFileInfo(path).absoluteFilePath();
  folder_ = QFileInfo(full).absolutePath();
  QString text = QStringLiteral("%1 rays in %2")
                     .arg(to_qt(format_count(static_cast<std::uint64_t>(std::max<std::int64_t>(raysWritten, 0)))),
                          QFileInfo(full).fileName());
  QString tip = QDir::toNativeSeparators(full);
  if (!spectrumSummary.empty()) {
    // The wavelengths written, and what the spectrum made of the flux.
    text += QStringLiteral(" with wavelengths");
    tip += QLatin1Char('\n') + to_qt(spectrumSummary);
  }
  RunSummaryLabel->setText(text);
  RunSummaryLabel->setToolTip(tip);
  OpenFolderButton->setToolTip(QDir::toNativeSeparators(folder_));
  RunExtentLabel->setText(to_qt(format_extent(extent)));
  RunSummaryLabel->show();
  OpenFolderButton->show();
  RunExtentLabel->show();
}

void SummaryPanel::show_estimate(const QString& text) { EstimateLabel->setText(text); }

void SummaryPanel::open_folder() {
  if (folder_.isEmpty()) return;
  if (!services_.open_url(QUrl::fromLocalFile(folder_))) {
    services_.show_error(error_box_text(QStringLiteral("No program opens the folder ") + folder_));
  }
}

}  // namespace lucidra::app
