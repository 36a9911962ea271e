/*
 * kavrelcore: offline reverse geocoder for Japan.
 *
 * The library keeps one engine per process. Initialize opens a data package;
 * ReverseGeocoding turns a latitude and a longitude into the address of an
 * address point near them: prefecture, city and area joined by a separator.
 *
 * Conventions
 *  - Coordinates are decimal degrees (double), latitude first.
 *  - Texts are zero-terminated UTF-16 (kavrel_char). Buffers belong to the
 *    caller; the library copies into them and keeps no pointer to them.
 *  - Most functions return a result code: KAVREL_OK (0) or one of the
 *    negative KAVREL_E_* codes below.
 *  - The engine state is process-wide and unguarded: call the functions from
 *    one thread at a time. GetInfo, IsJapanRegion, PointDistance and
 *    TOKYO2WGS84 touch no engine state and may be called at any time.
 */
#ifndef KAVRELCORE_H
#define KAVRELCORE_H

#include <stdint.h>

#if defined(_WIN32)
#include <wchar.h>
typedef wchar_t kavrel_char; /* UTF-16 code unit */
#if defined(KAVRELCORE_BUILD)
#define KAVREL_API __declspec(dllexport)
#else
#define KAVREL_API __declspec(dllimport)
#endif
#else
#if defined(__cplusplus)
typedef char16_t kavrel_char; /* UTF-16 code unit */
#else
#include <uchar.h>
typedef char16_t kavrel_char; /* UTF-16 code unit */
#endif
#define KAVREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
enum {
  KAVREL_OK = 0,
  KAVREL_E_ALREADY_OPEN = -1000,   /* a data package is already open */
  KAVREL_E_ARGUMENT = -1001,       /* unknown information type or missing pointer */
  KAVREL_E_NOT_READY = -1002,      /* engine not initialised (or entry not in memory) */
  KAVREL_E_NO_FILE = -1003,        /* data package not found or not openable */
  KAVREL_E_FORMAT = -1004,         /* bad package header or index; or the caller's
                                      buffer is missing or too small (size reported) */
  KAVREL_E_NOT_FOUND = -1005,      /* no point near the coordinate (or no such entry) */
  KAVREL_E_DECOMPRESSOR = -1006,   /* decompressor could not start (or no name for a key) */
  KAVREL_E_INFLATE = -1007         /* a compressed entry did not inflate to its end */
};

/* The largest entry of a data package that the engine holds in memory, in
 * bytes (64 MiB; real blocks take tens of kilobytes). An entry whose data,
 * stored or inflated, would be larger is damaged, and so is one whose bytes
 * reach past the end of the package file: the engine never loads it, so the
 * bands and names it holds are not found. The first damaged entry met after
 * Initialize is named in one line on standard error. */
#define KAVREL_MAX_ENTRY_BYTES (64u * 1024u * 1024u)

/* Information types for GetInfo. */
enum {
  KAVREL_INFO_VERSION = 1,     /* "Norvane Reverse Geocoder DLL version 1.0" (40 chars) */
  KAVREL_INFO_VERSION_2 = 2,   /* the same text */
  KAVREL_INFO_IDENTITY = 3     /* "DLL_NORVANE_RGEO_DLL" (20 chars) */
};

/* Finds the data package and opens it. dataFile: a path or bare name; NULL
 * means "kavreldata.bin". A name without '/' is looked for as given, then in
 * the current directory, then in the running program's directory, then
 * where an install puts the package (kavrel.h: kavrel_package_folder). Returns 0;
 * KAVREL_E_NO_FILE when not found or not openable; KAVREL_E_FORMAT for a bad
 * header or index; KAVREL_E_ALREADY_OPEN when a package is open already. */
KAVREL_API int32_t Initialize(const kavrel_char* dataFile);

/* Closes the package. Returns 0, or KAVREL_E_NOT_READY when not initialised.
 * Step, width and separator are kept. */
KAVREL_API int32_t Cleanup(void);

/* Copies an identity text (see KAVREL_INFO_*) into buffer, at most
 * capacity - 1 characters and always a terminating zero. Returns 0, or
 * KAVREL_E_ARGUMENT for an unknown type, a NULL buffer or a capacity of 0
 * (the buffer is then untouched). */
