/*
 * kavrel.h: the thread-safe interface of the kavrelcore library.
 *
 * A host opens a data package into a handle and asks it for the address of
 * coordinates. Unlike the eleven functions of kavrelcore.h, which share one
 * engine per process and must be called from one thread at a time, every
 * function here works on its own handle, and every function may be called
 * from any number of threads at once, on one handle or on several. The two
 * interfaces live side by side in one library and do not touch each other's
 * state.
 *
 * Conventions
 *  - C99. Coordinates are decimal degrees (double), latitude first; distances
 *    are metres (double).
 *  - Texts are zero-terminated UTF-8. Texts given out (names, messages, the
 *    version) belong to the library: names stay valid until their handle is
 *    closed, the other texts for the library's lifetime. The caller never
 *    frees them.
 *  - Functions return a result code (KAVREL_SUCCESS or a negative code
 *    below); kavrel_result_text describes each one.
 *  - Opening a handle reads the package file whole and closes it; what the
 *    lookups need is made from it when a lookup first needs it, once, and
 *    kept until the handle is closed: a latitude band is inflated and
 *    indexed by the first lookup that reaches it, a name block by the first
 *    answer that needs one of its names, and the nearest-point grid by the
 *    first nearest-mode lookup (a designed-mode lookup never builds it).
 *    So a lookup may allocate on such a first touch, and may then return
 *    KAVREL_OUT_OF_MEMORY; once what it needs is made, it reads only memory
 *    and takes no lock. It also allocates in designed mode where the index
 *    leaves a search to the ring search over the bands' points (for example
 *    step times width beyond 2^31, or a damaged band). A host that will look
 *    up the whole country can make everything ahead with kavrel_preload.
 */
#ifndef KAVREL_H
#define KAVREL_H

#include <stddef.h>
#include <stdint.h>

#include "kavrel_build.h"

#if defined(_WIN32)
#if defined(KAVRELCORE_BUILD)
#define KAVREL_EXPORT __declspec(dllexport)
#else
#define KAVREL_EXPORT __declspec(dllimport)
#endif
#else
#define KAVREL_EXPORT __attribute__((visibility("default")))
#endif

/* The library version as one number that grows with every release: one byte
 * per part, 0x01000002 for 1.0.0.2. */
#define KAVREL_VERSION_NUMBER                                                          \
  (((uint32_t)KAVREL_VERSION_MAJOR << 24) | ((uint32_t)KAVREL_VERSION_MINOR << 16) | \
   ((uint32_t)KAVREL_VERSION_PATCH << 8) | (uint32_t)KAVREL_VERSION_TWEAK)

/* The version of the binary interface this header describes: the layouts of
 * kavrel_query, kavrel_answer and kavrel_facts and the functions' signatures.
 * It changes whenever one of them does; kavrel_abi reports the library's. */
#define KAVREL_ABI_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. The numbers match the engine codes of kavrelcore.h where the
 * meaning is the same. */
enum {
  KAVREL_SUCCESS = 0,
  KAVREL_INVALID_ARGUMENT = -1001, /* a required pointer is NULL, an unknown mode or level,
                                      a negative step or width, or (nearest mode) a
                                      coordinate outside the ranges stated below */
  KAVREL_PACKAGE_NOT_FOUND = -1003, /* no package at the path, or it cannot be read */
  KAVREL_PACKAGE_DAMAGED = -1004,   /* the file is not a data package (bad header or index) */
  KAVREL_NO_ANSWER = -1005,         /* no point found, or the point found lies beyond the
                                       query's maximum distance */
  KAVREL_OUT_OF_MEMORY = -1008      /* memory or threads could not be had */
};

/* Search modes. */
enum {
  /* The ring search of ReverseGeocoding: same point, same names, for the same
   * step and width. The point it finds is near, not always the nearest. */
  KAVREL_MODE_DESIGNED = 0,
  /* The point at the smallest distance by PointDistance's formula, over the
   * whole package (a damaged point block, whose size is not a whole number of
   * records or whose latitudes are out of order, is left out). Ties go to the
   * point that comes first in the package (bands from south to north, then
   * the order of the records in a band). */
  KAVREL_MODE_NEAREST = 1
};

