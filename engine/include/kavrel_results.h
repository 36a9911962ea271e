/*
 * kavrel_results.h: what each result code of kavrelcore.h and kavrel.h
 * means, in one table. kavrel_result_text gives these texts, and the kavrel
 * program writes them in its failure lines; a host may show them too.
 */
#ifndef KAVREL_RESULTS_H
#define KAVREL_RESULTS_H

#include <stdint.h>

/* An English phrase for `code` (0, a KAVREL_E_* code of kavrelcore.h or a
 * code of kavrel.h; the two interfaces share numbers where the meaning is the
 * same), or NULL for any other code. The text is static. */
static inline const char* kavrel_result_meaning(int32_t code) {
  switch (code) {
    case 0: return "success";
    case -1000: return "a data package is open already";
    case -1001: return "an argument was refused";
    case -1002: return "the engine is not initialised";
    case -1003: return "the data package was not found or could not be opened";
    case -1004: return "the data package's header or index is not valid";
    case -1005: return "no address point near the coordinate";
    case -1006: return "the decompressor could not start";
    case -1007: return "an entry of the data package is damaged";
    case -1008: return "out of memory";
    default: return 0;
  }
}

#endif /* KAVREL_RESULTS_H */
