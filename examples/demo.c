/*
 * demo.c - a small program that uses qorb32n as a product's program would.
 */
#include <stdio.h>

#include "qorb32n.h"

static void show_time_forms(void) {
  char standard[32];
  char compact[32];
  char ctimeForm[32];
  RealTime now = TmeGetRealTime();
  printf("standard: %s\n", TmeRealTimeToString(now, standard));
  printf("compact:  %s\n", TmeRealTimeToAltString(now, compact));
  printf("ctime:    %s\n", Tme_ctime(&now, ctimeForm));
}

/* Reports go to standard output and to the day's log file of task "demo". */
static void show_reports(void) {
  static const char *const source = "C:\\work\\examples\\demo.c";
  char compact[32];
  uint32_t number;

  if (ErrInitialize(ERR_MODE_BOTH, "demo", 0, 0, 0, 0) != 1) {
    printf("ErrInitialize failed\n");
    return;
  }
  ErrPutError(NULL, 0.0, ERR_SEV_ERROR, 9, source, __LINE__, NULL, "Exceeded limit %lu > %lu",
              10000025UL, 10000000UL);
  ErrPutError(NULL, 0.0, ERR_SEV_WARNING, 1, source, __LINE__, NULL, "disk %d%% full", 93);
  ErrPutError(NULL, 0.0, ERR_SEV_INFO, 2, source, __LINE__, NULL, "started, pid %d", 42);
  ErrPutError(NULL, 0.0, ERR_SEV_DEBUG, 3, source, __LINE__, NULL, "state = %s", "idle");
  ErrPutError(NULL, 0.0, 0x0004, 4, source, __LINE__, NULL, "area 3 trace");
  for (number = 100; number <= 107; ++number) {
    ErrPutError(NULL, 0.0, ERR_SEV_ERROR, number, source, __LINE__, NULL, "%s", "settings.ini");
  }
  ErrRcError(source, __LINE__, 5);

  TmeRealTimeToAltString(TmeGetRealTime(), compact);
  printf("log file: demo.%.8s.log\n", compact);
}

int main(void) {
  show_time_forms();
  show_reports();
  return 0;
}
