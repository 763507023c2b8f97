// The identifier map that kinex-convert --short-ids writes beside the
// genotype file: a header "ID FID IID" (PLINK input) or "ID IID" (VCF
// input), tab-separated, then one line per individual in sample order.
#pragma once
#include <cstdint>
#include <string>

// Reads the map named rep.idsname; it must list rep.numindiv individuals.
void readmap();

// Sets rep.cols[i] once individual i's identifier is known, checking it
// against the map.
void setcols(int64_t i);

// The header words of an individual's columns, ending in suffix ("1",
// "2" or ""): "ID1", or "FID1\tID1" with a map that holds families.
std::string colhead(const char* id, const char* suffix);
