#pragma once

#include <QString>

namespace tunevale::fuzz {

// What each fuzz target does with one input file; the regression tests run the same on the
// inputs the fuzzers found faults with.

// Opens the file with the reader, decodes it to the end, seeks back and decodes again.
void exerciseReader(const QString& path);

// Opens the file with the information component and uses every property and tag.
void exerciseInformation(const QString& path);

} // namespace tunevale::fuzz
