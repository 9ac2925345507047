/*
 * header_c_check.c - the public header compiles as plain C99 and the shared
 * library exports what it declares, with the records at their sizes.
 */
#include <stdio.h>
#include <string.h>

#include "qorb32n.h"

/* C99 has no _Static_assert: a negative array size fails the build. */
#define CHECK_SIZE(type, size32) \
  typedef char check_##type[(sizeof(void *) != 4 || sizeof(type) == (size32)) ? 1 : -1]

CHECK_SIZE(ErrSinkRecord, 298);
CHECK_SIZE(ErrEntry, 276);
CHECK_SIZE(SemCount, 12);
CHECK_SIZE(TmeStruct, 40);
CHECK_SIZE(MemBlockHeader, 24);
CHECK_SIZE(LstList, 20);
CHECK_SIZE(LstItem, 24);
CHECK_SIZE(ThdWorker, 32);
typedef char check_sink_native[sizeof(ErrSinkRecord) == 298 ? 1 : -1];
typedef char check_tag_header[sizeof(TagHeader) == 16 ? 1 : -1];

int main(void) {
  char text[32];
  RealTime t = 997879726.25;
  SemMutexHandle mutex = 0;
  int failures = 0;

  if (strcmp(TmeRealTimeToString(t, text), "2001-08-15_12:48:46.2500") != 0) failures++;
  if (SemCreateMutex(&mutex, NULL, 0, 0) != 0) failures++;
  if (SemRequestMutex(&mutex, 0) != 0) failures++;
  if (SemReleaseMutex(&mutex) != 0) failures++;
  if (SemCloseMutex(&mutex) != 0) failures++;
  if (failures != 0) {
    printf("header_c_check: %d failures\n", failures);
    return 1;
  }
  return 0;
}
