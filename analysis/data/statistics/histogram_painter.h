#pragma once

#include <QPainter>
#include <string>

#include "analysis/data/statistics/statistics_run.h"
#include "core/text_file.h"

namespace kalvora {

// The part of the "Series Information" window left of its figures: the white frame, the blue
// bars, the axes' ticks and labels and, after a failed run, the red "Overflow" note, at the
// window's own pixel positions. The window paints it and the batch tool draws it into a file, so
// both show the same picture.
void PaintHistogram(QPainter& painter, const HistogramLayout& layout, bool overflow);

// The size of the area PaintHistogram draws into, labels included.
inline constexpr int kHistogramPictureWidth = 300;
inline constexpr int kHistogramPictureHeight = 316;

// The histogram of a record on the window's background, as a PNG image in a file that the caller
// commits (so that it can replace its target together with another output). Raises FileError.
void WriteHistogramPicture(AtomicFileWriter& file, const StatisticsRecord& record);

}  // namespace kalvora
