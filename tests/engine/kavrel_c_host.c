/* A host written in C99 that links the shared library and uses kavrel.h
 * through its function-pointer types, as a host binding at run time would:
 * the header must compile as C99 with -pedantic, and every type must match
 * its function. Exits 0 when all checks pass; otherwise prints the failed
 * check. */
#include <stdio.h>
#include <string.h>

#include "kavrel.h"

#define CHECK(condition)                                          \
  do {                                                            \
    if (!(condition)) {                                           \
      fprintf(stderr, "kavrel_c_host: failed: %s\n", #condition); \
      return 1;                                                   \
    }                                                             \
  } while (0)

int main(void) {
  const kavrel_version_fn version = kavrel_version;
  const kavrel_abi_fn abi = kavrel_abi;
  const kavrel_result_text_fn result_text = kavrel_result_text;
  const kavrel_open_fn open_package = kavrel_open;
  const kavrel_close_fn close_package = kavrel_close;
  const kavrel_facts_of_fn facts_of = kavrel_facts_of;
  const kavrel_lookup_fn lookup = kavrel_lookup;
  const kavrel_lookup_many_fn lookup_many = kavrel_lookup_many;
  const kavrel_name_at_fn name_at = kavrel_name_at;

  kavrel_geocoder* geocoder = NULL;
  kavrel_answer answer;
  kavrel_answer answers[3];
  int32_t results[3];
  kavrel_facts facts;
  kavrel_query nearest = {KAVREL_MODE_NEAREST, 0, 0, 0.0};
  const double latitudes[3] = {35.681236, 34.702485, 32.0};
  const double longitudes[3] = {139.767125, 135.495951, 138.0};
  uint32_t key = 0;
  const char* name = NULL;

  char expected_version[32];
  size_t answer_size = 0;
  unsigned parts[4];

  sprintf(expected_version, "%d.%d.%d.%d", KAVREL_VERSION_MAJOR, KAVREL_VERSION_MINOR, KAVREL_VERSION_PATCH,
          KAVREL_VERSION_TWEAK);
  CHECK(strcmp(version(), expected_version) == 0 && strcmp(version(), KAVREL_VERSION_STRING) == 0);
  CHECK(sscanf(version(), "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) == 4);
  CHECK(KAVREL_VERSION_NUMBER == ((uint32_t)parts[0] << 24 | (uint32_t)parts[1] << 16 | (uint32_t)parts[2] << 8 |
                                  (uint32_t)parts[3]));
  CHECK(kavrel_abi_matches());
  /* Every size pointer may be NULL. */
  CHECK(abi(NULL, &answer_size, NULL) == KAVREL_ABI_VERSION && answer_size == sizeof(kavrel_answer));
  CHECK(strcmp(result_text(KAVREL_NO_ANSWER), result_text(KAVREL_SUCCESS)) != 0);
  /* The default package lies beside this program. */
  CHECK(open_package(NULL, &geocoder) == KAVREL_SUCCESS);
  CHECK(facts_of(geocoder, &facts) == KAVREL_SUCCESS && facts.prefectures == 47);
  CHECK(lookup(geocoder, 35.681236, 139.767125, NULL, &answer) == KAVREL_SUCCESS);
  CHECK(strcmp(answer.prefecture, "東京都") == 0 && strcmp(answer.city, "千代田区") == 0);
  CHECK(lookup(geocoder, 35.681236, 139.767125, &nearest, &answer) == KAVREL_SUCCESS);
  CHECK(answer.distance >= 0.0 && answer.distance < 100.0);
  CHECK(lookup_many(geocoder, 3, latitudes, longitudes, NULL, 2, answers, results) == KAVREL_SUCCESS);
  CHECK(results[0] == KAVREL_SUCCESS && results[1] == KAVREL_SUCCESS && results[2] == KAVREL_NO_ANSWER);
  CHECK(strcmp(answers[1].city, "大阪市北区") == 0 && answers[2].area == NULL);
  CHECK(name_at(geocoder, KAVREL_LEVEL_PREFECTURE, 0, &key, &name) == KAVREL_SUCCESS && name[0] != '\0');
  close_package(geocoder);
  puts("kavrel_c_host: all checks passed");
  return 0;
}
