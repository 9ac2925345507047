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

static int ascending(void *first, void *second) {
  return *(const int *)first <= *(const int *)second;
}

/* A sorted list of tracked items and the allocator's own account of them. */
static void show_lists_and_memory(void) {
  static int values[] = {42, 7, 19, 3, 25};
  LstList *list = LstNewList(LST_INDEXED);
  LstItem *item;
  char *copy = MemAllocString_("a tracked string", __LINE__, "C:\\work\\examples\\demo.c");
  uint32_t bytes = 0;
  uint32_t blocks = 0;
  size_t i;

  for (i = 0; i < sizeof values / sizeof values[0]; ++i) LstInsert(list, &values[i], LST_AT_END);
  LstSort(list, ascending);
  printf("sorted:");
  for (item = list->first; item != NULL; item = item->next) {
    printf(" %d@%u", *(const int *)item->data, item->index);
  }
  printf("\n");
  MemQueryStatus(&bytes, &blocks);
  printf("tracked: %u bytes in %u blocks\n", bytes, blocks);
  MemDumpMemory(stdout);
  MemFreeString_(copy);
  LstFreeList_(list);
}

static SemEventHandle jobDone;

static void job(uintptr_t argument) {
  printf("job %lu ran on a worker thread\n", (unsigned long)argument);
  SemPostEvent(&jobDone);
}

/* One job on the worker pool, waited for through an event. */
static void show_pool(void) {
  ThdInitialize(2);
  SemCreateEvent(&jobDone, NULL, 0, 0);
  if (ThdStartThreadFull(job, 1, 0, 16, THD_SET_PRIORITY) != NULL) {
    SemWaitEvent(&jobDone, SEM_INDEFINITE_WAIT);
  }
  SemCloseEvent(&jobDone);
}

int main(void) {
  show_time_forms();
  show_reports();
  show_lists_and_memory();
  show_pool();
  return 0;
}
