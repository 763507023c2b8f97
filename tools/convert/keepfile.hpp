// --keep and --remove: lists of samples as PLINK reads them.
#pragma once
#include <string>

// Marks in cv.indivon the individuals that --keep and --remove leave (all
// without either) and says how many.  A list holds per line an IID, or a
// FID and an IID (more columns are not read), or has a header line
// "#FID IID ..." or "#IID ..." naming its columns; blank lines are
// skipped.  An IID alone stands for that IID in every family; a VCF's
// samples have the family 0, as in PLINK 2.  Stops on a missing or faulty
// file, a list that names none of the individuals, and when fewer than 2
// are left.  input names the file of the samples in the account.
void keepsamples(const std::string& input);
