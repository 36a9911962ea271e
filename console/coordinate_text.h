// Latitudes and longitudes written as text: decimal degrees (35.681236) or
// packed degrees, minutes, seconds and hundredths of a second separated by
// full stops (35.40.52.45). Texts are bytes ending at a NUL; every scan but
// the reading of a decimal number also ends at a carriage return or a line
// feed. A hemisphere letter right after the number is N or E (ignored) or
// S or W, which makes the text no coordinate: such a point is never in
// Japan. Nothing here allocates.
#pragma once

namespace kavrel::console {

// Decimal degrees read from `text`, 0.0 when it cannot be read.
// With fewer than two full stops the text is one decimal number as "%lf"
// reads it (leading white space, an optional sign, an optional exponent;
// trailing bytes ignored; no hexadecimal, infinity or not-a-number).
// With two or more it is packed: up to four digit fields D, M, S, F, each
// ended by any number of full stops, giving D + M/60 + S/3600 + F/360000;
// a field that does not start with a digit ends the reading with it and all
// later fields at 0. A field of 256 digits or more makes the whole text 0.0.
// A number followed right away by S or W (either case) gives 0.0, as an
// unreadable text does; `end` still says where the number ended.
// When `end` is given it receives the position after the last byte used,
// `text` itself when nothing could be read.
double ParseCoordinateText(const char* text, const char** end = nullptr);

// True when the number `text` starts with is followed right away by S or W
// (either case): "35.681236S" and "139.46.1.65w" are; "35.681236N",
// "S35.6" and "35.6 S" are not.
bool NamesSouthOrWest(const char* text);

// True when ParseCoordinateText uses every byte of `text` but, at most, one
// trailing hemisphere letter: "35.681236N" and "35.40.52.45" do, "35,68",
// "35.6 km", "35.40.52.45.99" and "abc" do not.
bool ReadsWhole(const char* text);

// True when `text` has a digit, later a full stop, and a digit after that
// full stop; other bytes are passed over. So 35 and 35. and .5 are false.
bool IsCoordinateText(const char* text);

// True for the 19 bytes of "0123456789.NEWSnews" (never for NUL).
bool IsCoordinateChar(char c);

// The first position from `p` on that does not hold a coordinate character,
// or that ends the text (NUL, CR, LF); `p` itself when it holds none.
const char* CoordinateRunEnd(const char* p);

}  // namespace kavrel::console
