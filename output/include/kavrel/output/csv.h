// One CSV field, quoted only when it must be.
#pragma once

#include <string>
#include <string_view>

namespace kavrel::output {

// Appends `field` as one CSV field: as it is, or between double quotes with
// each quote doubled when it holds a comma, a double quote, CR or LF. Bytes
// are copied as they are, whatever their encoding.
void AppendCsvField(std::string& out, std::string_view field);

}  // namespace kavrel::output