KAVREL_API int32_t GetInfo(int32_t type, kavrel_char* buffer, uint32_t capacity);

/* Sets the search step (microdegrees of radius added per ring; <= 0 means 100)
 * and width (number of rings; <= 0 means 300). step * width / 30000 latitude
 * bands of 0.01 degree are searched on each side of the query; below 1 the
 * next search uses 100, 300 and 1 band. Always returns 0. */
KAVREL_API int32_t SetStep(int32_t step, int32_t width);

/* Sets the text placed between prefecture, city and area (NULL: none).
 * Always returns 0. */
KAVREL_API int32_t SetSeparator(const kavrel_char* separator);

/* Inflates the whole package into memory and keeps it there, so that
 * searches do no further file access. Returns 0 (damaged entries are
 * skipped; each entry takes at most KAVREL_MAX_ENTRY_BYTES), or
 * KAVREL_E_NOT_READY when not initialised. */
KAVREL_API int32_t PreloadData(void);

/* Copies the path of the package in use. *sizeInBytes is the buffer size in
 * BYTES; a path of n characters needs 2n + 2. With a NULL or small buffer it
 * writes the needed size to *sizeInBytes and returns KAVREL_E_FORMAT.
 * Returns 0, KAVREL_E_NOT_READY when not initialised, or KAVREL_E_ARGUMENT
 * when sizeInBytes is NULL. */
KAVREL_API int32_t GetDatafilename(kavrel_char* buffer, uint32_t* sizeInBytes);

/* 1 when 24 <= latitude < 46 and 122 <= longitude < 149, else 0. */
KAVREL_API int32_t IsJapanRegion(double latitude, double longitude);

/* Finds an address point near the coordinate and writes its address.
 * length: required; on entry the buffer's capacity in characters including
 * the terminating zero. Returns 0 with the text in buffer; KAVREL_E_FORMAT
 * when buffer is NULL or the capacity is not larger than the text, with the
 * text's length (without terminator) written to *length and the buffer
 * untouched; KAVREL_E_NOT_FOUND when no point is near; KAVREL_E_ARGUMENT
 * when length is NULL. elapsedMs (may be NULL) receives the time taken in
 * milliseconds. */
KAVREL_API int32_t ReverseGeocoding(double latitude, double longitude, kavrel_char* buffer,
                                    uint32_t* length, int32_t* elapsedMs);

/* Distance in metres between two points (Hubeny's formula on the GRS 80
 * ellipsoid). Symmetric; no range check (NaN in, NaN out). */
KAVREL_API double PointDistance(double latitude1, double longitude1, double latitude2,
                                double longitude2);

/* Converts a Tokyo-datum coordinate to WGS 84 by a fixed linear
 * approximation, valid around Japan. Returns 0, or KAVREL_E_ARGUMENT (nothing
 * written) when either output pointer is NULL. */
KAVREL_API int32_t TOKYO2WGS84(double tokyoLatitude, double tokyoLongitude, double* wgsLatitude,
                               double* wgsLongitude);

/* Function pointer types, for hosts that bind the library at run time. */
typedef int32_t (*KavrelInitializeFn)(const kavrel_char*);
typedef int32_t (*KavrelCleanupFn)(void);
typedef int32_t (*KavrelGetInfoFn)(int32_t, kavrel_char*, uint32_t);
typedef int32_t (*KavrelSetStepFn)(int32_t, int32_t);
typedef int32_t (*KavrelSetSeparatorFn)(const kavrel_char*);
typedef int32_t (*KavrelPreloadDataFn)(void);
typedef int32_t (*KavrelGetDatafilenameFn)(kavrel_char*, uint32_t*);
typedef int32_t (*KavrelIsJapanRegionFn)(double, double);
typedef int32_t (*KavrelReverseGeocodingFn)(double, double, kavrel_char*, uint32_t*, int32_t*);
typedef double (*KavrelPointDistanceFn)(double, double, double, double);
typedef int32_t (*KavrelTokyo2Wgs84Fn)(double, double, double*, double*);

#ifdef __cplusplus
}
#endif

#endif /* KAVRELCORE_H */
