#include "cli/cli_options.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string_view>

#include "base/platform_file.h"
#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/number_text.h"
#include "engine/config_file.h"
#include "engine/input_guard.h"
#include "engine/settings_text.h"
#include "photometry/spectrum.h"

namespace lucidra::cli {
namespace {

// The smallest emitter size the run takes: an emitter of no size is none.
constexpr double kSmallestSize = 1e-300;

[[noreturn]] void bad_value(std::string_view option, std::string_view value, std::string_view expected) {
  throw UsageError("invalid value '" + std::string(value) + "' for " + std::string(option) + ": expected " +
                   std::string(expected));
}

std::int64_t whole_number(std::string_view option, std::string_view value, std::int64_t lo, std::int64_t hi,
                          std::string_view expected) {
  std::int64_t v = 0;
  const char* first = value.data();
  const char* last = value.data() + value.size();
  if (first != last && *first == '+') ++first;
  const auto [ptr, ec] = std::from_chars(first, last, v);
  if (value.empty() || ec != std::errc() || ptr != last || v < lo || v > hi) bad_value(option, value, expected);
  return v;
}

// A decimal-point number in [lo, hi]; returns the text as given.
std::string real_text(std::string_view option, std::string_view value, double lo, double hi,
                      std::string_view expected) {
  const auto v = try_parse_real(value, '.');
  if (!v || *v < lo || *v > hi) bad_value(option, value, expected);
  return std::string(value);
}

template <class Enum>
Enum choice(std::string_view option, std::string_view value,
            std::initializer_list<std::pair<std::string_view, Enum>> choices, std::string_view expected) {
  for (const auto& [name, e] : choices) {
    if (value == name) return e;
  }
  bad_value(option, value, expected);
}

// Normalises a size or NA text written with `separator` to a decimal point,
// refusing it with the conversion message when it is not a number.
std::string point_text(const std::string& text, char separator) {
  parse_real(text, separator);
  std::string result = text;
  if (separator != '.') {
    for (char& c : result) {
      if (c == separator) c = '.';
    }
  }
  return result;
}

// "<kind> <name>: <message>", unless the message names the file already.
std::string with_file_name(std::string_view kind, const std::string& name, const std::string& message) {
  if (message == "Cannot open file " + name || message.rfind("File " + name + " ", 0) == 0) return message;
  return std::string(kind) + " " + name + ": " + message;
}

constexpr std::pair<std::string_view, Command> kCommands[] = {
    {"generate", Command::Generate}, {"check", Command::Check}, {"import", Command::Import},
    {"estimate", Command::Estimate}, {"help", Command::Help},   {"version", Command::Version}};

// The number of single-character edits that turn `a` into `b`.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The closest of `names` to a mistyped `word` (two edits at most, or a
// beginning of one name only), or nothing.
template <class Names>
std::optional<std::string_view> closest_name(std::string_view word, const Names& names) {
  std::optional<std::string_view> best;
  std::size_t bestDistance = 3;
  std::size_t prefixes = 0;
  std::string_view prefixOf;
  for (std::string_view name : names) {
    const std::size_t d = edit_distance(word, name);
    if (d < bestDistance) {
      bestDistance = d;
      best = name;
    }
    // The beginning of one name (--out for --out-dir), or one name with
    // more after it (--tolerance for --tol).
    if (word.size() >= 4 && name.size() >= 4 && (name.rfind(word, 0) == 0 || word.rfind(name, 0) == 0)) {
      ++prefixes;
      prefixOf = name;
    }
  }
  if (!best && prefixes == 1) best = prefixOf;
  return best;
}

std::string suggestion(std::optional<std::string_view> name) {
  return name ? "; did you mean '" + std::string(*name) + "'?" : std::string();
}

std::optional<Command> command_named(std::string_view word) {
  for (const auto& [name, command] : kCommands) {
    if (word == name) return command;
  }
  return std::nullopt;
}

bool is_help(std::string_view arg) { return arg == "--help" || arg == "-h"; }

constexpr const char* kCommandList = "use 'generate', 'check', 'import', 'estimate', 'help' or 'version'";

// "; did you mean 'generate'?" for a mistyped command, or "".
std::string command_suggestion(std::string_view word) {
  std::vector<std::string_view> names;
  for (const auto& command : kCommands) names.push_back(command.first);
  return suggestion(closest_name(word, names));
}

}  // namespace

std::string did_you_mean(std::string_view word, const std::vector<std::string_view>& names) {
  return suggestion(closest_name(word, names));
}

CliOptions parse_command_line(const std::vector<std::string>& args) {
  CliOptions o;
  if (args.empty()) throw UsageError(std::string("missing command: ") + kCommandList);
  const std::string& command = args[0];
  if (is_help(command) || command == "help") {
    o.command = Command::Help;
    if (args.size() > 1) {
      const auto topic = command_named(args[1]);
      if (!topic || args.size() > 2) {
        throw UsageError("help takes one command name, not '" + args[topic ? 2 : 1] + "'" +
                         (topic ? std::string() : command_suggestion(args[1])));
      }
      if (*topic != Command::Help && *topic != Command::Version) o.helpTopic = *topic;
    }
    return o;
  }
  if (command == "--version" || command == "-V" || command == "version") {
    if (args.size() > 1) throw UsageError("version takes no arguments; '" + args[1] + "' is one");
    o.command = Command::Version;
    return o;
  }
  if (const auto named = command_named(command)) {
    o.command = *named;
  } else {
    const std::string close = command_suggestion(command);
    throw UsageError("unknown command '" + command + "'" + (close.empty() ? std::string(": ") + kCommandList : close));
  }
  // `COMMAND --help` anywhere before a lone `--` asks for that command's help.
  for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
    if (is_help(args[i])) {
      o.helpTopic = o.command;
      o.command = Command::Help;
      return o;
    }
  }
  if (o.command == Command::Import) {
    o.import = parse_import_arguments(args);
    o.quiet = o.import->quiet;
    return o;
  }

