/* A host written in C that links the shared library: the public header must
 * compile as C11 and every export be reachable by its plain name. Exits 0
 * when all checks pass; otherwise prints the failed check. */
#include <stdio.h>
#include <string.h>

#include "kavrelcore.h"

#define CHECK(condition)                                      \
  do {                                                        \
    if (!(condition)) {                                       \
      fprintf(stderr, "c_host: failed: %s\n", #condition);    \
      return 1;                                               \
    }                                                         \
  } while (0)

static int SameText(const kavrel_char* a, const kavrel_char* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

int main(void) {
  kavrel_char text[512];
  uint32_t length = 512;
  uint32_t bytes = 0;
  int32_t elapsed = -1;
  double latitude = 0.0, longitude = 0.0;

  CHECK(GetInfo(KAVREL_INFO_IDENTITY, text, 512) == KAVREL_OK);
  CHECK(SameText(text, u"DLL_NORVANE_RGEO_DLL"));
  CHECK(IsJapanRegion(35.0, 139.0) == 1 && IsJapanRegion(46.0, 139.0) == 0);
  CHECK(TOKYO2WGS84(35.0, 135.0, &latitude, &longitude) == KAVREL_OK);
  CHECK(PointDistance(35.0, 135.0, 35.0, 135.0) == 0.0);
  CHECK(ReverseGeocoding(35.0, 139.0, text, NULL, NULL) == KAVREL_E_ARGUMENT);

  /* The default package lies beside this program. */
  CHECK(Initialize(NULL) == KAVREL_OK);
  CHECK(GetDatafilename(NULL, &bytes) == KAVREL_E_FORMAT && bytes > 2);
  CHECK(SetStep(50, 3000) == KAVREL_OK);
  CHECK(SetSeparator(u",") == KAVREL_OK);
  CHECK(PreloadData() == KAVREL_OK);
  CHECK(ReverseGeocoding(35.681236, 139.767125, text, &length, &elapsed) == KAVREL_OK);
  CHECK(elapsed >= 0);
  CHECK(SameText(text, u"東京都,千代田区,丸の内一丁目"));
  CHECK(Cleanup() == KAVREL_OK);
  CHECK(Cleanup() == KAVREL_E_NOT_READY);
  puts("c_host: all checks passed");
  return 0;
}
