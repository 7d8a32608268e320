#pragma once
// Reads the LightTools binary and text and the ASAP ray files, tells every
// kind of ray file apart by its content, and checks what a file says about
// itself: its header's count, flux and units against its rays, and every
// ray's numbers and direction length.

#include <string>

#include "output/ray_file_reader.h"

namespace lucidra {

// LightTools binary ("LTRF", version 2, near field, flux only or with a
// wavelength per ray), up to its "LTRFEND" trailer.
RayFileReadResult read_lighttools_binary_file(const std::string& path, unsigned threads, const RayBlockWork& work,
                                              const RayBlockMerge& merge);
// LightTools text: "key: value" lines, then rays between lt_startofdata and
// lt_endofdata.
RayFileReadResult read_lighttools_text_file(const std::string& path, const RayBlockWork& work,
                                            const RayBlockMerge& merge);
// ASAP binary distribution file with 7-word ray records and NUMY = -rays.
RayFileReadResult read_asap_file(const std::string& path, unsigned threads, const RayBlockWork& work,
                                 const RayBlockMerge& merge);

// What a file's header and rays say, checked: `report` has one line each for
// the count, the flux, the flux unit and the length unit; `failure` is empty
// when the header agrees with the rays (flux within 1e-6 of their sum,
// lengths in mm) and every ray is finite with a direction of length 1 within
// 1e-3, else it names the first fault and, for a ray, its number.
struct RayFileVerdict {
  std::string report;
  std::string failure;
};
RayFileVerdict verify_ray_file(const RayFileReadResult& result);

}  // namespace lucidra