  using Handler = std::function<void(std::string_view option, std::string_view value)>;
  struct OptionRule {
    bool takesValue;
    Handler handler;
  };
  const auto flag = [](std::function<void()> f) {
    return OptionRule{false, [f](std::string_view, std::string_view) { f(); }};
  };
  const auto valued = [](Handler h) { return OptionRule{true, std::move(h)}; };

  std::map<std::string_view, OptionRule> rules;
  std::map<std::string_view, std::string_view> shortNames = {
      {"-c", "--config"},      {"-f", "--format"}, {"-o", "--output"}, {"-L", "--longitudinal"},
      {"-T", "--transversal"}, {"-n", "--rays"},   {"-q", "--quiet"}};
  const bool check = o.command == Command::Check;
  // check takes the options that describe the law as generate does.
  const bool generate = o.command == Command::Generate || check;
  rules.emplace("--rays", valued([&](auto opt, auto v) {
                  o.rayCount = static_cast<std::int32_t>(
                      whole_number(opt, v, 1, 1000000000, "a whole number from 1 to 1000000000"));
                }));
  // estimate takes the format: a binary file's size differs from the text's.
  if (generate || o.command == Command::Estimate) {
    rules.emplace("--format", valued([&](auto opt, auto v) {
                    const RayFormat* format = ray_format_named(v);
                    if (format == nullptr) bad_value(opt, v, ray_format_names());
                    if (check) {
                      o.checkFormat = std::string(v);
                    } else {
                      o.format = format->id;
                    }
                  }));
  }
  // estimate takes the spectrum too: a ray with a wavelength takes more room.
  if (generate || o.command == Command::Estimate) {
    rules.emplace("--spectrum", valued([&](auto opt, auto v) {
                    if (v.empty()) bad_value(opt, v, "a spectrum file (wavelength in nm, relative power)");
                    o.spectrumFile = std::string(v);
                  }));
    rules.emplace("--wavelength", valued([&](auto opt, auto v) {
                    const auto x = try_parse_real(v, '.');
                    if (!x || !(*x >= kSpectrumMinNm && *x <= kSpectrumMaxNm)) {
                      bad_value(opt, v, "a wavelength in nm from 200 to 2500");
                    }
                    o.wavelengthNm = *x;
                  }));
  }
  if (generate) {
    rules.emplace("--config", valued([&](auto, auto v) { o.configFile = std::string(v); }));
    rules.emplace("--output", valued([&](auto opt, auto v) {
                    if (v.empty()) bad_value(opt, v, "a file name");
                    o.outputPath = std::string(v);
                  }));
    rules.emplace("--longitudinal", valued([&](auto, auto v) { o.longitudinalFile = std::string(v); }));
    rules.emplace("--transversal", valued([&](auto, auto v) { o.transversalFile = std::string(v); }));
    rules.emplace("--photometric", valued([&](auto opt, auto v) {
                    if (v.empty()) bad_value(opt, v, "an IES or EULUMDAT file");
                    o.photometricFile = std::string(v);
                  }));
    rules.emplace("--source-flux", valued([&](auto opt, auto v) {
                    const auto x = try_parse_real(v, '.');
                    if (!x || !(*x > 0) || !(*x < 1e30)) bad_value(opt, v, "a positive number (watts or lumens)");
                    o.sourceFlux = *x;
                  }));
    rules.emplace("--flux-unit", valued([&](auto opt, auto v) {
                    o.fluxUnit = choice<FluxUnit>(opt, v, {{"W", FluxUnit::Watt}, {"lm", FluxUnit::Lumen}}, "W or lm");
                  }));
    rules.emplace("--weighted", flag([&] { o.weightedSampling = true; }));
    rules.emplace("--flip", flag([&] { o.flipSolid = true; }));
    rules.emplace("--consider-flux", flag([&] { o.considerFlux = true; }));
    rules.emplace("--force-extension", flag([&] { o.forceExtension = true; }));
    rules.emplace("--algorithm", valued([&](auto opt, auto v) {
                    o.algorithm = choice<RandomAlgorithm>(
                        opt, v, {{"sobol", RandomAlgorithm::Sobol}, {"uniform", RandomAlgorithm::Uniform}},
                        "sobol or uniform");
                  }));
    rules.emplace("--angular", valued([&](auto opt, auto v) {
                    o.angularType = choice<AngularType>(opt, v,
                                                        {{"lambertian", AngularType::Lambertian},
                                                         {"uniform", AngularType::Uniform},
                                                         {"user-defined", AngularType::UserDefined},
                                                         {"gaussian", AngularType::Gaussian}},
                                                        "lambertian, uniform, user-defined or gaussian");
                  }));
    rules.emplace("--na", valued([&](auto opt, auto v) {
                    o.numericalAperture = real_text(opt, v, 0, 1, "a number from 0 to 1");
                  }));
    rules.emplace("--extent", valued([&](auto opt, auto v) {
                    o.extentAboutZ = static_cast<std::int32_t>(
                        whole_number(opt, v, 0, 360, "a whole number of degrees from 0 to 360"));
                  }));
    rules.emplace("--shape", valued([&](auto opt, auto v) {
                    o.planeShape = choice<PlaneShape>(
                        opt, v, {{"rectangular", PlaneShape::Rectangular}, {"elliptical", PlaneShape::Elliptical}},
                        "rectangular or elliptical");
                  }));
    rules.emplace("--size-x", valued([&](auto opt, auto v) {
                    o.sizeX = real_text(opt, v, kSmallestSize, HUGE_VAL, "a size in mm greater than 0");
                  }));
    rules.emplace("--size-y", valued([&](auto opt, auto v) {
                    o.sizeY = real_text(opt, v, kSmallestSize, HUGE_VAL, "a size in mm greater than 0");
                  }));
    rules.emplace("--double-side", flag([&] { o.doubleSide = true; }));
    rules.emplace("--balance", valued([&](auto opt, auto v) {
                    o.balance = static_cast<std::int32_t>(whole_number(opt, v, 0, 100, "a whole number from 0 to 100"));
                  }));
    rules.emplace("--square", flag([&] { o.squareShape = true; }));
    rules.emplace("--legacy-sampling", flag([&] { o.legacySampling = true; }));
    rules.emplace("--check", flag([&] { o.checkAfterGenerate = true; }));
    const auto real = [](std::string_view opt, std::string_view v, double lo, double hi, std::string_view what) {
      const auto x = try_parse_real(v, '.');
      if (!x || !(*x >= lo && *x <= hi)) bad_value(opt, v, what);
      return *x;
    };
    rules.emplace("--bin", valued([&, real](auto opt, auto v) {
                    o.binDeg = real(opt, v, 0.01, 90, "a bin width in degrees from 0.01 to 90");
                  }));
    rules.emplace("--wedge", valued([&, real](auto opt, auto v) {
                    o.wedgeHalfDeg = real(opt, v, 0.1, 45, "a wedge half-width in degrees from 0.1 to 45");
                  }));
    rules.emplace("--min-rays", valued([&](auto opt, auto v) {
                    o.minRays = whole_number(opt, v, 1, INT64_MAX, "a whole number of rays, at least 1");
                  }));
    rules.emplace("--tol", valued([&, real](auto opt, auto v) {
                    o.tolerance = real(opt, v, 0, 1, "a share of the peak from 0 to 1 (0.01 is 1 %)");
                  }));
    rules.emplace("--plot", valued([&](auto opt, auto v) {
                    if (v.empty()) bad_value(opt, v, "an SVG file name");
                    o.plotPath = std::string(v);
                  }));
    rules.emplace("--csv", valued([&](auto opt, auto v) {
                    if (v.empty()) bad_value(opt, v, "a CSV file name");
                    o.csvPath = std::string(v);
                  }));
    rules.emplace("--arc", flag([&] { o.arcMode = true; }));
    rules.emplace(
        "--arc-margins", valued([&](auto opt, auto v) {
          const auto comma = v.find(',');
          const auto a = comma == std::string_view::npos ? std::nullopt : try_parse_real(v.substr(0, comma), '.');
          const auto b = comma == std::string_view::npos ? std::nullopt : try_parse_real(v.substr(comma + 1), '.');
          if (!a || !b || *a < 0 || *b < 0 || *a + *b > 180) {
            bad_value(opt, v, "two angles A,B in degrees, each at least 0, together at most 180");
          }
          o.arcMarginADeg = *a;
          o.arcMarginBDeg = *b;
        }));
    rules.emplace("--clock-seed", valued([&](auto opt, auto v) {
                    o.clockSeed = whole_number(opt, v, INT64_MIN, INT64_MAX, "a whole number of seconds");
                  }));
    rules.emplace("--decimal-separator", valued([&](auto opt, auto v) {
                    if (v != "." && v != ",") bad_value(opt, v, "'.' or ','");
                    o.decimalSeparator = v[0];
                  }));
    rules.emplace("--progress", flag([&] { o.progress = ProgressMode::On; }));
    rules.emplace("--quiet", flag([&] { o.quiet = true; }));
    rules.emplace("--threads", valued([&](auto opt, auto v) {
                    o.threads = static_cast<unsigned>(whole_number(opt, v, 1, 1024, "a whole number from 1 to 1024"));
                  }));
  }

