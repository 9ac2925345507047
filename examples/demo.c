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

int main(void) {
  show_time_forms();
  return 0;
}
