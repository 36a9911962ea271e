#include "reverse_request.h"

#include <charconv>
#include <cmath>
#include <tuple>
#include <utility>

namespace kavrel::serve {

namespace {

const std::string* First(const Parameters& parameters, const char* name) {
  const auto found = parameters.find(name);
  return found == parameters.end() ? nullptr : &found->second;
}

bool ReadNumber(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

bool ReadCount(const std::string& text, std::int32_t& value) {
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && value >= 0;
}

bool ReadFormat(const std::string& text, bool batch, AnswerFormat& format) {
  if (text == "json") {
    format = AnswerFormat::kJson;
  } else if (!batch && text == "jsonv2") {
    format = AnswerFormat::kJsonV2;
  } else if (!batch && text == "geojson") {
    format = AnswerFormat::kGeoJson;
  } else if (!batch && text == "geocodejson") {
    format = AnswerFormat::kGeocodeJson;
  } else if (batch && text == "jsonl") {
    format = AnswerFormat::kJsonLines;
  } else if (batch && text == "csv") {
    format = AnswerFormat::kCsv;
  } else {
    return false;
  }
  return true;
}

bool ReadSearch(const Parameters& parameters, kavrel_query& query, std::string& why) {
  if (const std::string* mode = First(parameters, "mode")) {
    if (*mode == "nearest") {
      query.mode = KAVREL_MODE_NEAREST;
    } else if (*mode == "designed") {
      query.mode = KAVREL_MODE_DESIGNED;
    } else {
      why = "Parameter 'mode' must be 'nearest' or 'designed'.";
      return false;
    }
  }
  if (const std::string* reach = First(parameters, "max_distance")) {
    if (*reach == "inf") {
      query.max_distance = INFINITY;
    } else if (!ReadNumber(*reach, query.max_distance) || !(query.max_distance > 0)) {
      why = "Parameter 'max_distance' must be a positive number of metres or 'inf'.";
      return false;
    }
  }
  for (const auto& [name, field] : {std::pair{"step", &query.step}, std::pair{"width", &query.width}}) {
    const std::string* text = First(parameters, name);
    if (text != nullptr && !ReadCount(*text, *field)) {
      why = std::string("Parameter '") + name + "' must be a whole number of at least 0.";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadDegrees(const std::string& text, double limit, double& value) {
  return ReadNumber(text, value) && std::isfinite(value) && std::fabs(value) <= limit;
}

bool ReadReverseRequest(const Parameters& parameters, bool needCoordinates, bool batch,
                        ReverseRequest& request, std::string& why) {
  if (needCoordinates) {
    for (const auto& [name, limit, field] : {std::tuple{"lat", 90.0, &request.latitude},
                                             std::tuple{"lon", 180.0, &request.longitude}}) {
      const std::string* text = First(parameters, name);
      if (text == nullptr) {
        why = std::string("Parameter '") + name + "' is missing.";
        return false;
      }
      if (!ReadDegrees(*text, limit, *field)) {
        why = std::string("Parameter '") + name + "' must be a number between -" +
              (limit == 90.0 ? "90 and 90." : "180 and 180.");
        return false;
      }
    }
  }
  request.format = batch ? AnswerFormat::kJsonLines : AnswerFormat::kJson;
  if (const std::string* format = First(parameters, "format")) {
    if (!ReadFormat(*format, batch, request.format)) {
      why = batch ? "Parameter 'format' must be jsonl, json or csv."
                  : "Parameter 'format' must be json, jsonv2, geojson or geocodejson.";
      return false;
    }
  }
  if (const std::string* zoom = First(parameters, "zoom")) {
    std::int32_t level = 0;
    if (!ReadCount(*zoom, level) || level > 18) {
      why = "Parameter 'zoom' must be a whole number from 0 to 18.";
      return false;
    }
    request.detail = level < 8 ? AddressDetail::kPrefecture : level < 14 ? AddressDetail::kCity : AddressDetail::kArea;
  }
  return ReadSearch(parameters, request.query, why);
}

AnswerFormat BatchFormatOfAccept(const std::string& accept) {
  if (accept.find("text/csv") != std::string::npos) return AnswerFormat::kCsv;
  if (accept.find("application/json") != std::string::npos) return AnswerFormat::kJson;
  return AnswerFormat::kJsonLines;
}

}  // namespace kavrel::serve
