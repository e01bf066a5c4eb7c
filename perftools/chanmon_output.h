// What chanmon prints for a sample of one object: a readable table (a legend of
// the counters once, then one row per instance and one column per counter), or
// comma-separated lines with every field in double quotes (a header row of the
// time-stamp column and one \Object(instance)\Counter path per instance and
// counter, then one row per sample).
#ifndef PERFTOOLS_CHANMON_OUTPUT_H
#define PERFTOOLS_CHANMON_OUTPUT_H

#include <cstdint>
#include <string>
#include <vector>

#include "perfdata.h"

struct ObjectNames {
    std::string object;
    std::vector<std::string> counters;  // by the counters' order in the object
};

// The columns of the CSV lines, fixed by the first sample that has the object.
struct CsvColumns {
    bool instances = true;               // false: an object without instances
    std::vector<std::string> names;      // instance names, in the object's order
    std::vector<std::string> counters;   // counter names
};

std::string CsvField(const std::string& text);  // "text" with each " doubled
CsvColumns CsvColumnsOf(const ObjectNames& names, const ObjectData& object);
std::string CsvHeader(const ObjectNames& names, const CsvColumns& columns);
// One row: the time stamp and a value per column; a column whose instance (or
// counter) the sample lacks, or every column without an object, is "".
std::string CsvRow(const std::string& time, const CsvColumns& columns, const ObjectData* object,
                   const uint8_t* data);

std::string TableLegend(const ObjectNames& names, const ObjectData& object);
std::string TableSample(const std::string& time, uint32_t sample, const ObjectData& object, const uint8_t* data);

#endif
