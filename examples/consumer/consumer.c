/*
 * consumer.c - the smallest program built against an installed qorb32n:
 * it formats a time and allocates a tracked string, and exits 0 when both
 * work and the allocator's counters are back at zero.
 */
#include <stdio.h>
#include <string.h>

#include "qorb32n.h"

int main(void) {
  char text[32];
  char *copy;
  uint32_t bytes = 1, blocks = 1;

  ErrInitialize(ERR_MODE_CONSOLE, "consumer", 0, 0, 0, 0);
  copy = MemAllocString_(TmeRealTimeToString(997879726.0, text), __LINE__, "consumer");
  if (copy == NULL || strcmp(copy, "2001-08-15_12:48:46.0000") != 0) return 1;
  printf("installed qorb32n: %s\n", copy);
  MemFreeString_(copy);
  MemQueryStatus(&bytes, &blocks);
  return bytes == 0 && blocks == 0 ? 0 : 2;
}
