// The relationship plot: r(1,2) against Delta9 for every pair (after
// KIN:x, for the pairs streamed), with the expected places of common
// relationships, and histograms of r(1,2) and of F_Mean.
#pragma once
#include <string>

// The whole SVG document.  title names the data (the results file).
std::string svgtext(const std::string& title);

// Appends printf-formatted text (at most 511 bytes) to s.
void svgadd(std::string& s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Text safe inside XML.
std::string xmltext(const std::string& s);
