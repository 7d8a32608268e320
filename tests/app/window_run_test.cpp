// What a run started from the window asks and shows, in order, recorded
// through the window's seam without a window: the refusals, the
// confirmation, a text that is not a number, and a whole small run.

#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/run_setup.h"
#include "random/random_state.h"
#include "recording_front_end.h"
#include "support/temp_dir.h"

using namespace lucidra;
using namespace lucidra::app::test;

namespace {

// The question before a run of the test's settings (5 rays, 3500 W) into
// `path` in `format`.
std::string confirm(const std::string& path, const char* format = "Zemax text",
                    const char* sampling = "equal-flux sampling") {
  return std::string("box Lucidra|Write 5 rays, 3500 W, ") + format + ", " + sampling + ", to " +
         std::filesystem::absolute(path).string() + "?\n\n Existing file will be overritten!!!";
}
const std::string kLegacyConfirm =
    "box Lucidra| Begin generation of Source File? \n\n Existing file will be overritten!!!";

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string distribution(const char* angles, const char* values) {
  return std::string(angles) + "\r\n\r\n" + values + "\r\n";
}

}  // namespace

class WindowRunTest : public QObject {
  Q_OBJECT

 private slots:
  void refusalsAndNoLeaveEverythingAlone();
  void aTextThatIsNotANumberStopsBeforeAnything();
  void messagesGaugeAndDisplaysOfASmallRun();
  void aRunThatEndsEarlyReturnsToIdle();

 private:
  RecordingFrontEnd front_end(TempDir& dir) {
    GenerationSettings s;
    s.outputPath = (dir.path() / "ray.dat").string();
    s.longitudinalFile = dir.write("l.txt", distribution("0 30 60 90 ", "100 87 50 0 "));
    s.transversalFile = dir.write("t.txt", distribution("0 10 20 40 ", "100 60 20 0 "));
    s.rayCount = 4;
    s.angularType = AngularType::Uniform;
    SettingTexts texts;
    texts.numericalAperture = "0,5";
    texts.sizeX = texts.sizeY = "2";
    texts.decimalSeparator = ',';
    return RecordingFrontEnd(s, texts);
  }
};

void WindowRunTest::refusalsAndNoLeaveEverythingAlone() {
  struct Case {
    OutputFormat format;
    DialogButton answer;
    std::string event;
    RunOutcome outcome;
  };
  const Case cases[] = {
      {OutputFormat::Asap, DialogButton::No, "ASAP (dis) (experimental)", RunOutcome::Cancelled},
      {OutputFormat::LightTools, DialogButton::No, "LightTools binary", RunOutcome::Cancelled},
      {OutputFormat::LightToolsText, DialogButton::No, "LightTools text", RunOutcome::Cancelled},
      {OutputFormat::Tm25, DialogButton::No, "TM-25", RunOutcome::Cancelled},
      {OutputFormat::Zemax, DialogButton::No, "Zemax text", RunOutcome::Cancelled},
  };
  for (const Case& c : cases) {
    TempDir dir;
    RecordingFrontEnd ui = front_end(dir);
    dir.write("ray.dat", "previous content");
    ui.settings.outputFormat = c.format;
    ui.answer = c.answer;
    QCOMPARE(run_from_window(ui).outcome, c.outcome);
    QCOMPARE(ui.events, (std::vector<std::string>{"read settings", confirm(ui.settings.outputPath, c.event.c_str())}));
    QVERIFY(ui.gaugePositions.empty());
    QCOMPARE(read_file(dir.path() / "ray.dat"), std::string("previous content"));
  }
  // Legacy sampling asks version 3.5's question.
  TempDir dir;
  RecordingFrontEnd ui = front_end(dir);
  ui.settings.legacySampling = true;
  ui.answer = DialogButton::No;
  QCOMPARE(run_from_window(ui).outcome, RunOutcome::Cancelled);
  QCOMPARE(ui.events, (std::vector<std::string>{"read settings", kLegacyConfirm}));
}