  if (check) {
    // Options that make rays mean nothing to a check of rays already written
    // (the sampling, arc mode and its margins still say which law to judge).
    for (const char* name : {"--output", "--rays", "--source-flux", "--consider-flux", "--algorithm", "--clock-seed",
                             "--progress", "--check"}) {
      rules.erase(name);
    }
  }

  std::vector<std::string_view> ruleNames;
  for (const auto& rule : rules) ruleNames.push_back(rule.first);
  bool optionsEnded = false;
  std::map<std::string_view, std::string> given;  // option name -> as the user wrote it
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--" && !optionsEnded) {
      optionsEnded = true;
      continue;
    }
    const bool positional = optionsEnded || arg.empty() || arg[0] != '-' || arg == "-";
    if (positional) {
      if (!check) {
        throw UsageError("unexpected argument '" + std::string(arg) + "': " + command +
                         " takes options only (a value belongs after its option)");
      }
      if (o.checkPath) throw UsageError("check takes one ray file; '" + std::string(arg) + "' is a second one");
      o.checkPath = std::string(arg);
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string_view> inlineValue;
    if (arg.size() > 2 && arg[1] != '-') {
      // A short option: -n5 is -n 5, -n=5 too.
      name = arg.substr(0, 2);
      inlineValue = arg.substr(arg[2] == '=' ? 3 : 2);
    } else if (const auto eq = arg.find('='); eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    const std::string_view written = name;
    if (const auto s = shortNames.find(name); s != shortNames.end()) name = s->second;
    const auto rule = rules.find(name);
    if (rule == rules.end()) {
      throw UsageError("unknown option '" + std::string(written) + "' for '" + command + "'" +
                       suggestion(closest_name(name, ruleNames)));
    }
    given[rule->first] = std::string(written);
    if (!rule->second.takesValue) {
      if (inlineValue) throw UsageError("option " + std::string(written) + " takes no value");
      rule->second.handler(name, {});
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) throw UsageError("option " + std::string(written) + " needs a value");
      inlineValue = std::string_view(args[++i]);
    }
    rule->second.handler(name, *inlineValue);
  }
  // Options that say opposite things are refused, naming both as written.
  const auto refuse_pair = [&given](std::string_view a, std::string_view b, const std::string& why) {
    if (given.count(a) != 0 && given.count(b) != 0) {
      throw UsageError(given[a] + " and " + given[b] + " exclude each other: " + why);
    }
  };
  refuse_pair("--photometric", "--longitudinal", "the photometric file's planes stand in for -L and -T");
  refuse_pair("--photometric", "--transversal", "the photometric file's planes stand in for -L and -T");
  refuse_pair("--quiet", "--progress", "choose one");
  if (o.command == Command::Estimate && !o.rayCount) {
    throw UsageError("estimate needs --rays N");
  }
  if (check && !o.checkPath) throw UsageError("check needs the ray file to read: lucidra-cli check RAYFILE [OPTIONS]");
  if (o.weightedSampling && o.legacySampling) {
    throw UsageError("--weighted and --legacy-sampling exclude each other: choose one sampling");
  }
  if (o.spectrumFile && o.wavelengthNm) {
    throw UsageError("--spectrum and --wavelength exclude each other: give a spectrum file or one wavelength");
  }
  if ((o.spectrumFile || o.wavelengthNm) && o.legacySampling) {
    throw UsageError("--spectrum and --wavelength need the equal-flux or weighted sampling, not --legacy-sampling");
  }
  if (o.legacySampling && o.fluxUnit == FluxUnit::Lumen) {
    throw UsageError("--flux-unit lm does not apply to --legacy-sampling, which knows watts only");
  }
  if (o.flipSolid && !o.photometricFile) {
    throw UsageError("--flip turns a photometric solid over: it needs --photometric FILE");
  }
  return o;
}

