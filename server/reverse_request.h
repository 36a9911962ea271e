// What a /reverse request asks for, read from its query parameters.
#pragma once

#include <map>
#include <string>

#include "kavrel.h"

namespace kavrel::serve {

// The answer formats. GET takes the first four; POST the last three and json.
enum class AnswerFormat { kJson, kJsonV2, kGeoJson, kGeocodeJson, kJsonLines, kCsv };

// How much of the address an answer gives, from the zoom parameter.
enum class AddressDetail { kPrefecture, kCity, kArea };

struct ReverseRequest {
  double latitude = 0;
  double longitude = 0;
  AnswerFormat format = AnswerFormat::kJson;
  AddressDetail detail = AddressDetail::kArea;
  kavrel_query query{KAVREL_MODE_NEAREST, 0, 0, 0};  // nearest mode by default
};

using Parameters = std::multimap<std::string, std::string>;

// Reads the parameters of a request (the first value of each counts):
//  lat, lon: decimal degrees, finite, |lat| <= 90, |lon| <= 180; required
//            when `needCoordinates` (GET), ignored otherwise;
//  format: json (the default for GET), jsonv2, geojson, geocodejson; for a
//          batch (`batch`) jsonl (its default), json, csv;
//  zoom: an integer 0..18 (default 18): below 8 the prefecture, 8 to 13 the
//        city, 14 and above the whole address;
//  mode: nearest (default) or designed; max_distance: positive metres or
//  "inf"; step, width: whole numbers >= 0 (0: the defaults).
// addressdetails, accept-language, email and others are ignored. False with
// a message naming the parameter in `why` for anything unusable.
bool ReadReverseRequest(const Parameters& parameters, bool needCoordinates, bool batch,
                        ReverseRequest& request, std::string& why);

// The format a batch answer takes from an Accept header when the request
// names none: text/csv gives csv, application/json json; others jsonl.
AnswerFormat BatchFormatOfAccept(const std::string& accept);

// Reads a coordinate: a decimal number (std::from_chars syntax) filling the
// whole text, finite, with |value| <= limit.
bool ReadDegrees(const std::string& text, double limit, double& value);

}  // namespace kavrel::serve