void WindowRunTest::aTextThatIsNotANumberStopsBeforeAnything() {
  TempDir dir;
  RecordingFrontEnd ui = front_end(dir);
  ui.texts.sizeY = "2.5";  // a point where the window's separator is a comma
  const RunReport report = run_from_window(ui);
  QCOMPARE(report.outcome, RunOutcome::Failed);
  const std::vector<std::string> expected = {"read settings", confirm(ui.settings.outputPath),
                                             "error '2.5' is not a valid floating point value"};
  QCOMPARE(ui.events, expected);
  QVERIFY(ui.gaugePositions.empty());
  QVERIFY(!std::filesystem::exists(dir.path() / "ray.dat"));
}

void WindowRunTest::messagesGaugeAndDisplaysOfASmallRun() {
  // Weighted rays take a flux phase first; equal-flux rays do not.
  for (const bool weighted : {false, true}) {
    TempDir dir;
    RecordingFrontEnd ui = front_end(dir);
    ui.settings.weightedSampling = weighted;
    ui.settings.notifyEnd = true;
    ProcessRandomState state;
    QCOMPARE(run_from_window(ui, state).outcome, RunOutcome::Succeeded);
    // N = 4: the flux phase sets 500 i / 4 for i = 1..5, the writing phase
    // base + span s / 4 for s = 2..6; the gauge shows only changes.
    const std::vector<std::int64_t> gauge = weighted
                                                ? std::vector<std::int64_t>{0, 125, 250, 375, 500, 625, 750, 875, 1000}
                                                : std::vector<std::int64_t>{0, 500, 750, 1000};
    QCOMPARE(ui.gaugePositions, gauge);
    const std::vector<std::string> expected = {
        "read settings",
        confirm(ui.settings.outputPath, "Zemax text", weighted ? "weighted sampling" : "equal-flux sampling"),
        "pictures hidden",
        "chart hidden",
        "repaint",
        "clear series 1",
        "clear series 2",
        "gauge shown",
        "status Calculation Flux...",
        "status Writing to file...",
        "flux 3500,000000",
        "beep 3000 300",
        "notice  Source File Created Succesfully!!! ",
        "picture 1",
        "gauge hidden",
        "status "};
    QCOMPARE(ui.events, expected);
    QCOMPARE(ui.seriesPoints[1], 3);  // n - 1 points per table
    QCOMPARE(ui.seriesPoints[2], 3);
  }
}

// A failure inside the run (a table that cannot be read) and a stop asked
// for: the message, then the window as before the run: the target's banner,
// the gauge hidden, no status; the previous file as it was.
void WindowRunTest::aRunThatEndsEarlyReturnsToIdle() {
  for (const bool stop : {false, true}) {
    TempDir dir;
    RecordingFrontEnd ui = front_end(dir);
    dir.write("ray.dat", "previous content");
    ui.settings.rayCount = 200000;
    if (stop) {
      ui.stopAfterPolls = 1;
    } else {
      ui.settings.transversalFile = (dir.path() / "missing.txt").string();
    }
    ProcessRandomState state;
    const RunReport report = run_from_window(ui, state);
    QCOMPARE(report.outcome, stop ? RunOutcome::Interrupted : RunOutcome::Failed);
    const std::vector<std::string> tail(ui.events.end() - 4, ui.events.end());
    const std::string message = (stop ? "notice " : "error ") + report.message;
    QCOMPARE(tail, (std::vector<std::string>{message, "picture 1", "gauge hidden", "status "}));
    QCOMPARE(read_file(dir.path() / "ray.dat"), std::string("previous content"));
    if (stop) QVERIFY2(report.message.find("is unchanged") != std::string::npos, report.message.c_str());
  }
}

QTEST_GUILESS_MAIN(WindowRunTest)
#include "window_run_test.moc"