GenerationSettings resolve_settings(const CliOptions& o, char defaultDecimalSeparator) {
  GenerationSettings s = resolve_law_settings(o, defaultDecimalSeparator);
  const RayFormat& format = ray_format(s.outputFormat);
  // Without a name: the configuration's (TracePro and Zemax text), else the
  // format's own default in the working directory.
  if (s.outputPath.empty() && o.format) s.outputPath = std::string(format.defaultName);
  if (s.outputPath.empty()) throw UsageError("No ray file given: use --output PATH or a configuration file");
  if (!o.forceExtension) {
    // Ray tracers choose the reader by the extension: a TM-25 file named
    // .dat would not load in OpticStudio.
    const std::string refusal = extension_refusal(format, s.outputPath);
    if (!refusal.empty()) throw UserError(refusal);
  }
  // A Lambertian or uniform LED needs no table; given ones are still read.
  const bool tablesNeeded = run_reads_tables(s) || !s.longitudinalFile.empty() || !s.transversalFile.empty();
  if (tablesNeeded && s.longitudinalFile.empty() && s.photometricFile.empty()) {
    throw UsageError("No longitudinal distribution file given: use --longitudinal FILE or a configuration file");
  }
  if (tablesNeeded && s.transversalFile.empty() && s.photometricFile.empty()) {
    throw UsageError("No transversal distribution file given: use --transversal FILE or a configuration file");
  }
  return s;
}

