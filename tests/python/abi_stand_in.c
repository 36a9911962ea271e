/* A stand-in for the kavrelcore library whose kavrel_query is larger than
 * kavrel.h's, as a library of another binary interface would report it: the
 * Python package must refuse it at import. */
#include <stddef.h>
#include <stdint.h>

#include "kavrel.h"

KAVREL_EXPORT uint32_t kavrel_abi(size_t* query_size, size_t* answer_size, size_t* facts_size) {
  if (query_size != NULL) *query_size = sizeof(kavrel_query) + 8;
  if (answer_size != NULL) *answer_size = sizeof(kavrel_answer);
  if (facts_size != NULL) *facts_size = sizeof(kavrel_facts);
  return KAVREL_ABI_VERSION;
}
