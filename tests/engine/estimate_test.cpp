#include "engine/estimate.h"

#include <gtest/gtest.h>

namespace lucidra {
namespace {

struct EstimateCase {
  std::int32_t rayCount;
  std::int64_t sizeMb;
  std::int64_t minutes;
  std::int64_t seconds;
};

TEST(EstimateOutput, MatchesTheWindowsFigures) {
  // Whole seconds and minutes often show one less: the stored time per ray
  // lies just below 0.00015.
  const EstimateCase cases[] = {
      {1, 0, 0, 0},          {6666, 0, 0, 0},         {6667, 0, 0, 1},
      {13368, 0, 0, 2},      {13369, 1, 0, 2},        {20000, 1, 0, 2},
      {30000, 2, 0, 4},      {40000, 2, 0, 5},        {100000, 7, 0, 14},
      {400000, 29, 0, 59},   {400001, 29, 1, 0},      {1000000, 74, 2, 30},
      {2500000, 187, 6, 14}, {10000000, 748, 24, 59}, {1000000000, 74800, 2499, 0},
  };
  for (const EstimateCase& c : cases) {
    const OutputEstimate estimate = estimate_output(c.rayCount);
    EXPECT_EQ(estimate.sizeMb, c.sizeMb) << "rays " << c.rayCount;
    EXPECT_EQ(estimate.minutes, c.minutes) << "rays " << c.rayCount;
    EXPECT_EQ(estimate.seconds, c.seconds) << "rays " << c.rayCount;
  }
}

TEST(EstimateOutput, BinaryFormatsCountTheirHeaderAndRecords) {
  struct Case {
    OutputFormat format;
    std::int32_t rayCount;
    std::int64_t sizeMb;
  };
  const Case cases[] = {
      {OutputFormat::ZemaxBinary, 1, 0},         // 208 + 2 * 28 bytes
      {OutputFormat::ZemaxBinary, 35705, 0},     // 999'976 bytes
      {OutputFormat::ZemaxBinary, 35706, 1},     // 1'000'004 bytes
      {OutputFormat::ZemaxBinary, 1000000, 28},  // 28'000'236 bytes
      {OutputFormat::Tm25, 1, 0},                // 36'288 + 2 * 28 bytes
      {OutputFormat::Tm25, 34417, 0},            // 999'992 bytes
      {OutputFormat::Tm25, 34418, 1},            // 1'000'020 bytes
      {OutputFormat::Tm25, 1000000000, 28000},   // 28'000'036'316 bytes: no 32-bit overflow
      {OutputFormat::LightTools, 35711, 0},      // 44 + 35712 * 28 + 7 = 999'987 bytes
      {OutputFormat::LightTools, 35712, 1},      // 1'000'015 bytes
      {OutputFormat::Asap, 35708, 0},            // 140 + 35709 * 28 = 999'992 bytes
      {OutputFormat::Asap, 35709, 1},            // 1'000'020 bytes
  };
  for (const Case& c : cases) {
    const OutputEstimate binary = estimate_output(c.rayCount, c.format);
    const OutputEstimate text = estimate_output(c.rayCount);
    EXPECT_EQ(binary.sizeMb, c.sizeMb) << "rays " << c.rayCount;
    EXPECT_EQ(binary.minutes, text.minutes);
    EXPECT_EQ(binary.seconds, text.seconds);
  }
  // Every text format keeps the figures the window has always shown.
  for (const OutputFormat text : {OutputFormat::TracePro, OutputFormat::Zemax, OutputFormat::LightToolsText}) {
    EXPECT_EQ(estimate_output(1000000, text).sizeMb, 74);
  }
}

}  // namespace
}  // namespace lucidra
