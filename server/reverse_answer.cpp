#include "reverse_answer.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

#include "kavrel/output/csv.h"
#include "kavrel/output/json.h"
#include "kavrel/output/numbers.h"

namespace kavrel::serve {

namespace {

using output::AppendJsonString;

constexpr std::string_view kCountry = "日本";

// The 47 prefectures in the order of their codes, JP-01 to JP-47.
constexpr std::array<std::string_view, 47> kPrefectures = {
    "北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県", "福島県", "茨城県", "栃木県", "群馬県",
    "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県", "石川県", "福井県", "山梨県", "長野県",
    "岐阜県", "静岡県", "愛知県", "三重県", "滋賀県", "京都府", "大阪府", "兵庫県", "奈良県", "和歌山県",
    "鳥取県", "島根県", "岡山県", "広島県", "山口県", "徳島県", "香川県", "愛媛県", "高知県", "福岡県",
    "佐賀県", "長崎県", "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県"};

// The parts of an answer at a level of detail: names empty where the detail
// leaves them out (or the package has none).
struct Place {
  std::string_view prefecture, city, area;
  std::string_view name;  // the smallest part given
  std::string_view type;  // neighbourhood, city or province
  std::uint64_t id;       // stable for a place: its keys
};

Place PlaceOf(const kavrel_answer& found, AddressDetail detail) {
  Place place{found.prefecture, found.city, found.area, {}, {}, 0};
  if (detail == AddressDetail::kPrefecture) place.city = {};
  if (detail != AddressDetail::kArea) place.area = {};
  if (!place.area.empty()) {
    place.name = place.area;
    place.type = "neighbourhood";
  } else if (!place.city.empty()) {
    place.name = place.city;
    place.type = "city";
  } else {
    place.name = place.prefecture;
    place.type = "province";
  }
  const std::uint64_t city = detail == AddressDetail::kPrefecture ? 0 : found.city_key;
  const std::uint64_t area = detail == AddressDetail::kArea ? found.area_key : 0;
  place.id = (std::uint64_t{found.prefecture_key} << 40) | (city << 24) | area;
  return place;
}

void AppendUnsigned(std::string& out, std::uint64_t value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// Where a text escaped once sits in the output, so that where it repeats it
// is copied rather than escaped again.
struct Written {
  std::size_t at = 0;
  std::size_t size = 0;  // 0 for an empty text
};

Written AppendEscaped(std::string& out, std::string_view text) {
  const std::size_t at = out.size();
  output::AppendJsonEscaped(out, text);
  return {at, out.size() - at};
}

// The escaped names of a place as the display name wrote them.
struct WrittenNames {
  Written area, city, prefecture;
};

// The display name as a JSON string: the given parts smallest first, then
// 日本, comma-separated.
WrittenNames AppendDisplayName(std::string& out, const Place& place) {
  WrittenNames names;
  out.push_back('"');
  for (const auto& [part, written] : {std::pair{place.area, &names.area}, std::pair{place.city, &names.city},
                                      std::pair{place.prefecture, &names.prefecture}}) {
    if (part.empty()) continue;
    *written = AppendEscaped(out, part);
    out += ", ";
  }
  out += kCountry;
  out.push_back('"');
  return names;
}

// ,"KEY":"TEXT" for a non-empty text. `member` is ,"KEY":" (quotes and all).
void AppendCopiedMember(std::string& out, std::string_view member, Written text) {
  if (text.size == 0) return;
  out += member;
  out.append(out, text.at, text.size);
  out.push_back('"');
}

// ,"KEY":"TEXT" for a non-empty text.
void AppendMember(std::string& out, std::string_view key, std::string_view text) {
  if (text.empty()) return;
  out.push_back(',');
  AppendJsonString(out, key);
  out.push_back(':');
  AppendJsonString(out, text);
}

// The ISO 3166-2 number of a prefecture (1 to 47), or 0. Packages built from
// the national data key each prefecture by its number, so the key is tried
// first.
std::size_t PrefectureNumber(std::string_view prefecture, std::uint32_t key) {
  if (key >= 1 && key <= kPrefectures.size() && kPrefectures[key - 1] == prefecture) return key;
  for (std::size_t i = 0; i < kPrefectures.size(); ++i) {
    if (kPrefectures[i] == prefecture) return i + 1;  // JP-01 to JP-47, in the table's order
  }
  return 0;
}

void AppendAddress(std::string& out, const Place& place, const WrittenNames& names, std::uint32_t prefectureKey) {
  out += "{\"country_code\":\"jp\"";
  AppendCopiedMember(out, ",\"neighbourhood\":\"", names.area);
  AppendCopiedMember(out, ",\"city\":\"", names.city);
  AppendCopiedMember(out, ",\"province\":\"", names.prefecture);
  if (const std::size_t number = PrefectureNumber(place.prefecture, prefectureKey); number != 0) {
    out += ",\"ISO3166-2-lvl4\":\"JP-";
    out.push_back(static_cast<char>('0' + number / 10));
    out.push_back(static_cast<char>('0' + number % 10));
    out.push_back('"');
  }
  out += ",\"country\":\"";
  out += kCountry;
  out += "\"}";
}

void AppendQuotedDegrees(std::string& out, double degrees) {
  out.push_back('"');
  output::AppendFixed6(out, degrees);
  out.push_back('"');
}

// The members of the json and jsonv2 objects (and of geojson's properties),
// without the braces.
void AppendPlaceMembers(std::string& out, const AnswerContext& context, AnswerFormat format,
                        const Place& place, const kavrel_answer& found) {
  out += "\"place_id\":";
  AppendUnsigned(out, place.id);
  if (format != AnswerFormat::kGeoJson) {
    out += ",\"licence\":";
    out += context.licenceJson;
    out += ",\"lat\":";
    AppendQuotedDegrees(out, found.latitude);
    out += ",\"lon\":";
    AppendQuotedDegrees(out, found.longitude);
  }
  if (format == AnswerFormat::kJsonV2 || format == AnswerFormat::kGeoJson) {
    out += ",\"category\":\"place\",\"type\":\"";
    out += place.type;
    out += "\",\"addresstype\":\"";
    out += place.type;
    out.push_back('"');
  }
  out += ",\"name\":";
  AppendJsonString(out, place.name);
  out += ",\"display_name\":";
  const WrittenNames names = AppendDisplayName(out, place);
  out += ",\"address\":";
  AppendAddress(out, place, names, found.prefecture_key);
  out += ",\"distance\":";
  output::AppendMetres(out, found.distance);
}

void AppendPointGeometry(std::string& out, const kavrel_answer& found) {
  out += "\"geometry\":{\"type\":\"Point\",\"coordinates\":[";
  output::AppendFixed6(out, found.longitude);
  out.push_back(',');
  output::AppendFixed6(out, found.latitude);
  out += "]}";
}

void AppendGeocodeJson(std::string& out, const AnswerContext& context, const Place& place,
                       const kavrel_answer& found) {
  out += "{\"type\":\"FeatureCollection\",\"geocoding\":{\"version\":\"0.1.0\",\"attribution\":";
  out += context.licenceJson;
  out += ",\"licence\":";
  out += context.licenceJson;
  out += ",\"query\":\"\"},\"features\":[{\"type\":\"Feature\",\"properties\":{\"geocoding\":{\"place_id\":";
  AppendUnsigned(out, place.id);
  out += ",\"type\":";
  AppendJsonString(out, place.type == "neighbourhood" ? "locality" : place.type == "city" ? "city" : "state");
  out += ",\"label\":";
  AppendDisplayName(out, place);
  AppendMember(out, "name", place.name);
  AppendMember(out, "locality", place.area);
  AppendMember(out, "city", place.city);
  AppendMember(out, "state", place.prefecture);
  AppendMember(out, "country", kCountry);
  out += ",\"country_code\":\"jp\",\"admin\":{\"level4\":";
  AppendJsonString(out, place.prefecture);
  AppendMember(out, "level7", place.city);
  out += "},\"distance\":";
  output::AppendMetres(out, found.distance);
  out += "}},";
  AppendPointGeometry(out, found);
  out += "}]}";
}

}  // namespace

AnswerContext::AnswerContext(std::string licenceLine) : licence(std::move(licenceLine)) {
  AppendJsonString(licenceJson, licence);
}

std::string LicenceLine(std::string_view attribution) {
  std::string line;
  bool space = false;
  for (const char c : attribution) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      space = !line.empty();
      continue;
    }
    if (space) line.push_back(' ');
    space = false;
    line.push_back(c);
  }
  return line;
}