GenerationSettings resolve_law_settings(const CliOptions& o, char defaultDecimalSeparator) {
  GenerationSettings s;
  SettingTexts texts;  // options and configuration texts, with a decimal point
  const char separator = o.decimalSeparator.value_or(defaultDecimalSeparator);
  s.fileDecimalSeparator = separator;
  s.outputFormat = o.format.value_or(OutputFormat::Zemax);

  // A configuration that cannot be opened is named with the system's reason.
  if (o.configFile) require_readable(*o.configFile);
  std::optional<ConfigValues> config;
  if (o.configFile) {
    s.settingsFile = *o.configFile;
    try {
      const auto lines = load_config_lines(*o.configFile);
      config = read_config_values(lines, separator, *o.configFile);
      s.longitudinalFile = config->longitudinalFile;
      s.transversalFile = config->transversalFile;
      s.rayCount = config->rayCount;
      s.sourceFlux = config->sourceFlux;
      s.extentAboutZ = config->extentAboutZ;
      texts.numericalAperture = point_text(config->numericalAperture, separator);
      texts.sizeX = point_text(config->sizeX, separator);
      texts.sizeY = point_text(config->sizeY, separator);
      // The configuration holds a TracePro and a Zemax path; the other
      // formats take --output or their default name.
      if (s.outputFormat == OutputFormat::TracePro) {
        s.outputPath = config->traceProPath;
      } else if (s.outputFormat == OutputFormat::Zemax || s.outputFormat == OutputFormat::ZemaxBinary) {
        s.outputPath = config->zemaxPath;
      }
    } catch (const ConfigSilentStop&) {
      throw;  // names the file already
    } catch (const UserError& error) {
      throw UserError(with_file_name("Configuration file", *o.configFile, error.what()));
    }
  }

  if (o.outputPath) s.outputPath = *o.outputPath;
  if (o.longitudinalFile) s.longitudinalFile = *o.longitudinalFile;
  if (o.transversalFile) s.transversalFile = *o.transversalFile;
  if (o.photometricFile) s.photometricFile = *o.photometricFile;
  if (o.rayCount) s.rayCount = *o.rayCount;
  if (o.sourceFlux) s.sourceFlux = *o.sourceFlux;
  if (o.fluxUnit) s.fluxUnit = *o.fluxUnit;
  // A photometric file states its luminaire's flux in lumens: without a
  // flux of the user's, the rays carry that.
  if (!o.sourceFlux && !s.photometricFile.empty() && !o.legacySampling) {
    if (s.fluxUnit == FluxUnit::Watt && o.fluxUnit) {
      throw UserError("--flux-unit W needs --source-flux: the flux of a photometric file is in lumens");
    }
    s.fluxFromPhotometricFile = true;
    s.fluxUnit = FluxUnit::Lumen;
  }
  s.considerSourceFlux = o.considerFlux;
  if (o.algorithm) s.randomAlgorithm = *o.algorithm;
  if (o.angularType) s.angularType = *o.angularType;
  if (o.numericalAperture) texts.numericalAperture = *o.numericalAperture;
  if (o.extentAboutZ) s.extentAboutZ = *o.extentAboutZ;
  if (o.planeShape) s.planeShape = *o.planeShape;
  if (o.sizeX) texts.sizeX = *o.sizeX;
  if (o.sizeY) texts.sizeY = *o.sizeY;
  s.doubleSide = o.doubleSide;
  if (o.balance) s.balance = *o.balance;
  s.squareShape = o.squareShape;
  s.ledMode = !o.arcMode;
  s.arcMarginADeg = o.arcMarginADeg;
  s.arcMarginBDeg = o.arcMarginBDeg;
  s.threads = o.threads;
  s.legacySampling = o.legacySampling;
  s.weightedSampling = o.weightedSampling;
  s.flipSolid = o.flipSolid;
  if (o.spectrumFile) s.spectrumFile = *o.spectrumFile;
  if (o.wavelengthNm) s.wavelengthNm = *o.wavelengthNm;
  apply_setting_texts(s, texts);
  // An emitter of no size (or a negative one) is no emitter: the run would
  // quietly make it a point.
  for (const auto& [size, axis] : {std::pair{s.sizeXmm, "X"}, std::pair{s.sizeYmm, "Y"}}) {
    if (!(size > 0)) {
      throw UsageError(std::string("The emitter's ") + axis + " size must be greater than 0 mm (it is " +
                       (axis[0] == 'X' ? texts.sizeX : texts.sizeY) + " mm" +
                       (o.configFile && !(axis[0] == 'X' ? o.sizeX : o.sizeY) ? " in " + *o.configFile : "") + ")");
    }
  }
  return s;
}

