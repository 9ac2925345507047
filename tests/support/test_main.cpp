// test_main.cpp - the entry of every test program: a scenario when the
// command line names one (see scenario.h), otherwise the GoogleTest run.
#include <gtest/gtest.h>

#include "support/scenario.h"

int main(int argc, char **argv) {
  int exitCode = 0;
  if (qorb::test::RunScenarioFromCommandLine(argc, argv, &exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
