// The spectrum: its reader's refusals, the inverse cumulative distribution
// the rays' wavelengths come from (one at a time and a batch at a time, the
// same doubles), V(lambda) against a second source, and lumens against
// watts for hand-computed sources.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "photometry/cie_observer.h"
#include "photometry/spectrum.h"

namespace lucidra {
namespace {

// y-bar of the CIE 1931 2 degree observer, 360..830 nm in 5 nm steps, as
// colord ships it (colord-data, /usr/share/colord/cmf/CIE1931-2deg-XYZ.cmf,
// second data row): a source independent of our 1 nm table.
const double kColordYbar5nm[95] = {
    0.000003917,  0.000006965,  0.00001239,   0.00002202,   0.000039,      0.000064,      0.00012,       0.000217,
    0.000396,     0.00064,      0.00121,      0.00218,      0.004,         0.0073,        0.0116,        0.01684,
    0.023,        0.0298,       0.038,        0.048,        0.06,          0.0739,        0.09098,       0.1126,
    0.13902,      0.1693,       0.20802,      0.2586,       0.323,         0.4073,        0.503,         0.6082,
    0.71,         0.7932,       0.862,        0.9148501,    0.954,         0.9803,        0.9949501,     1.0,
    0.995,        0.9786,       0.952,        0.9154,       0.87,          0.8163,        0.757,         0.6949,
    0.631,        0.5668,       0.503,        0.4412,       0.381,         0.321,         0.265,         0.217,
    0.175,        0.1382,       0.107,        0.0816,       0.061,         0.04458,       0.032,         0.0232,
    0.017,        0.01192,      0.00821,      0.005723,     0.004102,      0.002929,      0.002091,      0.001484,
    0.001047,     0.00074,      0.00052,      0.0003611,    0.0002492,     0.0001719,     0.00012,       0.0000848,
    0.00006,      0.0000424,    0.00003,      0.0000212,    0.00001499,    0.0000106,     0.0000074657,  0.0000052578,
    0.0000037029, 0.0000026078, 0.0000018366, 0.0000012934, 0.00000091093, 0.00000064153, 0.00000045181,
};

TEST(CieObserver, EveryFifthValueMatchesTheFiveNanometreTable) {
  for (int i = 0; i < 95; ++i) {
    const int nm = kCieFirstNm + 5 * i;
    EXPECT_NEAR(photopic_efficiency(nm), kColordYbar5nm[i], 1e-12 * (1 + kColordYbar5nm[i])) << nm << " nm";
  }
  EXPECT_EQ(photopic_efficiency(555), 1.0);
  EXPECT_EQ(photopic_efficiency(359.9), 0.0);
  EXPECT_EQ(photopic_efficiency(830.1), 0.0);
  // Linear between the 1 nm values.
  EXPECT_NEAR(photopic_efficiency(554.5), 0.5 * (0.9997482 + 1.0), 1e-15);
}

TEST(Spectrum, LumensPerWattOfMonochromaticAndFlatSources) {
  struct Case {
    const char* name;
    Spectrum spectrum;
    double lumensPerWatt;
  };
  const Case cases[] = {
      {"555 nm line", Spectrum::line(555), 683.0},
      {"450 nm line", Spectrum::line(450), 683.0 * 0.038},
      {"1200 nm line (invisible)", Spectrum::line(1200), 0.0},
      // Flat 554..556 nm: V is linear on each nanometre, so the mean is the
      // trapezoid of the three values over 2 nm.
      {"flat 554-556 nm", Spectrum::from_points({554, 556}, {1, 1}),
       683.0 * (0.5 * 0.9997482 + 1.0 + 0.5 * 0.9998567) / 2},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(c.spectrum.luminous_efficacy(), c.lumensPerWatt, 1e-9 * (1 + c.lumensPerWatt)) << c.name;
  }
  // 1200 lm of a 450 nm source is 1200 / 25.954 W.
  EXPECT_NEAR(1200 / Spectrum::line(450).luminous_efficacy(), 46.2356476843, 1e-8);
}

TEST(Spectrum, InverseCumulativeDistribution) {
  // A triangle 400..500 nm peaking at 450: the median is 450, the first
  // quarter ends where (x - 400)^2 / 100^2 * 2 = 0.25.
  const Spectrum t = Spectrum::from_points({400, 450, 500}, {0, 1, 0});
  EXPECT_NEAR(t.wavelength_at(0.5), 450, 1e-9);
  EXPECT_NEAR(t.wavelength_at(0.125), 425, 1e-9);
  EXPECT_NEAR(t.wavelength_at(0.875), 475, 1e-9);
  EXPECT_NEAR(t.wavelength_at(0.0), 400, 1e-9);
  // Round trip through the share below, over a ramp with a flat part: the
  // exact inverse to rounding, the tabulated one within its tolerance.
  const Spectrum r = Spectrum::from_points({380, 420, 500, 700, 780}, {0, 2, 2, 0.5, 0});
  for (double q = 0.001; q < 1; q += 0.01) {
    const double nm = r.wavelength_at(q);
    EXPECT_GE(nm, 380);
    EXPECT_LE(nm, 780);
    EXPECT_NEAR(r.share_below(r.exact_wavelength_at(q)), q, 1e-12) << q;
    EXPECT_NEAR(nm, r.exact_wavelength_at(q), Spectrum::kInverseTolerance) << q;
  }
  // A gap without power is never drawn.
  const Spectrum g = Spectrum::from_points({400, 410, 600, 610}, {1, 0, 0, 1});
  for (double q = 0; q < 1; q += 0.001) {
    const double nm = g.wavelength_at(q);
    EXPECT_TRUE(nm <= 410 || nm >= 600) << nm;
  }
  EXPECT_EQ(Spectrum::line(633).wavelength_at(0.7), 633);
  EXPECT_NEAR(t.mean_wavelength(), 450, 1e-9);
}

TEST(Spectrum, BatchLookupIsBitForBitTheSingleOne) {
  // The batch path (four shares at a time with AVX, the rest one by one)
  // against wavelength_at on spectra with every kind of piece:
  // rising and falling, flat, starting or ending at zero power, a gap
  // without power, a point only, many points in one guide cell, one line.
  std::vector<double> whiteNm, whitePower, combNm, combPower;
  for (int nm = 380; nm <= 780; ++nm) {
    whiteNm.push_back(nm);
    whitePower.push_back(std::exp(-0.5 * std::pow((nm - 450) / 10.0, 2)) +
                         0.6 * std::exp(-0.5 * std::pow((nm - 560) / 50.0, 2)));
  }
  // A spectrometer's output: 4001 points 0.1 nm apart with noise, so that
  // every cell holds points and the dim ends need the finest parts.
  std::vector<double> denseNm, densePower;
  for (int i = 0; i <= 4000; ++i) {
    const double nm = 380 + 0.1 * i;
    denseNm.push_back(nm);
    densePower.push_back(0.02 + std::exp(-0.5 * std::pow((nm - 450) / 10.0, 2)) +
                         0.6 * std::exp(-0.5 * std::pow((nm - 560) / 50.0, 2)) + 0.01 * std::sin(i));
  }
  for (int i = 0; i < 5000; ++i) {  // more points than guide cells, most without power
    combNm.push_back(300 + 0.25 * i);
    combPower.push_back(i % 97 == 0 ? 1.0 : 0.0);
  }
  struct Case {
    const char* name;
    Spectrum spectrum;
  };
  const Case cases[] = {
      {"white LED", Spectrum::from_points(whiteNm, whitePower)},
      {"dense and noisy", Spectrum::from_points(denseNm, densePower)},
      {"triangle from zero", Spectrum::from_points({400, 450, 500}, {0, 1, 0})},
      {"ramp with a flat part", Spectrum::from_points({380, 420, 500, 700, 780}, {0, 2, 2, 0.5, 0})},
      {"gap without power", Spectrum::from_points({400, 410, 600, 610}, {1, 0, 0, 1})},
      {"flat", Spectrum::from_points({500, 600}, {3, 3})},
      {"zero tail", Spectrum::from_points({400, 500, 600, 700}, {1, 1, 0, 0})},
      {"comb", Spectrum::from_points(combNm, combPower)},
      {"line", Spectrum::line(633)},
  };
  // Shares from 0 to just below 1: a van der Corput sequence (Sobol's first
  // coordinate), the ends, and the shares at every point's own cumulative
  // area, where the piece changes.
  std::vector<double> shares = {0.0, 0x1p-30, 0.5, 1 - 0x1p-30, 1 - 0x1p-53};
  for (std::uint32_t i = 1; i < 4096; ++i) {
    std::uint32_t reversed = 0;
    for (std::uint32_t bits = i, b = 0; b < 12; ++b, bits >>= 1) reversed = (reversed << 1) | (bits & 1u);
    shares.push_back(reversed / 4096.0);
  }
  for (const Case& c : cases) {
    std::vector<double> all = shares;
    for (const double nm : c.spectrum.wavelengths()) {
      const double q = c.spectrum.share_below(nm);
      if (q < 1) all.push_back(q);
    }
    // A fine even grid between the table's cells, through the parts of the
    // cells in parts.
    for (std::size_t k = 0; k < 65536; ++k) all.push_back((static_cast<double>(k) + 0.5) / 65536);
    // Every batch length up to 17, so that each path and tail is taken.
    for (std::size_t n = 1; n <= 17; ++n) {
      std::vector<double> batch(all.size());
      for (std::size_t k = 0; k < all.size(); k += n) {
        const std::size_t m = std::min(n, all.size() - k);
        c.spectrum.wavelengths_at(all.data() + k, batch.data() + k, m);
      }
      for (std::size_t k = 0; k < all.size(); ++k) {
        ASSERT_EQ(batch[k], c.spectrum.wavelength_at(all[k])) << c.name << ", share " << all[k] << ", batch " << n;
      }
    }
    // The tabulated inverse within its tolerance of the exact one, on the
    // shares above.
    for (const double q : all) {
      ASSERT_NEAR(c.spectrum.wavelength_at(q), c.spectrum.exact_wavelength_at(q), Spectrum::kInverseTolerance)
          << c.name << ", share " << q;
    }
  }
}

TEST(Spectrum, ColourOfLinesAndWhite) {
  // A line's dominant wavelength is its own.
  for (const double nm : {450.0, 520.0, 589.0, 630.0}) {
    double purity = 0;
    EXPECT_NEAR(dominant_wavelength(Spectrum::line(nm).chromaticity(), &purity), nm, 1e-6) << nm;
    EXPECT_NEAR(purity, 1, 1e-6);
  }
  EXPECT_EQ(colour_description(Spectrum::line(450)), "dominant wavelength 450.0 nm");
  // McCamy's published check point: CIE illuminant D65 (0.3127, 0.3290)
  // is about 6504 K.
  EXPECT_NEAR(mccamy_cct({0.3127, 0.3290}), 6504, 5);
  // Illuminant A (0.44757, 0.40745) is 2856 K.
  EXPECT_NEAR(mccamy_cct({0.44757, 0.40745}), 2856, 5);
  // Equal energy over the visible range: close to E, a CCT near 5455 K.
  const Spectrum flat = Spectrum::from_points({360, 830}, {1, 1});
  const Chromaticity c = flat.chromaticity();
  EXPECT_NEAR(c.x, 1.0 / 3, 2e-3);
  EXPECT_NEAR(c.y, 1.0 / 3, 2e-3);
  EXPECT_NE(colour_description(flat).find("correlated colour temperature"), std::string::npos);
}

TEST(SpectrumFile, ReadsColumnsWithAnySeparatorCommentsAndHeader) {
  struct Case {
    const char* text;
    std::vector<double> nm;
  };
  const Case cases[] = {
      {"400 0\n450 1\n500 0\n", {400, 450, 500}},
      {"# measured\n\n400\t0\r\n450\t1\r\n500\t0\r\n", {400, 450, 500}},
      {"wavelength,power\n400,0\n450,1.5e0\n500,0\n", {400, 450, 500}},
      {"nm;rel\n400; 0\n450 ;1\n", {400, 450}},
      {"633 1\n", {633}},
  };
  for (const Case& c : cases) {
    const Spectrum s = parse_spectrum(c.text, "s.txt");
    EXPECT_EQ(s.wavelengths(), c.nm) << c.text;
  }
}

TEST(SpectrumFile, RefusalsNameFileAndLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"400 1\n400 2\n", "Spectrum file s.txt, line 2: wavelengths must increase (400 nm follows 400 nm)"},
      {"400 1\n# x\n390 2\n", "Spectrum file s.txt, line 3: wavelengths must increase (390 nm follows 400 nm)"},
      {"400 1\n450 -0.5\n", "Spectrum file s.txt, line 2: power -0.5 is negative"},
      {"150 1\n", "Spectrum file s.txt, line 1: wavelength 150 nm is outside 200 to 2500 nm"},
      {"400 1\n2600 1\n", "Spectrum file s.txt, line 2: wavelength 2600 nm is outside 200 to 2500 nm"},
      {"400 0\n500 0\n", "Spectrum file s.txt: the spectrum has no power (every value is 0)"},
      {"# nothing\n", "Spectrum file s.txt: no wavelength and power found"},
      {"400 1\n450 abc\n", "Spectrum file s.txt, line 2: expected two numbers, wavelength (nm) and relative power"},
      {"400 1 3\n", "Spectrum file s.txt, line 1: expected two numbers, wavelength (nm) and relative power"},
      {"400 1\n450 nan\n", "Spectrum file s.txt, line 2: power nan is negative"},
  };
  for (const Case& c : cases) {
    try {
      parse_spectrum(c.text, "s.txt");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const SpectrumError& e) {
      EXPECT_EQ(e.text(), c.message);
    }
  }
  EXPECT_THROW(read_spectrum_file("/nonexistent/spectrum.txt"), SpectrumError);
  EXPECT_THROW(Spectrum::line(199), SpectrumError);
}

}  // namespace
}  // namespace lucidra