std::vector<std::string> clamped_value_notes(const CliOptions& o, char defaultDecimalSeparator) {
  std::vector<std::string> notes;
  if (!o.configFile) return notes;
  const char separator = o.decimalSeparator.value_or(defaultDecimalSeparator);
  std::vector<std::string> lines;
  try {
    lines = load_config_lines(*o.configFile);
  } catch (const UserError&) {
    return notes;  // the settings report the file itself
  }
  const auto line = [&lines](std::size_t number) { return number <= lines.size() ? lines[number - 1] : std::string(); };
  // Whole numbers the configuration clamps to the window's ranges, unless
  // an option replaces them.
  struct Whole {
    std::size_t line;
    const char* what;
    std::int64_t lo, hi;
    bool replaced;
  };
  const Whole wholes[] = {{5, "ray count", 1, 1000000000, o.rayCount.has_value()},
                          {6, "source flux", 5, 50000, o.sourceFlux.has_value()},
                          {9, "extent", 0, 360, o.extentAboutZ.has_value()}};
  for (const Whole& w : wholes) {
    if (w.replaced) continue;
    std::int64_t value = 0;
    const std::string text = line(w.line);
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) continue;
    if (value < w.lo || value > w.hi) {
      const std::int64_t used = std::clamp(value, w.lo, w.hi);
      notes.push_back("Configuration file " + *o.configFile + " line " + std::to_string(w.line) + ": " + w.what + " " +
                      text + " is outside " + std::to_string(w.lo) + " to " + std::to_string(w.hi) + "; " +
                      std::to_string(used) + " is used");
    }
  }
  if (!o.numericalAperture) {
    const std::string text = line(11);
    if (const auto na = try_parse_real(text, separator); na && (*na > 1 || *na < 0)) {
      notes.push_back("Configuration file " + *o.configFile + " line 11: NA " + text + " is outside 0 to 1; " +
                      (*na > 1 ? "1" : "0") + " is used");
    }
  }
  return notes;
}

std::string fixed_number(double value) {
  char text[400];  // the largest double has 309 digits before the point
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  return std::string(text, end.ptr);
}

void require_readable(const std::string& name) {
  if (name.empty() || name == "-") return;
  std::error_code ec;
  const std::filesystem::path path = path_from_utf8(name);
  const auto status = std::filesystem::status(path, ec);
  // A pipe or device is read once, by its reader: opening it here could
  // take data or block.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
      !std::filesystem::is_directory(status)) {
    return;
  }
  if (std::filesystem::is_directory(status)) throw UserError("Cannot open " + name + ": it is a folder");
  errno = 0;
  std::FILE* file = open_file(name, "rb");
  if (file == nullptr) {
    const int error = errno;
    throw UserError("Cannot open " + name + ": " + (error != 0 ? std::strerror(error) : "unknown reason"));
  }
  std::fclose(file);
}

void require_inputs_readable(const GenerationSettings& s) {
  if (!s.photometricFile.empty()) {
    require_readable(s.photometricFile);
    return;
  }
  require_readable(s.longitudinalFile);
  require_readable(s.transversalFile);
}