/* Address levels, for kavrel_name_at. */
enum { KAVREL_LEVEL_PREFECTURE = 0, KAVREL_LEVEL_CITY = 1, KAVREL_LEVEL_AREA = 2 };

/* Defaults of the designed mode, as the console uses them (ReverseGeocoding
 * starts from 100 and 300 until SetStep is called). */
enum { KAVREL_DEFAULT_STEP = 50, KAVREL_DEFAULT_WIDTH = 3000 };

/* How far nearest mode reaches, in metres, when a query leaves max_distance
 * at 0: an answer farther away is KAVREL_NO_ANSWER, so that a point at sea or
 * outside Japan is not given an island hundreds of kilometres away (Seoul's
 * nearest point lies 388 km off, that of 10 N 10 E over 12,000 km).
 * Chosen from the national data: on a grid of 0.02 degrees over the covered
 * area, every grid point that has address points within 25 km in each of
 * its four quadrants (which holds for all the land of the main islands and
 * for the straits and bays between them) lies at most 21.8 km from its
 * nearest address point, in a strait; inland the largest gaps between
 * neighbouring points (15 km in the mountains of Hokkaido) leave less.
 * Islands far out at sea carry points of their own. 25 km answers every land
 * point with some margin and refuses the open sea beyond it. */
#define KAVREL_DEFAULT_REACH 25000.0

/* An open package. Opaque; made by kavrel_open, freed by kavrel_close. */
typedef struct kavrel_geocoder kavrel_geocoder;

/* What to look for. A zero-filled query means: designed mode with the
 * default step and width, no distance limit; with mode set to
 * KAVREL_MODE_NEAREST, nearest mode within KAVREL_DEFAULT_REACH. */
typedef struct kavrel_query {
  int32_t mode;        /* KAVREL_MODE_DESIGNED or KAVREL_MODE_NEAREST */
  int32_t step;        /* designed mode: radius added per ring, microdegrees;
                          0 means KAVREL_DEFAULT_STEP; negative is invalid */
  int32_t width;       /* designed mode: number of rings; 0 means
                          KAVREL_DEFAULT_WIDTH; negative is invalid.
                          Positive values act exactly as SetStep(step, width)
                          followed by ReverseGeocoding, including its fallback
                          to 100 and 300 when step * width < 30000. */
  double max_distance; /* metres; a positive value (INFINITY for no limit) is
                          the reach: an answer farther away than it is
                          KAVREL_NO_ANSWER. 0 means the mode's own reach:
                          KAVREL_DEFAULT_REACH in nearest mode, no limit in
                          designed mode (its window is its reach). Negative
                          or NaN is invalid. */
} kavrel_query;

/* One answer. After a lookup without an answer, the texts are NULL, the keys
 * 0 and the three numbers NaN. */
typedef struct kavrel_answer {
  const char* prefecture; /* UTF-8 names, owned by the handle, valid until */
  const char* city;       /* kavrel_close; "" for a key the package has no */
  const char* area;       /* name for */
  uint32_t prefecture_key; /* the point's P key (0..255) */
  uint32_t city_key;       /* C key (0..65535) */
  uint32_t area_key;       /* S key (0..16777215) */
  double latitude;         /* the matched point, degrees (its microdegree key / 1e6) */
  double longitude;
  double distance;         /* metres from the query to the matched point, by
                              PointDistance's formula */
} kavrel_answer;

/* Counts of what a package holds. */
typedef struct kavrel_facts {
  uint64_t points;      /* address points in all point blocks */
  uint64_t entries;     /* entries in the package directory */
  uint64_t prefectures; /* distinct P, C and S keys that the points carry */
  uint64_t cities;
  uint64_t areas;
} kavrel_facts;

/* The library's version, "major.minor.patch.build" (for example "1.0.0.2").
 * Never NULL. */
