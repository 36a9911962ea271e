/* Looks Tokyo Station up in the default package that kavrel_open(NULL) finds
 * from the installed library (the share/kavrel folder of its prefix), and
 * prints the library's version, the build's version of the header, the
 * package's path and the address: "version|header|path|prefecture city area". */
#include <stdio.h>
#include <stdlib.h>

#include "kavrel.h"

int main(void) {
  kavrel_geocoder* geocoder = NULL;
  kavrel_answer answer;
  kavrel_query query = {KAVREL_MODE_DESIGNED, 0, 0, 0.0};
  size_t length = 0;
  char* path;
  int32_t code;
  if (!kavrel_abi_matches()) return fprintf(stderr, "the library's binary interface differs\n"), 1;
  if (kavrel_default_package(NULL, 0, &length) != KAVREL_INVALID_ARGUMENT) {
    return fprintf(stderr, "no default package\n"), 1;
  }
  path = malloc(length + 1);
  if (path == NULL || kavrel_default_package(path, length + 1, &length) != KAVREL_SUCCESS) return 1;
  code = kavrel_open(NULL, &geocoder);
  if (code != KAVREL_SUCCESS) return fprintf(stderr, "%s\n", kavrel_result_text(code)), 1;
  code = kavrel_lookup(geocoder, 35.681236, 139.767125, &query, &answer);
  if (code != KAVREL_SUCCESS) return fprintf(stderr, "%s\n", kavrel_result_text(code)), 1;
  printf("%s|%s|%s|%s%s%s\n", kavrel_version(), KAVREL_VERSION_STRING, path, answer.prefecture, answer.city,
         answer.area);
  kavrel_close(geocoder);
  free(path);
  return 0;
}
