#pragma once
// A photometric file as read: the measured grid of type C photometry
// (vertical angles γ from the luminaire's axis, horizontal angles C of the
// planes around it) with intensities in candela, before anything is
// expanded or converted for the run.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lucidra {

enum class PhotometricFormat { Ies, Eulumdat };

// Which planes the file holds and how the rest of the circle follows from them.
enum class HorizontalSymmetry {
  Rotational,    // one plane stands for every C
  Quadrant,      // C0..C90, mirrored about the C0-C180 and C90-C270 planes
  PlaneC0C180,   // C0..C180, mirrored about the C0-C180 plane
  PlaneC90C270,  // C90..C270, mirrored about the C90-C270 plane
  None           // the planes as measured, around the whole circle
};

struct PhotometricData {
  PhotometricFormat format = PhotometricFormat::Ies;
  std::string versionText;  // "IESNA:LM-63-2002", "LM-63-1986 (no format line)", "EULUMDAT"
  HorizontalSymmetry symmetry = HorizontalSymmetry::Rotational;
  std::vector<double> verticalDeg;           // γ, strictly ascending
  std::vector<double> horizontalDeg;         // C of the stored planes, strictly ascending
  std::vector<std::vector<double>> candela;  // [plane][γ], finite and non-negative
  std::string sourceName;                    // the file, as messages name it
  // What the header claims about the flux. IES: lamps x lumens per lamp
  // (none for absolute photometry); EULUMDAT: the lamp flux of lamp set 1,
  // which the luminaire emits times its light output ratio.
  std::optional<double> statedLumens;
  std::int64_t lampCount = 0;                     // IES: the number of lamps the header states
  std::optional<double> lightOutputRatioPercent;  // EULUMDAT: the luminaire's share of the lamp flux
  std::vector<std::string> notes;                 // what the reader noticed or decided
};

// The luminaire's flux the header claims: IES lamps x lumens per lamp,
// EULUMDAT lamp flux x light output ratio (none when the ratio is not
// positive); nothing when the file claims none.
std::optional<double> stated_luminaire_lumens(const PhotometricData& data);

// The largest intensity a file may give. The brightest searchlights reach
// about 1e10 cd; far larger values are a broken file, and refusing them keeps
// every sum of the import finite.
inline constexpr double kMaxCandela = 1e15;

// The least step between two of a file's angles (degrees). Closer angles are
// one angle written twice: no photometer measures that finely, and the
// distribution files the import writes (9 significant digits) could not
// keep them apart, so the run would refuse them.
inline constexpr double kMinAngleStepDeg = 1e-5;

// "C0-C90 (symmetric about ...)" and the like, for summaries.
std::string symmetry_text(HorizontalSymmetry symmetry);

}  // namespace lucidra
