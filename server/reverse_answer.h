// The answers of /reverse, shaped as the widely used reverse-geocoding API
// shapes them, so that its clients read them unchanged. Every text goes
// through the output library's JSON and CSV writers.
#pragma once

#include <string>
#include <string_view>

#include "kavrel.h"
#include "reverse_request.h"

namespace kavrel::serve {

// What every answer object shares: the licence line (the package's
// attribution, one line), kept as a JSON string too, escaped once.
struct AnswerContext {
  AnswerContext(std::string licenceLine);

  std::string licence;
  std::string licenceJson;  // `licence` as a JSON string, quotes included
};

// The attribution text made one line: runs of white space (line ends
// included) become one space, ends trimmed.
std::string LicenceLine(std::string_view attribution);

// Appends the answer object of `found` (a successful lookup) in `format`
// (json, jsonv2, geojson or geocodejson; jsonl and csv take json's object),
// at `detail`, without a line end:
//  - json: place_id, licence, lat and lon (the matched point, as strings),
//    name, display_name (smallest part first, then 日本), address
//    (neighbourhood, city, province, ISO3166-2-lvl4, country, country_code),
//    distance (metres from the query);
//  - jsonv2: the same with category, type and addresstype;
//  - geojson: a FeatureCollection whose one Feature has the jsonv2 members
//    but licence as properties and the matched point as geometry;
//  - geocodejson: a FeatureCollection with the geocoding block (version,
//    attribution, licence, query) and the place under
//    properties.geocoding (type, label, name, locality, city, state,
//    country, country_code, admin, distance).
void AppendAnswer(std::string& out, const AnswerContext& context, AnswerFormat format, AddressDetail detail,
                  const kavrel_answer& found);

// Appends {"error":"Unable to geocode"}: the answer where nothing was found.
void AppendUnableToGeocode(std::string& out);

// Appends {"error":{"code":CODE,"message":MESSAGE}}: a refused request.
void AppendError(std::string& out, int code, std::string_view message);

// Appends one CSV row "lat,lon,prefecture,city,area,distance" and "\n": the
// query's coordinates ("%f"), then the names and distance of `found`, or
// four empty fields when `found` is null.
void AppendCsvRow(std::string& out, double latitude, double longitude, const kavrel_answer* found);

// The header row of AppendCsvRow's rows, with its "\n".
inline constexpr std::string_view kCsvHeader = "lat,lon,prefecture,city,area,distance\n";

}  // namespace kavrel::serve