void AppendAnswer(std::string& out, const AnswerContext& context, AnswerFormat format, AddressDetail detail,
                  const kavrel_answer& found) {
  const Place place = PlaceOf(found, detail);
  switch (format) {
    case AnswerFormat::kGeocodeJson:
      AppendGeocodeJson(out, context, place, found);
      return;
    case AnswerFormat::kGeoJson:
      out += "{\"type\":\"FeatureCollection\",\"licence\":";
      out += context.licenceJson;
      out += ",\"features\":[{\"type\":\"Feature\",\"properties\":{";
      AppendPlaceMembers(out, context, format, place, found);
      out += "},";
      AppendPointGeometry(out, found);
      out += "}]}";
      return;
    case AnswerFormat::kJsonV2:
      out.push_back('{');
      AppendPlaceMembers(out, context, format, place, found);
      out.push_back('}');
      return;
    default:
      out.push_back('{');
      AppendPlaceMembers(out, context, AnswerFormat::kJson, place, found);
      out.push_back('}');
      return;
  }
}

void AppendUnableToGeocode(std::string& out) { out += "{\"error\":\"Unable to geocode\"}"; }

void AppendError(std::string& out, int code, std::string_view message) {
  out += "{\"error\":{\"code\":";
  AppendUnsigned(out, static_cast<std::uint64_t>(code));
  out += ",\"message\":";
  AppendJsonString(out, message);
  out += "}}";
}

void AppendCsvRow(std::string& out, double latitude, double longitude, const kavrel_answer* found) {
  output::AppendFixed6(out, latitude);
  out.push_back(',');
  output::AppendFixed6(out, longitude);
  if (found == nullptr) {
    out += ",,,,\n";
    return;
  }
  for (const char* name : {found->prefecture, found->city, found->area}) {
    out.push_back(',');
    output::AppendCsvField(out, name);
  }
  out.push_back(',');
  output::AppendMetres(out, found->distance);
  out.push_back('\n');
}

}  // namespace kavrel::serve