KAVREL_EXPORT const char* kavrel_version(void);

/* The binary interface of the library, for a host to check against the header
 * it was built with (kavrel_abi_matches) or against its own copy of the
 * layouts (a binding in another language). Returns the library's
 * KAVREL_ABI_VERSION and stores the sizes in bytes of its kavrel_query,
 * kavrel_answer and kavrel_facts through the pointers that are not NULL. */
KAVREL_EXPORT uint32_t kavrel_abi(size_t* query_size, size_t* answer_size, size_t* facts_size);

/* An English sentence describing a result code; a fixed text for unknown
 * codes. Never NULL. */
KAVREL_EXPORT const char* kavrel_result_text(int32_t code);

/* Opens a data package into a new handle: reads the file whole (about 4 MB
 * for the national package) and closes it. Nothing is inflated or indexed
 * yet: lookups make what they need as they go (see Conventions), or
 * kavrel_preload makes it all ahead.
 *  path: UTF-8 path of the package, used as given; bytes that are not
 *        UTF-8 reach the system unchanged, so that a POSIX file name of any
 *        bytes opens. NULL opens the package kavrel_default_package names.
 *  handle: receives the new handle; set to NULL on failure.
 * Returns KAVREL_SUCCESS, KAVREL_INVALID_ARGUMENT (handle is NULL),
 * KAVREL_PACKAGE_NOT_FOUND, KAVREL_PACKAGE_DAMAGED or KAVREL_OUT_OF_MEMORY.
 * Entries that do not inflate are left out when they are first needed, as
 * PreloadData leaves them out. Any number of handles may be open at once, on the same or different
 * packages; the package file is closed again before this returns. */
KAVREL_EXPORT int32_t kavrel_open(const char* path, kavrel_geocoder** handle);

/* Inflates and indexes every band and name block of the handle's package
 * now, rather than as lookups first touch them, and for KAVREL_MODE_NEAREST
 * also builds the nearest-point grid (for the national package some tenths
 * of a second and some tens of megabytes). For hosts that will look up the
 * whole country and want no first-touch cost afterwards; lookups give the
 * same answers either way. Safe to call from any thread at any time, any
 * number of times (what is made is made once).
 * Returns KAVREL_SUCCESS, KAVREL_INVALID_ARGUMENT (a NULL handle or an
 * unknown mode) or KAVREL_OUT_OF_MEMORY (what was made stays made). */
KAVREL_EXPORT int32_t kavrel_preload(const kavrel_geocoder* handle, int32_t mode);

/* The most threads kavrel_lookup_many starts for one call (the calling
 * thread included): more only cost their start-up, since the lookups are
 * bound by the cores. A larger threads argument is taken as this. The
 * console caps its /threads at the same number. */
#define KAVREL_MAX_THREADS 256

/* From this many rows on, kavrel_lookup_many first preloads the handle for
 * the query's mode (kavrel_preload), since so many rows touch most of the
 * package anyway. */
#define KAVREL_PRELOAD_ROWS 4096

/* The package that kavrel_open(NULL) opens: KAVREL_DEFAULT_PACKAGE looked
 * for as Initialize looks for it (the current directory, then the running
 * program's directory), then in this library's directory and in the bin
 * directory beside it (../bin, where older installs put the package), then
 * where an install puts it (see kavrel_package_folder, with share/kavrel of
 * this library's prefix after that of the program's), the first that
 * exists.
 *  buffer: receives the UTF-8 path and a terminating zero when capacity
 *          (bytes) holds both; may be NULL when capacity is 0.
 *  length: required; receives the path's length in bytes, without the zero
 *          (0 when there is none).
 * Returns KAVREL_SUCCESS (the path is written), KAVREL_PACKAGE_NOT_FOUND (no
 * such file anywhere), KAVREL_INVALID_ARGUMENT (length is NULL, or the
 * buffer is too small: nothing is written but *length) or
 * KAVREL_OUT_OF_MEMORY. */