void check_run_files(const GenerationSettings& s) {
  // Files that cannot be opened come first, before anything is said about
  // their contents.
  require_inputs_readable(s);
  refuse_output_over_input("ray file", s.outputPath, run_input_files(s));
  if (!s.photometricFile.empty()) return;  // the run reads it, and names it in any message
  for (const std::string* name : {&s.longitudinalFile, &s.transversalFile}) {
    if (name->empty()) continue;  // a law without tables
    std::error_code ec;
    // A pipe (such as <(command)) can be read only once: the run reads it.
    const std::filesystem::path path = path_from_utf8(*name);
    const bool regular = std::filesystem::is_regular_file(path, ec);
    if (regular || !std::filesystem::exists(path, ec)) {
      try {
        read_distribution_file(*name, s.fileDecimalSeparator);
      } catch (const UserError& error) {
        // The reader's own words name the file and line already.
        if (error.place() && !error.place()->file.empty()) throw;
        throw UserError(with_file_name("Distribution file", *name, error.what()));
      }
    }
  }
}

namespace {

// One line per format for --help, from the format list.
std::string format_lines() {
  std::string text;
  for (const RayFormat& f : ray_formats()) {
    std::string line = "      " + std::string(f.cliName);
    line.resize(29, ' ');
    line += std::string(f.displayName) + " (" + std::string(f.defaultName.substr(f.defaultName.rfind('.'))) +
            (f.binary ? ", binary" : ", text") + ")";
    if (f.dropsZeroFlux) line += "; rays of zero flux left out; not to a pipe";
    if (f.experimental) line += "; EXPERIMENTAL, see below";
    text += line + "\n";
  }
  return text;
}

}  // namespace

namespace {

constexpr const char* kExitCodes = R"(
Exit codes:
  0    success (generate: the ray file was written and the obtained flux is at
       least 1.0)
  1    the run stopped with an error, or check could not read its ray file
       (message on stderr)
  2    the command line is malformed (message on stderr)
  3    not used any more (earlier versions refused lighttools and asap)
  4    a distribution file has more than 450 points (the file holds the header only)
  5    the ray file was written but the obtained flux is below 1.0
  6    the check failed: the header, a ray or the far field (check, or
       generate --check)
  130  interrupted by Ctrl-C (the previous file is unchanged)
)";

}  // namespace

std::string usage_text() {
  return std::string(R"(Usage: lucidra-cli generate [OPTIONS]
  or:  lucidra-cli check RAYFILE [LAW OPTIONS] [CHECK OPTIONS]
  or:  lucidra-cli import FILE [--out-dir DIR] [--force] [--decimal-separator C]
  or:  lucidra-cli estimate --rays N [-f FORMAT]
  or:  lucidra-cli help [COMMAND] | COMMAND --help
  or:  lucidra-cli --version

Writes a ray file of N + 1 rays (start point, direction cosines, flux) for
TracePro, Zemax, LightTools or ASAP, as text or binary, from two measured
distribution files or a photometric (IES, EULUMDAT) file.

Commands:
  generate    write a ray file
  check       verify a ray file's header and rays and compare its far field
              with the law it was generated from
  import      turn an IES or EULUMDAT file into the two distribution files
  estimate    the size and time of a run of N rays
  help        this text, or a command's (lucidra-cli help generate)
  version     the version (also -V, --version)

Options every command takes:
  -h, --help                 the command's help
  -q, --quiet                nothing on standard output or error unless it fails
                             (generate, check, import)
A value may follow its option as the next argument, after '=' (--rays=5) or,
for a short option, directly (-n5).
)") + kExitCodes;
}

