#pragma once

#include "ReduceOptions.h"

#include <qpdf/QPDF.hh>

#include <string>
#include <vector>

namespace plait::pdf {

// Reduces the image XObjects drawn on the pages of `pdf` (in page content and the forms it
// draws) whose resolution where they are drawn largest exceeds options.dpi by more than a
// tenth: each is resampled by area averaging to options.dpi at that placement and stored
// again in place, so every page that shows it gets the smaller one.
//
// - 8-bit grey or RGB images (calibrated and ICC-based spaces of one or three components too)
//   with more than 256 colours are photographs: JPEG at options.quality.
// - Every other image the engine can decode (1 to 16 bits, CMYK, Indexed, stencil masks, few
//   colours) is line art: stored losslessly with Flate, at its bit depth (16 bits become 8).
//   Indexed images and images with a colour-key /Mask are resampled by nearest neighbour, so
//   no colour appears that the image did not have; 1-bit images are averaged and thresholded.
// - A soft mask (/SMask) or stencil mask (/Mask stream) is resampled to the image's new size
//   and stored losslessly.
// - Images it cannot decode (JPEG 2000, JBIG2, CCITT, damaged data, Lab, Separation, DeviceN)
//   are left as they are, and so are images no page draws.
// A stored image is replaced only when the new one is smaller. Returns the number of images
// reduced; `notes` gets one line counting the images left as they were because they cannot be
// decoded.
int reduceImages(QPDF& pdf, const ImageReduce& options, std::vector<std::string>& notes);

} // namespace plait::pdf