KAVREL_EXPORT int32_t kavrel_default_package(char* buffer, size_t capacity, size_t* length);

/* The folder number `index` (from 0) of those where Initialize looks for a
 * package named without a folder after the current directory, in its order:
 * the running program's directory, then where an install puts the package:
 * KAVREL_PACKAGE_FOLDER_FROM_PROGRAM from the program's directory (the
 * share/kavrel folder of its prefix) and KAVREL_INSTALLED_PACKAGE_FOLDER.
 * For hosts that name every place looked in when no package was found.
 *  buffer: receives the folder in file system bytes (UTF-8 on Windows) and
 *          a terminating zero when capacity (bytes) holds both; may be NULL
 *          when capacity is 0.
 *  length: required; receives the folder's length in bytes, without the
 *          zero (0 past the last folder).
 * Returns KAVREL_SUCCESS (the folder is written), KAVREL_PACKAGE_NOT_FOUND
 * (index is past the last folder), KAVREL_INVALID_ARGUMENT (length is NULL,
 * or the buffer is too small: nothing is written but *length) or
 * KAVREL_OUT_OF_MEMORY. */
KAVREL_EXPORT int32_t kavrel_package_folder(size_t index, char* buffer, size_t capacity, size_t* length);

/* Frees a handle and every text it gave out. NULL is ignored. No other call
 * on the handle may be running or follow. */
KAVREL_EXPORT void kavrel_close(kavrel_geocoder* handle);

/* The counts of the handle's package into *facts. Reads every band first
 * (once). Returns KAVREL_SUCCESS, KAVREL_INVALID_ARGUMENT (a NULL argument)
 * or KAVREL_OUT_OF_MEMORY (nothing is written). */
KAVREL_EXPORT int32_t kavrel_facts_of(const kavrel_geocoder* handle, kavrel_facts* facts);

/* The credits for the source data that the handle's package carries in its
 * entry /ATTRIBUTION.txt (UTF-8, NUL-terminated), owned by the handle and
 * valid until kavrel_close; NULL when the package holds no such entry, the
 * entry is damaged, or handle is NULL. Any thread, any time. */
KAVREL_EXPORT const char* kavrel_attribution(const kavrel_geocoder* handle);

/* Looks up one coordinate.
 *  query: NULL means a zero-filled query (designed mode, 50/3000, no limit).
 *         An invalid query (see kavrel_query) is KAVREL_INVALID_ARGUMENT.
 *  answer: required; receives the answer, or the empty answer (see
 *          kavrel_answer) for any result but KAVREL_SUCCESS.
 * Designed mode takes any coordinate and answers only where its microdegree
 * keys hold it: a latitude in [0, 90] and a longitude in [0, 180] (a value
 * that truncates to the key 0, such as -0.0000005, counts as 0). Any other
 * coordinate (beyond +-90 or +-180, south or west of 0, NaN) is
 * KAVREL_NO_ANSWER, never the answer of a key that wrapped around 2^32
 * microdegrees as ReverseGeocoding's do (there latitude 4330.648532 reads
 * as 35.681236). Nearest mode needs a finite latitude in [-90, 90] and a
 * finite longitude in [-180, 180]; others give KAVREL_INVALID_ARGUMENT.
 * Returns KAVREL_SUCCESS, KAVREL_NO_ANSWER or KAVREL_INVALID_ARGUMENT, and
 * KAVREL_OUT_OF_MEMORY when what the lookup first needs (a band, a name
 * block, the grid) or such a ring search cannot have its memory. */
KAVREL_EXPORT int32_t kavrel_lookup(const kavrel_geocoder* handle, double latitude,
                                    double longitude, const kavrel_query* query,
                                    kavrel_answer* answer);