std::string command_help(Command command) {
  switch (command) {
    case Command::Generate:
      return std::string(R"(Usage: lucidra-cli generate [OPTIONS]

Writes a ray file of N + 1 rays from two distribution files (-L, -T), a
photometric file (--photometric), or, for a Lambertian or uniform LED, its NA
alone.

generate options:
  -c, --config FILE          start values from a lucidra.cfg file (its 15 positional lines)
  -f, --format FMT           the ray file's format (default zemax):
)") + format_lines() +
             R"(  -o, --output PATH          ray file (default: config line 1 for tracepro, 2 for zemax
                             and zemax-binary, else the format's name above, such as
                             sample.ray); - writes it to standard output. A name whose
                             extension belongs to another format is refused
      --force-extension      keep an output name whose extension does not fit -f
  -L, --longitudinal FILE    first distribution file (horizontal in LED mode)
  -T, --transversal FILE     second distribution file (vertical in LED mode)
      --photometric FILE     an IES (.ies) or EULUMDAT (.ldt) file: its C0-C180 and
                             C90-C270 planes stand in for -L and -T (not with them)
  -n, --rays N               1..1000000000 (default 30000); the file gets N+1 rays
      --source-flux X        the rays' total flux, any positive number (default 3500,
                             or the luminaire's flux for --photometric)
      --flux-unit U          W | lm: the unit of --source-flux and of every ray's flux
                             (default W; lm for --photometric without --source-flux)
      --weighted             directions even over the cap with the law in each ray's
                             flux (dense dim tails), instead of equal-flux rays drawn
                             in proportion to the law (the default)
      --flip                 turn a photometric solid over: gamma 180 becomes +z
      --spectrum FILE        the source's spectrum: wavelength (nm) and relative power,
                             two columns (any separator, # comments, CSV header);
                             every ray gets a wavelength drawn from it, and the
                             summary gives lumens and watts through V(lambda)
      --wavelength NM        one wavelength for every ray, 200..2500 nm
      --consider-flux        legacy sampling only: run the flux phase ("Consider Sorce Flux")
      --algorithm A          sobol | uniform                              (default sobol)
      --angular T            lambertian | uniform | user-defined | gaussian (default user-defined)
      --na X                 0..1 (default 0)
      --extent DEG           whole degrees 0..360 (default 360)
      --shape S              rectangular | elliptical (default rectangular)
      --size-x MM, --size-y MM   emitter sizes, greater than 0 (default 0.00001 each)
      --double-side, --balance B (0..100, default 50)
      --square               angular shape "Square" instead of "Radial"
      --arc                  arc mode instead of LED mode
      --arc-margins A,B      arc elevation margins in degrees (default 0,0)
      --clock-seed T         whole seconds that seed the runtime generator (default: now)
      --decimal-separator C  '.' or ',' for distribution files and config text
                             (default: the locale's LC_NUMERIC separator)
      --threads K            worker threads (default: every core)
      --legacy-sampling      reproduce ray files of version 3.5 byte for byte (its
                             truncated, persisting intensity levels and its
                             double-side share); by default each ray's flux is
                             the tables interpolated linearly at its own angle
      --progress             progress bar on stderr, with rays/s and the time left
                             (default: when stderr is a terminal)
  -q, --quiet                print nothing unless the run fails
      --check                after writing, run the far-field check on the file
A binary header that states the total flux (zemax-binary, lighttools, and the
lighttools-text header) goes to a pipe only when the flux is known before the
rays, which legacy sampling does not allow. asap writes the ASAP binary
distribution file as one public reader reads it; some header words are
guesses. If your ASAP refuses the file, write tm25 or zemax-binary and
convert it with your ray tracer's own tools.
Numbers given as options are written with a decimal point. An existing output
file is replaced without asking, but only once the run is complete: a run that
fails or is interrupted leaves it exactly as it was.
)" + kExitCodes;
    case Command::Check:
      return std::string(R"(Usage: lucidra-cli check RAYFILE [LAW OPTIONS] [CHECK OPTIONS]

check reads a ray file of any format generate writes (any size, streamed), prints and
verifies its header (count, flux against the sum of the rays, flux and length
units) and fails on a ray with a number that is not finite or a direction of
length off 1 by more than 1e-3, naming the first; then it prints a
summary (rays, flux, start-point bounds, direction lengths, zero or negative
flux, the share going backwards) and compares the flux-weighted intensity per
solid angle I(theta) over all azimuths and in wedges about the x-z plane
(where the first table applies) and the y-z plane (the second table) with the
law that the same options describe for generate (-L/-T or --photometric, --angular, --na,
--extent, --double-side --balance, --square, -c, --decimal-separator), after
one least-squares scale factor. A bin passes within 5 standard deviations (its
Monte-Carlo variance) or within the tolerance of its view's peak.
check options:
  -f, --format FMT           a format generate writes (default: from the file's first bytes)
      --bin DEG              polar-angle bin width (default 2)
      --wedge DEG            half-width of the wedges about the planes (default 10)
      --min-rays N           bins with fewer rays are not judged (default 100)
      --tol SHARE            share of the peak a bin may deviate (default 0.01)
      --spectrum FILE        also compare the rays' wavelengths with this spectrum
                             (flux per wavelength bin, same rule) and report their
                             flux-weighted mean wavelength
      --plot FILE.svg        measured points and expected curves, three views
      --csv FILE             the binned figures
      --threads K            reader threads (default: every core)
  -q, --quiet                print nothing when the check passes
Law options: as for generate (-L, -T, --photometric, --angular, --na, --extent,
--double-side, --balance, --square, --arc, --arc-margins, --weighted,
--legacy-sampling, --flip, -c, --decimal-separator).
)") + kExitCodes;
    case Command::Import: return import_usage_text();
    case Command::Estimate:
      return std::string(R"(Usage: lucidra-cli estimate --rays N [-f FORMAT] [--spectrum FILE | --wavelength NM]

Prints the size of the ray file a run of N rays writes and the time it takes.

estimate options:
  -n, --rays N               1..1000000000
      --spectrum FILE        rays with a wavelength, drawn from this spectrum: the
      --wavelength NM        size of the format's spectral layout (the file is read
                             and checked as generate would)
  -f, --format FMT           the ray file's format (default zemax):
)") + format_lines();
    case Command::Help:
    case Command::Version: break;
  }
  return usage_text();
}

}  // namespace lucidra::cli