/* Looks up count coordinates: row i is latitudes[i], longitudes[i] and its
 * answer goes to answers[i] and its result code (as kavrel_lookup's) to
 * results[i]. results may be NULL when the caller tells rows without an answer
 * by their NULL texts.
 *  threads: 1 (or 0) works in the calling thread; n > 1 splits the rows into
 *           n contiguous parts, one per thread, the calling thread taking the
 *           first (at most one thread per row, and at most
 *           KAVREL_MAX_THREADS threads: a larger n, up to INT32_MAX, is
 *           taken as KAVREL_MAX_THREADS). Answers do not depend on it.
 *           Negative is invalid.
 * From KAVREL_PRELOAD_ROWS rows on, the handle is preloaded for the query's
 * mode first.
 * Returns KAVREL_SUCCESS when every row was looked up (whatever each row's
 * code), KAVREL_INVALID_ARGUMENT for a NULL handle or array (arrays may be
 * NULL when count is 0), an invalid query or negative threads, and
 * KAVREL_OUT_OF_MEMORY when the threads' bookkeeping or the preload cannot
 * be had; with
 * either failure nothing is written. A thread that the system refuses to
 * start is not an error: the calling thread looks up its rows as well. */
KAVREL_EXPORT int32_t kavrel_lookup_many(const kavrel_geocoder* handle, size_t count,
                                         const double* latitudes, const double* longitudes,
                                         const kavrel_query* query, int32_t threads,
                                         kavrel_answer* answers, int32_t* results);

/* The index-th key of a level that the points carry, in ascending key order,
 * with its name ("" when the package has none): for hosts that turn columns
 * of keys into names themselves. index runs from 0 to the level's count in
 * kavrel_facts - 1.
 * The first call reads every band (once).
 * Returns KAVREL_SUCCESS, KAVREL_INVALID_ARGUMENT (a NULL argument, an
 * unknown level or an index out of range) or KAVREL_OUT_OF_MEMORY; nothing
 * is written on failure. */
KAVREL_EXPORT int32_t kavrel_name_at(const kavrel_geocoder* handle, int32_t level, uint64_t index,
                                     uint32_t* key, const char** name);

/* Function pointer types, for hosts that bind the library at run time. */
typedef const char* (*kavrel_version_fn)(void);
typedef uint32_t (*kavrel_abi_fn)(size_t*, size_t*, size_t*);
typedef const char* (*kavrel_result_text_fn)(int32_t);
typedef int32_t (*kavrel_open_fn)(const char*, kavrel_geocoder**);
typedef int32_t (*kavrel_default_package_fn)(char*, size_t, size_t*);
typedef int32_t (*kavrel_package_folder_fn)(size_t, char*, size_t, size_t*);
typedef void (*kavrel_close_fn)(kavrel_geocoder*);
typedef int32_t (*kavrel_preload_fn)(const kavrel_geocoder*, int32_t);
typedef int32_t (*kavrel_facts_of_fn)(const kavrel_geocoder*, kavrel_facts*);
typedef const char* (*kavrel_attribution_fn)(const kavrel_geocoder*);
typedef int32_t (*kavrel_lookup_fn)(const kavrel_geocoder*, double, double, const kavrel_query*,
                                    kavrel_answer*);
typedef int32_t (*kavrel_lookup_many_fn)(const kavrel_geocoder*, size_t, const double*,
                                         const double*, const kavrel_query*, int32_t,
                                         kavrel_answer*, int32_t*);
typedef int32_t (*kavrel_name_at_fn)(const kavrel_geocoder*, int32_t, uint64_t, uint32_t*,
                                     const char**);

/* Nonzero when the library linked to the host has the binary interface of
 * this header: the same ABI version and the same three sizes. A host that
 * binds at run time calls its bound kavrel_abi the same way. */
static inline int kavrel_abi_matches(void) {
  size_t query_size = 0;
  size_t answer_size = 0;
  size_t facts_size = 0;
  return kavrel_abi(&query_size, &answer_size, &facts_size) == KAVREL_ABI_VERSION &&
         query_size == sizeof(kavrel_query) && answer_size == sizeof(kavrel_answer) &&
         facts_size == sizeof(kavrel_facts);
}

#ifdef __cplusplus
}
#endif

#endif /* KAVREL_H */
